// The update check: fetches the version page, cuts out the published version and compares it
// with the one on the settings page.
#include "core/update_check.h"

#include "build_config.h"
#include "core/settings.h"
#include "platform/codepage.h"
#include "webkit/header_text.h"
#include "webkit/inet_request.h"
#include "webkit/text.h"

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
