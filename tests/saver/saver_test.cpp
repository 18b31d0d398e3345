// The item picture saver against the real test server (pictures over HTTPS) and real json-c.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/job_gate.h"
#include "core/picture_saver.h"
#include "http/recording_object.h"
#include "memory_window.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

namespace fs = std::filesystem;

// An item record written as the extractors write it (UTF-8 here, GBK when built).
std::string member(const std::string& key, const std::string& value) {
    return "{ \"" + key + "\":\"" + value + "\" }";
}

std::string pictures(const std::string& key, const std::vector<std::string>& urls) {
    std::string part = "\"" + key + "\":[";
    for (std::size_t i = 0; i < urls.size(); ++i) part += (i ? "," : "") + member("img", urls[i]);
    return part + "]";
}

std::string record(const std::string& title, const std::string& id, const std::vector<std::string>& main,
                   std::optional<std::vector<std::string>> property = std::nullopt,
                   std::optional<std::vector<std::string>> description = std::nullopt) {
    std::string text = "{\"shopinfo\":[" + member("title", title) + "," + member("sellernick", "nick") +
                       "," + member("itemid", id) + "]," + pictures("主图", main);
    if (property) text += "," + pictures("属性图", *property);
    if (description) text += "," + pictures("描述图", *description);
    return gbk(text + "}");
}

// Picture bytes that no text rule could leave intact by accident: zeros, "\\", GBK lead bytes.
std::string picture_bytes(int n) {
    std::string bytes("\xFF\xD8\x00\\\x81\x5C\r\n", 8);
    for (int i = 0; i < 200 + n * 37; ++i) bytes.push_back(static_cast<char>((i * 31 + n) & 0xFF));
    return bytes;
}

class SaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.set_job_settings(root.gbk_path());
    }

    // Serves a picture over HTTPS and gives its address.
    std::string serve(const std::string& path, const std::string& bytes) {
        server.serve(path, bytes, "image/jpeg");
        return server.https_url(path);
    }

    void save(const std::string& text) { save_item_pictures(text, steps); }

    vktest::TestServer server;
    TempDir root;
    MemoryWindow window;
    JobGate gate;
    JobSteps steps{window, gate};
};

TEST(CleanTitle, DeletesTheTableInOrderAndNothingElse) {
    struct Case {
        const char* title;
        const char* cleaned;
    } cases[] = {
        {"A\\/B: C.D", "ABCD"},
        {":\\/?*<>|：、？。（）·！，. ", ""},
        {"夏季　新款", "夏季　新款"},  // the full-width space stays
        {"T恤（男）！2015.", "T恤男2015"},
        {"a\"b", "a\"b"},  // the quote is no entry of the table
    };
    for (const Case& c : cases) EXPECT_EQ(clean_title(gbk(c.title)), gbk(c.cleaned)) << c.title;
    // A trail byte equal to "|" or "\\" belongs to its character and is kept.
    EXPECT_EQ(clean_title(std::string("x\x81|y\x81\\z|\\", 10)), std::string("x\x81|y\x81\\z", 8));
}

TEST_F(SaverTest, ThreeTwoFourPicturesGiveTheLogTheFoldersAndEveryFile) {
    std::vector<std::string> main, property, description;
    std::map<std::string, std::string> expected = {
        {"ABCD_123/", ""}, {"ABCD_123/主图/", ""}, {"ABCD_123/属性图/", ""}, {"ABCD_123/描述图/", ""}};
    std::string log = gbk("\r\n获取标题：ABCD | 商品ID:123");
    struct Category {
        const char* name;
        int count;
        std::vector<std::string>* urls;
    } categories[] = {{"主图", 3, &main}, {"属性图", 2, &property}, {"描述图", 4, &description}};
    int n = 0;
    for (const Category& c : categories) {
        for (int i = 1; i <= c.count; ++i) {
            const std::string bytes = picture_bytes(++n);
            // Several "/" in the stored address: it must be requested unchanged.
            const std::string path = "/img/" + std::to_string(n) + "/a/b/" + std::to_string(i) + ".jpg";
            c.urls->push_back(serve(path, bytes));
            expected["ABCD_123/" + std::string(c.name) + "/(" + std::to_string(i) + ")" + c.name + ".jpg"] = bytes;
            log += gbk("\r\n\r\n" + std::string(c.name) + "下载（" + std::to_string(i) + "/" +
                       std::to_string(c.count) + ")") + c.urls->back();
        }
    }
    save(record("A/B: C.D", "123", main, property, description));

    EXPECT_EQ(window.log(), log);
    EXPECT_EQ(file_tree(root.path()), expected);
    std::vector<std::string> requested;
    for (const auto& r : server.requests()) requested.push_back(server.https_url(r.target));
    std::vector<std::string> all = main;
    all.insert(all.end(), property.begin(), property.end());
    all.insert(all.end(), description.begin(), description.end());
    EXPECT_EQ(requested, all);
}

// Every request object the saver makes, wrapped so its member calls are written down.
std::vector<std::string> object_calls;
HttpRequestObjectFactory real_factory = nullptr;
std::unique_ptr<HttpRequestObject> recording_factory() {
    auto object = std::make_unique<RecordingObject>(real_factory());
    object->copy_to = &object_calls;
    return object;
}

TEST_F(SaverTest, EachCategoryFetchesWithItsOwnTimeOut) {
    const std::string m = serve("/m.jpg", picture_bytes(1));
    const std::string p = serve("/p.jpg", picture_bytes(2));
    const std::string d = serve("/d.jpg", picture_bytes(3));
    object_calls.clear();
    real_factory = set_http_request_object_factory(recording_factory);
    save(record("T", "1", {m}, std::vector<std::string>{p}, std::vector<std::string>{d}));
    set_http_request_object_factory(real_factory);

    // The time-out each picture was fetched with, by address.
    std::vector<std::string> seen;
    std::string timeouts;
    for (const std::string& call : object_calls) {
        if (call.rfind("SetTimeouts(", 0) == 0) timeouts = call;
        if (call.rfind("Open(GET,", 0) == 0) seen.push_back(call.substr(9, call.size() - 16) + " " + timeouts);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{m + " SetTimeouts(50000,50000,50000,50000)",
                                              p + " SetTimeouts(50000,50000,50000,50000)",
                                              d + " SetTimeouts(60000,60000,60000,60000)"}));
    EXPECT_EQ(read_bytes(root.path() / "T_1" / "描述图" / "(1)描述图.jpg"), picture_bytes(3));
}

TEST_F(SaverTest, UncheckedBoxesSkipTheirCategoryButKeepItsFolder) {
    const std::string m = serve("/m.jpg", picture_bytes(1));
    const std::string p = serve("/p.jpg", picture_bytes(2));
    const std::string d = serve("/d.jpg", picture_bytes(3));
    struct Case {
        bool property, description, with_id;
        const char* folder;
    } cases[] = {{false, true, true, "T_9"}, {true, false, false, "T"}, {false, false, true, "T_9"}};
    for (const Case& c : cases) {
        TempDir dir;
        MemoryWindow w;
        w.set_text("编辑框_保存位置", dir.gbk_path());
        w.set_checked("选择框_文件夹名包含ID", c.with_id);
        w.set_checked("选择框_属性图", c.property);
        w.set_checked("选择框_描述图", c.description);
        JobSteps s(w, gate);
        save_item_pictures(record("T", "9", {m}, std::vector<std::string>{p}, std::vector<std::string>{d}), s);

        const std::string f = c.folder;
        std::string log = gbk("\r\n获取标题：T | 商品ID:9\r\n\r\n主图下载（1/1)") + m;
        std::map<std::string, std::string> expected = {{f + "/", ""}, {f + "/主图/", ""}, {f + "/属性图/", ""},
                                                       {f + "/描述图/", ""}, {f + "/主图/(1)主图.jpg", picture_bytes(1)}};
        if (c.property) {
            log += gbk("\r\n\r\n属性图下载（1/1)") + p;
            expected[f + "/属性图/(1)属性图.jpg"] = picture_bytes(2);
        } else {
            log += gbk("\r\n\r\n设置里，属性图下载功能未启用");
        }
        if (c.description) {
            log += gbk("\r\n\r\n描述图下载（1/1)") + d;
            expected[f + "/描述图/(1)描述图.jpg"] = picture_bytes(3);
        } else {
            log += gbk("\r\n\r\n设置里，描述图下载功能未启用");
        }
        EXPECT_EQ(w.log(), log) << f;
        EXPECT_EQ(file_tree(dir.path()), expected) << f;
    }
}

TEST_F(SaverTest, UnreadableRecordsGiveNullAndNoPicture) {
    window.set_checked("选择框_属性图", false);
    window.set_checked("选择框_描述图", false);
    struct Case {
        std::string record;
        bool with_id;
        const char* folder;
    } cases[] = {{"", true, "null_null"},
                 {"{\"shopinfo\":[", false, "null"},
                 // A quote inside a value ends the string early: the record no longer parses.
                 {gbk("{\"shopinfo\":[{ \"title\":\"a\"b\" }]}"), true, "null_null"}};
    for (const Case& c : cases) {
        TempDir dir;
        window.set_text("编辑框_保存位置", dir.gbk_path());
        window.set_checked("选择框_文件夹名包含ID", c.with_id);
        const std::string before = window.log();
        save(c.record);
        EXPECT_EQ(window.log().substr(before.size()),
                  gbk("\r\n获取标题：null | 商品ID:null\r\n\r\n设置里，属性图下载功能未启用"
                      "\r\n\r\n设置里，描述图下载功能未启用"));
        const std::string f = c.folder;
        EXPECT_EQ(file_tree(dir.path()),
                  (std::map<std::string, std::string>{{f + "/", ""}, {f + "/主图/", ""}, {f + "/属性图/", ""}, {f + "/描述图/", ""}}));
    }
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(SaverTest, EmptyValuesUseTheBareFolderNames) {
    // With the id: the folder "_"; without it the item folder is the save root itself.
    save(record("", "", {}));
    EXPECT_EQ(window.log(), gbk("\r\n获取标题： | 商品ID:"));
    EXPECT_EQ(file_tree(root.path()),
              (std::map<std::string, std::string>{{"_/", ""}, {"_/主图/", ""}, {"_/属性图/", ""}, {"_/描述图/", ""}}));

    TempDir bare;
    window.set_text("编辑框_保存位置", bare.gbk_path());
    window.set_checked("选择框_文件夹名包含ID", false);
    save(record("", "", {serve("/x.jpg", "xyz")}));
    EXPECT_EQ(file_tree(bare.path()), (std::map<std::string, std::string>{}));  // no 主图 subfolder to write into
    EXPECT_EQ(server.requests_to("/x.jpg").size(), 1u);
}

TEST_F(SaverTest, AnExistingFolderGetsNoSubfoldersAndItsFilesAreReplaced) {
    const std::string m1 = serve("/1.jpg", picture_bytes(1));
    const std::string m2 = serve("/2.jpg", picture_bytes(2));
    write_bytes(root.path() / "Old_5/主图/(1)主图.jpg", "old one");
    write_bytes(root.path() / "Old_5/主图/(7)主图.jpg", "untouched");
    window.set_checked("选择框_属性图", false);
    window.set_checked("选择框_描述图", false);
    save(record("Old", "5", {m1, m2}));
    EXPECT_EQ(file_tree(root.path()), (std::map<std::string, std::string>{{"Old_5/", ""},
                                                                      {"Old_5/主图/", ""},
                                                                      {"Old_5/主图/(1)主图.jpg", picture_bytes(1)},
                                                                      {"Old_5/主图/(2)主图.jpg", picture_bytes(2)},
                                                                      {"Old_5/主图/(7)主图.jpg", "untouched"}}));
}

TEST_F(SaverTest, MissingPropertyArrayLogsNothingForIt) {
    const std::string m = serve("/m.jpg", "m");
    save(record("T", "1", {m}, std::nullopt, std::vector<std::string>{}));
    EXPECT_EQ(window.log(), gbk("\r\n获取标题：T | 商品ID:1\r\n\r\n主图下载（1/1)") + m);
}

TEST_F(SaverTest, EmptySaveLocationSavesUnderTheRunDirectory) {
    window.set_text("编辑框_保存位置", "");
    const std::string name = "RunDir" + std::to_string(::getpid());
    const fs::path folder = native_path(run_directory()) / (name + "_7");
    save(record(name, "7", {serve("/r.jpg", "run")}));
    EXPECT_EQ(read_bytes(folder / "主图/(1)主图.jpg"), "run");
    EXPECT_TRUE(fs::is_directory(folder / "描述图"));
    fs::remove_all(folder);
}

TEST_F(SaverTest, ErrorStatusBodiesAndFailedRequestsAreWrittenAsTheyCame) {
    server.serve("/missing.jpg", "no such picture", "text/plain", 404);
    const std::string refused = "https://127.0.0.1:1/never.jpg";
    // A picture object without "img" reads as the address "null".
    std::string text = record("E", "2", {server.https_url("/missing.jpg"), refused});
    text.replace(text.rfind("]}"), 2, ",{ \"other\":\"x\" }]}");
    save(text);
    EXPECT_EQ(window.log(), gbk("\r\n获取标题：E | 商品ID:2\r\n\r\n主图下载（1/3)") + server.https_url("/missing.jpg") +
                                gbk("\r\n\r\n主图下载（2/3)") + refused + gbk("\r\n\r\n主图下载（3/3)null"));
    EXPECT_EQ(read_bytes(root.path() / "E_2/主图/(1)主图.jpg"), "no such picture");
    EXPECT_TRUE(fs::exists(root.path() / "E_2/主图/(2)主图.jpg"));
    EXPECT_EQ(read_bytes(root.path() / "E_2/主图/(2)主图.jpg"), "");
    EXPECT_TRUE(fs::exists(root.path() / "E_2/主图/(3)主图.jpg"));
    EXPECT_EQ(fs::file_size(root.path() / "E_2/主图/(3)主图.jpg"), 0u);
}

TEST_F(SaverTest, AFailedRequestKeepsAnExistingPicture) {
    write_bytes(root.path() / "K_3/主图/(1)主图.jpg", "kept picture");
    write_bytes(root.path() / "K_3/主图/(2)主图.jpg", "replaced picture");
    server.serve("/empty.jpg", "", "image/jpeg");  // a successful empty body still replaces
    save(record("K", "3", {"https://127.0.0.1:1/refused.jpg", server.https_url("/empty.jpg")}));
    EXPECT_EQ(read_bytes(root.path() / "K_3/主图/(1)主图.jpg"), "kept picture");
    EXPECT_TRUE(fs::exists(root.path() / "K_3/主图/(2)主图.jpg"));
    EXPECT_EQ(read_bytes(root.path() / "K_3/主图/(2)主图.jpg"), "");
}

TEST_F(SaverTest, FoldersAndFilesStayInsideTheSaveRoot) {
    const std::string m = serve("/m.jpg", "inside");
    const fs::path save_root = root.path() / "save";
    fs::create_directories(save_root);
    window.set_text("编辑框_保存位置", utf8_to_gbk(save_root.string()));
    window.set_checked("选择框_属性图", false);
    window.set_checked("选择框_描述图", false);
    struct Case {
        const char* title;
        const char* id;
        const char* folder;
    } cases[] = {
        {"..", "..\\\\..\\\\up", "_....up"},
        {"T", "..\\/..\\/..\\/up", "T_......up"},
        {"..\\\\..", "", "_"},
    };
    for (const Case& c : cases) {
        save(record(c.title, c.id, {m}));
        EXPECT_EQ(read_bytes(save_root / c.folder / "主图/(1)主图.jpg"), "inside") << c.folder;
    }
    // Nothing outside the save root: the temporary folder holds only "save".
    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(root.path())) top.push_back(entry.path().filename().string());
    EXPECT_EQ(top, std::vector<std::string>{"save"});
}

TEST_F(SaverTest, ValuesAreReadInTheTextFormJsonCPrints) {
    window.set_checked("选择框_属性图", false);
    window.set_checked("选择框_描述图", false);
    struct Case {
        std::string record;
        std::string title, id;  // as the log line shows them
    } cases[] = {
        // Escapes of the text form: the quotes go, then the title's backslashes and "/" are cleaned.
        {R"({"shopinfo":[{"title":"a\\b\"c/d\n"},{},{"itemid":"x\"y/z"}]})", "abcdn", R"(x\y\/z)"},
        // Numbers in digits; the id counts only at element 2.
        {R"({"shopinfo":[{"title":1.5,"itemid":"0"},{"itemid":"1"},{"itemid":123}]})", "15", "123"},
        {R"({"shopinfo":[{"title":"T","itemid":"9"}]})", "T", "null"},
        {R"({"shopinfo":{"title":"T"}})", "null", "null"},
        {R"({"shopinfo":[{"title":null},{},{"itemid":true}]})", "null", "true"},
        // A GBK character whose second byte is "\\" keeps it; only the text form's escape goes.
        {std::string("{\"shopinfo\":[{\"title\":\"\x95\\\\x\"}]}"), std::string("\x95\\x", 3), "null"},
    };
    for (const Case& c : cases) {
        const std::string before = window.log();
        save(c.record);
        EXPECT_EQ(window.log().substr(before.size()),
                  gbk("\r\n获取标题：") + c.title + gbk(" | 商品ID:") + c.id +
                      gbk("\r\n\r\n设置里，属性图下载功能未启用\r\n\r\n设置里，描述图下载功能未启用"))
            << c.record;
    }
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(SaverTest, EachBoxIsReadWhenItsCategoryIsReached) {
    // A box changed while an earlier category's picture is on its way still counts for this item.
    struct Case {
        const char* held;     // the picture held while the box changes
        const char* box;
        std::string log_tail;  // what follows the held picture's line
    } cases[] = {
        {"/m.jpg", "选择框_属性图", "\r\n\r\n设置里，属性图下载功能未启用\r\n\r\n描述图下载（1/1)"},
        {"/p.jpg", "选择框_描述图", "\r\n\r\n设置里，描述图下载功能未启用"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        MemoryWindow w;
        w.set_text("编辑框_保存位置", dir.gbk_path());
        w.set_checked("选择框_属性图", true);
        w.set_checked("选择框_描述图", true);
        JobSteps s(w, gate);
        const std::string prefix = std::string("/held") + c.held;  // paths of this case only
        std::vector<std::string> urls;
        for (const char* name : {"/m.jpg", "/p.jpg", "/d.jpg"}) {
            const std::string path = prefix + name;
            if (std::string(name) == c.held) server.hold(path, name, vktest::TestServer::before_headers, "image/jpeg");
            else server.serve(path, name, "image/jpeg");
            urls.push_back(server.https_url(path));
        }
        std::thread saver([&] {
            save_item_pictures(record("B", "4", {urls[0]}, std::vector<std::string>{urls[1]},
                                      std::vector<std::string>{urls[2]}), s);
        });
        const bool held = server.wait_held(prefix + c.held);
        if (held) w.set_checked(c.box, false);
        server.release(prefix + c.held);
        saver.join();
        ASSERT_TRUE(held) << c.held;

        const std::string held_url = server.https_url(prefix + c.held);
        const std::string log = w.log();
        const std::size_t at = log.find(held_url);
        ASSERT_NE(at, std::string::npos) << c.held;
        std::string tail = gbk(c.log_tail);
        if (std::string(c.held) == "/m.jpg") tail += urls[2];
        EXPECT_EQ(log.substr(at + held_url.size()), tail) << c.held;
        EXPECT_EQ(read_bytes(dir.path() / "B/主图/(1)主图.jpg"), "/m.jpg");
    }
}

TEST_F(SaverTest, AnItemFolderThatCannotBeMadeStillLogsAndFetchesEveryPicture) {
    // The save root is a file: no folder can be made below it, and the writes fail quietly.
    const fs::path blocker = root.path() / "file";
    write_bytes(blocker, "a file");
    window.set_text("编辑框_保存位置", utf8_to_gbk(blocker.string()));
    const std::string m = serve("/m.jpg", "m"), p = serve("/p.jpg", "p"), d = serve("/d.jpg", "d");
    save(record("F", "1", {m}, std::vector<std::string>{p}, std::vector<std::string>{d}));
    EXPECT_EQ(window.log(), gbk("\r\n获取标题：F | 商品ID:1\r\n\r\n主图下载（1/1)") + m +
                                gbk("\r\n\r\n属性图下载（1/1)") + p + gbk("\r\n\r\n描述图下载（1/1)") + d);
    EXPECT_EQ(server.request_count(), 3u);
    EXPECT_EQ(file_tree(root.path()), (std::map<std::string, std::string>{{"file", "a file"}}));
}

}  // namespace
