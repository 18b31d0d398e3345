// The kestrelgrab library's export: a Taobao item address in, its item record out.
#include "extractors/exports.h"
#include "extractors/kestrelgrab/taobao_record.h"

#include <string>

namespace {
// The text the last call returned; a static object, so unloading the library frees it.
std::string last_record;
}  // namespace

extern "C" const char* kestrelgrab(const char* url) {
    const std::string address = url != nullptr ? url : "";
    last_record = build_taobao_record(address);
    return last_record.c_str();
}
