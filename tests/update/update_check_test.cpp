// The update check against a version page served by the test server.
#include <gtest/gtest.h>

#include <thread>

#include "build_config.h"
#include "core/update_check.h"
#include "memory_window.h"
#include "platform/codepage.h"
#include "support/test_server.h"
#include "webkit/inet_request.h"

namespace {

const char* const page_path = "/download/softzuixinv/index.html";

struct Case {
    std::string current;    // 标签_banben
    std::string page;       // the version page's bytes
    std::string published;  // 标签_zxbanben afterwards
    enum Outcome { same, newer, nothing } outcome;
};

class UpdateCheck : public ::testing::Test {
protected:
    vktest::TestServer server;
    const std::string kept = gbk("上次的结果");
    const std::string newer_text = gbk("有新版，联系客服获取最新版！");

    MemoryWindow& window_with(const std::string& current) {
        window = std::make_unique<MemoryWindow>();
        window->set_text("标签_banben", current);
        window->set_text("标签_zxbanben", "stale");
        window->set_text("标签_banbenjieguo", kept);
        return *window;
    }
    std::unique_ptr<MemoryWindow> window;
};

TEST_F(UpdateCheck, ComparesThePublishedVersionWithTheLabel) {
    const std::string other = "<p>#shop@@9.9#shop</p>";
    for (const Case& c : {
             Case{"1.0", "#taobao@@1.0#taobao", "1.0", Case::same},
             Case{"1.0", other + "\r\n#taobao@@1.1#taobao\r\n", "1.1", Case::newer},
             Case{"1.0", "#taobao@@1.00#taobao", "1.00", Case::nothing},
             Case{"1.0", "#taobao@@1.05#taobao", "1.05", Case::newer},
             Case{"1.9", "#taobao@@1.10#taobao", "1.10", Case::nothing},
             Case{"1.0", "#taobao@@0.9#taobao", "0.9", Case::nothing},
             Case{"1.0", "#taobao@@#taobao", "", Case::nothing},
             Case{"1.0", "#TAOBAO@@1.1#TAOBAO", "", Case::nothing},
             Case{"1.0", "#Taobao@@1.1#taobao", "", Case::nothing},
             Case{"1.0", "no entry here", "", Case::nothing},
             Case{"1.0", "#taobao@@ 1.1 #taobao", " 1.1 ", Case::newer},
             Case{"1.0", "#taobao@@\t\v\f\r\n1.1#taobao", "\t\v\f\r\n1.1", Case::newer},
             Case{"1.0", "#taobao@@+1.5beta#taobao", "+1.5beta", Case::newer},
             Case{"1.0", "#taobao@@1e1#taobao", "1e1", Case::newer},
             Case{"1.0", "#taobao@@15e-1#taobao", "15e-1", Case::newer},
             Case{"1.0", "#taobao@@1.00000005#taobao", "1.00000005", Case::nothing},
             Case{"1.0", "#taobao@@-2#taobao", "-2", Case::nothing},
             Case{"1.0", "#taobao@@v2#taobao", "v2", Case::nothing},
             Case{"abc", "#taobao@@0.1#taobao", "0.1", Case::newer},
             Case{"1.0", std::string("x\0#taobao@@2.0#taobao", 21), "", Case::nothing},
             Case{"1.0", gbk("新版#taobao@@1.1#taobao说明"), "1.1", Case::newer},
         }) {
        server.serve(page_path, c.page);
        MemoryWindow& w = window_with(c.current);
        update_check(w, server.http_url(page_path));
        std::string label = "page " + c.page;
        EXPECT_EQ(w.text("标签_zxbanben"), c.published) << label;
        if (c.outcome == Case::same) EXPECT_EQ(w.text("标签_banbenjieguo"), gbk("无需更新")) << label;
        else if (c.outcome == Case::newer) EXPECT_EQ(w.text("标签_banbenjieguo"), newer_text) << label;
        else EXPECT_EQ(w.text("标签_banbenjieguo"), kept) << label;
        auto messages = w.messages();
        if (c.outcome == Case::newer) {
            ASSERT_EQ(messages.size(), 1u) << label;
            EXPECT_EQ(messages[0].first, gbk("有新版本，访问") + VESKLAR_WEBSITE_URL + gbk("去下载或者联系客服索取"));
            EXPECT_EQ(messages[0].second, gbk("信息："));
        } else {
            EXPECT_TRUE(messages.empty()) << label;
        }
    }
}

TEST_F(UpdateCheck, FetchesThePageWithAPlainGet) {
    server.serve(page_path, "#taobao@@1.0#taobao");
    update_check(window_with("1.0"), server.http_url(page_path));
    auto seen = server.requests_to(page_path);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(seen[0].header("Accept-Language"), "zh-cn");
    EXPECT_FALSE(seen[0].has_header("Cookie"));
}

TEST_F(UpdateCheck, UnreachableServerEmptiesOnlyThePublishedVersion) {
    int port;
    {
        vktest::TestServer gone;
        port = gone.http_port();
    }
    MemoryWindow& w = window_with("1.0");
    update_check(w, "http://127.0.0.1:" + std::to_string(port) + page_path);
    EXPECT_EQ(w.text("标签_zxbanben"), "");
    EXPECT_EQ(w.text("标签_banbenjieguo"), kept);
    EXPECT_TRUE(w.messages().empty());
}

TEST_F(UpdateCheck, ErrorPageAndBrokenBodyAreReadAsTheyCame) {
    // An error status is no failure: the page is read as sent.
    server.serve(page_path, "#taobao@@1.1#taobao", "text/html", 404);
    MemoryWindow& w = window_with("1.0");
    update_check(w, server.http_url(page_path));
    EXPECT_EQ(w.text("标签_zxbanben"), "1.1");
    // A body cut short keeps what arrived.
    server.truncate_body(page_path, "#taobao@@1.2#taobao", 500);
    MemoryWindow& w2 = window_with("1.0");
    update_check(w2, server.http_url(page_path));
    EXPECT_EQ(w2.text("标签_zxbanben"), "1.2");
}

TEST_F(UpdateCheck, RunsOnAThreadOfItsOwn) {
    server.serve(page_path, "#taobao@@1.1#taobao");
    MemoryWindow& w = window_with("1.0");
    std::thread([&] { update_check(w, server.http_url(page_path)); }).join();
    EXPECT_EQ(w.text("标签_zxbanben"), "1.1");
    EXPECT_EQ(w.messages().size(), 1u);
}

TEST(UpdatePage, AddressIsTheBuildHostAndTheFixedPath) {
    std::string url = version_page_url();
    EXPECT_EQ(url_host(url), VESKLAR_UPDATE_HOST);
    EXPECT_EQ(url_path(url), page_path);
    EXPECT_EQ(url_port(url), 80);
}

}  // namespace
