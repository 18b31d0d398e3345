// The update check: fetches the version page, cuts out the published version and compares it
// with the one on the settings page.
#include "core/update_check.h"

#include <charconv>
#include <cmath>

#include "build_config.h"
#include "core/settings.h"
#include "platform/codepage.h"
#include "webkit/header_text.h"
#include "webkit/inet_request.h"

namespace {

// The number a text starts with: leading blanks, an optional sign, digits with an optional
// decimal point, an optional exponent; the rest is ignored, and no number at all reads as 0.
double leading_decimal(std::string_view text) {
    std::size_t i = 0;
    auto is_blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };  // space, tab, LF, VT, FF, CR
    while (i < text.size() && is_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t start = i, digits = 0;
    auto is_digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    while (is_digit(i)) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (is_digit(i)) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    bool shrinking = false;  // a negative exponent
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) shrinking = text[k++] == '-';
        if (is_digit(k)) {
            while (is_digit(k)) ++k;
            i = k;
        } else {
            shrinking = false;
        }
    }
    // from_chars reads the same form and, unlike strtod, never the locale's decimal comma.
    double value = 0.0;
    if (std::from_chars(text.data() + start, text.data() + i, value).ec == std::errc::result_out_of_range)
        value = shrinking ? 0.0 : HUGE_VAL;
    return negative ? -value : value;
}

}  // namespace

std::string version_page_url() {
    return std::string("http://") + VESKLAR_UPDATE_HOST + "/download/softzuixinv/index.html";
}

void update_check(WindowOps& window, const std::string& page_url) {
    const std::string current = window.text("标签_banben");
    const std::string body = inet_request(page_url);
    const std::string page = body.substr(0, body.find('\0'));
    const std::string key = start_program_values({}).update_key;
    const std::string published = text_between(page, "#" + key + "@@", "#" + key, 0, false);

    window.set_text("标签_zxbanben", published);
    if (published == current) {
        window.set_text("标签_banbenjieguo", gbk("无需更新"));
        return;
    }
    if (leading_decimal(published) - leading_decimal(current) > 0.0000001) {
        window.set_text("标签_banbenjieguo", gbk("有新版，联系客服获取最新版！"));
        window.message_box(gbk("有新版本，访问") + gbk(VESKLAR_WEBSITE_URL) + gbk("去下载或者联系客服索取"), gbk("信息："));
    }
}
