// The kestrelgrab library's export: a Taobao item address in, its item record out.
#include "extractors/exports.h"
#include "extractors/kestrelgrab/taobao_record.h"
#include "extractors/record.h"
#include "platform/files.h"
#include "platform/host_gate.h"
#include "webkit/web_request.h"

#include <string>
#include <string_view>

namespace {
// The text the last call returned; a static object, so unloading the library frees it.
std::string last_record;

// Fetches the page, leaves its text in "lswb.txt" beside the host program and reads it.
// A failed fetch reads as an empty page (and leaves an empty file).
std::string build_taobao_record(std::string_view address) {
    const std::string page = page_text(web_request(address));
    // A stopped job may leave no further file behind.
    if (pass_host_gate()) write_file(run_directory() + "\\lswb.txt", page);  // a failed write changes nothing else
    return taobao_page_record(page);
}
}  // namespace

extern "C" const char* kestrelgrab(const char* url) {
    const std::string address = url != nullptr ? url : "";
    last_record = build_taobao_record(address);
    return last_record.c_str();
}
