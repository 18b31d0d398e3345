// The falcongrab library's exports: the Tmall item record and the stock test.
#include "extractors/exports.h"
#include "extractors/falcongrab/stock.h"
#include "extractors/falcongrab/tmall_record.h"
#include "extractors/record.h"
#include "webkit/web_request.h"

#include <string>
#include <string_view>

namespace {
// The text the last falcongrab call returned; a static object, so unloading frees it.
std::string last_record;

// Fetches the page and reads it; a failed fetch reads as an empty page.
std::string build_tmall_record(std::string_view address) { return tmall_page_record(page_text(web_request(address))); }
}  // namespace

extern "C" const char* falcongrab(const char* url) {
    const std::string address = url != nullptr ? url : "";
    last_record = build_tmall_record(address);
    return last_record.c_str();
}

extern "C" int32_t shuxingtushifoubaoliu_tmall(const char* text, const char* key) {
    const std::string text_copy = text != nullptr ? text : "";
    const std::string key_copy = key != nullptr ? key : "";
    return has_positive_stock(text_copy, key_copy) ? 1 : 0;
}
