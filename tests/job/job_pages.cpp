// Item pages shaped like the marketplaces' pages, served by the test server, for job tests.
#include "job_pages.h"

#include "build_config.h"
#include "platform/codepage.h"

std::string picture_bytes(const std::string& name, int i) {
    std::string bytes("\xFF\xD8\xFF\xE0\x00\\\x81\x5C", 8);
    bytes += name;
    for (int k = 0; k < 4000 + 97 * i; ++k) bytes.push_back(static_cast<char>((k * 7 + i * 13 + name.size()) & 0xFF));
    return bytes;
}

namespace {

// Serves the pictures and gives their addresses.
std::vector<std::string> serve_pictures(vktest::TestServer& server, const std::string& name, int pictures,
                                        int held, std::size_t held_sent) {
    std::vector<std::string> urls;
    for (int i = 1; i <= pictures; ++i) {
        const std::string path = "/" + name + "/" + std::to_string(i) + ".jpg";
        if (i == held) server.hold(path, picture_bytes(name, i), held_sent, "image/jpeg");
        else server.serve(path, picture_bytes(name, i), "image/jpeg");
        urls.push_back(server.https_url(path));
    }
    return urls;
}

}  // namespace

ServedItem serve_taobao(vktest::TestServer& server, const std::string& name, const std::string& title,
                        const std::string& item_id, int pictures, int held, std::size_t held_sent) {
    ServedItem item;
    item.urls = serve_pictures(server, name, pictures, held, held_sent);
    std::string list;
    for (const std::string& url : item.urls) list += (list.empty() ? "\"" : ",\"") + url.substr(6) + "\"";
    item.page = gbk("<html><head><title>" + title + "-淘宝网</title>\n<script>\nvar g_config = {\n"
                    "    itemId" + std::string(11, ' ') + ": '" + item_id + "',\n"
                    "    sellerNick" + std::string(7, ' ') + ": '小店',\n"
                    "    auctionImages" + std::string(4, ' ') + ": [" + list + "]\n};\n</script></head></html>\n");
    const std::string path = "/item.taobao.com/" + name + ".htm";
    server.serve(path, item.page, "text/html; charset=gbk");
    item.line = server.http_url(path);
    return item;
}

ServedItem serve_tmall(vktest::TestServer& server, const std::string& name, const std::string& title,
                       const std::string& item_id, int pictures) {
    ServedItem item;
    item.urls = serve_pictures(server, name, pictures, 0, 0);
    std::string list;
    for (const std::string& url : item.urls) list += (list.empty() ? "\"" : ",\"") + url.substr(6) + "\"";
    item.page = gbk("<html><head><title>" + title + VESKLAR_TMALL_TITLE_SUFFIX + "</title>\r\n"
                    "<input type=\"hidden\" name=\"seller_nickname\" value=\"天猫店\" />\r\n"
                    "<script>var d = {\"itemId\":\"" + item_id + "\",\"imgs\":{\"default\":[" + list + "]}};</script>\r\n"
                    "</head></html>\r\n");
    const std::string path = "/detail.tmall.com/" + name + ".htm";
    server.serve(path, item.page, "text/html; charset=gbk");
    item.line = server.http_url(path);
    return item;
}
