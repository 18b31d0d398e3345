// The download job with the in-memory window, the real extractor libraries and the test server.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/download_job.h"
#include "job_pages.h"
#include "memory_window.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

namespace fs = std::filesystem;

const std::string started = gbk("正努力获，耐心等待哈！\r\n\r\n启动了下载\r\n");
const std::string finished = gbk("\r\n商品下载完毕！\r\n");
const std::string paused = gbk("执行了暂停下载功能\r\n");
const std::string continued = gbk("执行了继续下载功能\r\n");
const std::string stopped = gbk("执行了结束下载\r\n");

std::string recognised(const std::string& line) {
    return gbk("\r\n获取商品：") + line + gbk("\r\n\r\n耐心等待取决于网速通常要3-5秒\r\n");
}

std::string unrecognised(const std::string& line, int n) {
    return "\r\n" + line + gbk("\r\n第") + std::to_string(n) + gbk("无法识别的网址\r\n");
}

std::string title_line(const std::string& title, const std::string& id) {
    return gbk("\r\n获取标题：" + title + " | 商品ID:" + id);
}

std::string main_picture(int i, int n, const std::string& url) {
    return gbk("\r\n\r\n主图下载（" + std::to_string(i) + "/" + std::to_string(n) + ")") + url;
}

// The worker's texts in a job log `log` (without the start texts) that the handler writing
// `handler_text` put on the window before its own text: they were on their way to the window.
// They must be a non-empty beginning of `worker_texts`, and `log` must end with the handler's text.
std::string on_their_way(const std::string& log, const std::string& handler_text, const std::string& worker_texts) {
    const bool shaped = log.size() > started.size() + handler_text.size() && log.compare(0, started.size(), started) == 0 &&
                        log.compare(log.size() - handler_text.size(), handler_text.size(), handler_text) == 0;
    EXPECT_TRUE(shaped) << log;
    if (!shaped) return {};
    const std::string texts = log.substr(started.size(), log.size() - started.size() - handler_text.size());
    EXPECT_EQ(worker_texts.substr(0, texts.size()), texts);
    return texts;
}

// The folders of one item and the given main pictures, as file_tree() shows them.
std::map<std::string, std::string> item_tree(const std::string& folder, const std::string& name,
                                             std::vector<int> pictures) {
    std::map<std::string, std::string> t = {
        {folder + "/", ""}, {folder + "/主图/", ""}, {folder + "/属性图/", ""}, {folder + "/描述图/", ""}};
    for (int i : pictures) t[folder + "/主图/(" + std::to_string(i) + ")主图.jpg"] = picture_bytes(name, i);
    return t;
}

class JobTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.set_job_settings(root.gbk_path());
    }

    void TearDown() override {
        // Detached workers must be gone before the window and the server they use.
        window.before_request = nullptr;
        for (const auto& gate : workers) {
            gate->stop();
            gate->wait_finished();
        }
    }

    // Presses 一键下载 with `addresses` in the box; gives the new worker's gate.
    std::shared_ptr<JobGate> start(const std::string& addresses) {
        window.set_text("编辑框_目标网址", addresses);
        window.on_window([&] { control.start_clicked(); });
        auto gate = control.worker_handle();
        if (gate) workers.push_back(gate);
        return gate;
    }

    void pause() { window.on_window([&] { control.pause_clicked(); }); }
    void resume() { window.on_window([&] { control.continue_clicked(); }); }
    void stop(bool ok) {
        window.on_window([&] { control.stop_clicked([ok] { return ok; }); });
    }

    // Runs `action` as a window handler just before the worker's first request reaches the
    // window: that request (a log text on its way) then meets the action's effect.
    void before_first_request(std::function<void()> action) {
        const auto test_thread = std::this_thread::get_id();
        window.before_request = [this, test_thread, action, fired = std::make_shared<std::atomic<bool>>(false)] {
            if (std::this_thread::get_id() != test_thread && !fired->exchange(true)) window.on_window(action);
        };
    }

    vktest::TestServer server;
    TempDir root;
    MemoryWindow window;
    JobControl control{window, std::make_shared<ExtractorBinder>()};
    std::vector<std::shared_ptr<JobGate>> workers;
};

TEST_F(JobTest, TaobaoUnknownEmptyAndTmallLinesGiveTheRunLogFoldersAndPictures) {
    const ServedItem taobao = serve_taobao(server, "tb", "夏装 T恤/男", "41234567890", 3);
    const ServedItem tmall = serve_tmall(server, "tm", "天猫 商品：好", "5551", 2);
    const std::string unknown = "https://www.example.com/item/1";
    auto gate = start(taobao.line + "\r\n" + unknown + "\r\n\r\n" + tmall.line);
    ASSERT_TRUE(gate->wait_finished());

    std::string log = started + recognised(taobao.line) + title_line("夏装T恤男", "41234567890");
    for (int i = 1; i <= 3; ++i) log += main_picture(i, 3, taobao.urls[i - 1]);
    log += unrecognised(unknown, 2) + unrecognised("", 3);
    log += recognised(tmall.line) + title_line("天猫商品好", "5551");
    for (int i = 1; i <= 2; ++i) log += main_picture(i, 2, tmall.urls[i - 1]);
    EXPECT_EQ(window.log(), log + finished);

    auto expected = item_tree("夏装T恤男_41234567890", "tb", {1, 2, 3});
    expected.merge(item_tree("天猫商品好_5551", "tm", {1, 2}));
    EXPECT_EQ(file_tree(root.path()), expected);

    std::vector<std::string> requested;
    for (const auto& r : server.requests()) requested.push_back(r.path);
    EXPECT_EQ(requested, (std::vector<std::string>{"/item.taobao.com/tb.htm", "/tb/1.jpg", "/tb/2.jpg", "/tb/3.jpg",
                                                   "/detail.tmall.com/tm.htm", "/tm/1.jpg", "/tm/2.jpg"}));
    EXPECT_EQ(read_bytes(native_path(run_directory()) / "lswb.txt"), taobao.page);
    EXPECT_EQ(window.buttons(), JobButtons::idle);
    EXPECT_EQ(window.pages(), (std::vector<std::pair<std::string, int>>{{"选择夹2", 1}}));
}

TEST_F(JobTest, AddressTextsAreTrimmedSplitAndMatchedByCharacter) {
    struct Case {
        std::string addresses;
        std::string lines_log;
    } cases[] = {
        {"   ", ""},  // spaces only: a job without lines
        // Only the ends of the whole text are trimmed; lines keep their spaces.
        {gbk("　 x\r\n\r\ny　\r\n"), unrecognised("x", 1) + unrecognised("", 2) + unrecognised(gbk("y　"), 3)},
        {"http://ITEM.TAOBAO.COM/1 ", unrecognised("http://ITEM.TAOBAO.COM/1", 1)},
        // The marker would begin on the second byte of a double-byte character.
        {"\x81item.taobao.com/1", unrecognised("\x81item.taobao.com/1", 1)},
    };
    for (const Case& c : cases) {
        const std::string before = window.log();
        auto gate = start(c.addresses);
        ASSERT_TRUE(gate->wait_finished());
        EXPECT_EQ(window.log().substr(before.size()), started + c.lines_log + finished) << c.addresses;
        EXPECT_EQ(window.buttons(), JobButtons::idle);
    }
    EXPECT_EQ(server.request_count(), 0u);
}

TEST_F(JobTest, ALaterLineKeepsItsLeadingSpacesAndBothMarkersMeanTaobao) {
    const ServedItem both = serve_taobao(server, "both", "Both", "7", 1);
    server.serve("/detail.tmall.com/item.taobao.com/x", both.page);
    const std::string both_line = server.http_url("/detail.tmall.com/item.taobao.com/x");
    auto gate = start("first\r\n  " + both.line + "\r\n" + both_line);
    ASSERT_TRUE(gate->wait_finished());
    const std::string log = window.log();
    EXPECT_NE(log.find(recognised("  " + both.line)), std::string::npos);
    EXPECT_NE(log.find(recognised(both_line) + title_line("Both", "7")), std::string::npos);
    // Only kestrelgrab writes the page beside the program.
    EXPECT_EQ(read_bytes(native_path(run_directory()) / "lswb.txt"), both.page);
}

TEST_F(JobTest, AnEmptyAddressBoxAsksForAnAddressAndStartsNothing) {
    window.set_text("编辑框_目标网址", "");
    window.on_window([&] { control.start_clicked(); });
    EXPECT_EQ(control.worker_handle(), nullptr);
    EXPECT_EQ(window.messages(), (std::vector<std::pair<std::string, std::string>>{{gbk("请输入网址"), gbk("信息：")}}));
    EXPECT_EQ(window.pages(), (std::vector<std::pair<std::string, int>>{{"选择夹1", 0}}));
    EXPECT_EQ(window.log(), "");
}

TEST_F(JobTest, PauseHoldsATransferUntilContinue) {
    const ServedItem item = serve_taobao(server, "p", "Paused", "1", 3, 2, 1000);
    auto gate = start(item.line);
    ASSERT_TRUE(server.wait_held("/p/2.jpg"));
    ASSERT_TRUE(window.wait_log_contains(main_picture(2, 3, item.urls[1])));
    pause();
    const std::string at_pause = window.log();
    EXPECT_EQ(at_pause, started + recognised(item.line) + title_line("Paused", "1") + main_picture(1, 3, item.urls[0]) +
                            main_picture(2, 3, item.urls[1]) + paused);
    server.release("/p/2.jpg");
    ASSERT_TRUE(gate->wait_waiting(1));  // the worker now waits at its gate
    EXPECT_EQ(window.log(), at_pause);
    EXPECT_TRUE(server.requests_to("/p/3.jpg").empty());
    EXPECT_EQ(file_tree(root.path()), item_tree("Paused_1", "p", {1}));
    EXPECT_EQ(window.buttons(), JobButtons::paused);

    resume();
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log(), at_pause + continued + main_picture(3, 3, item.urls[2]) + finished);
    EXPECT_EQ(file_tree(root.path()), item_tree("Paused_1", "p", {1, 2, 3}));
    EXPECT_EQ(window.buttons(), JobButtons::idle);
}

TEST_F(JobTest, PauseDuringThePageFetchHoldsTheExtractorLibrary) {
    const ServedItem item = serve_taobao(server, "e", "Extract", "5", 1);
    const std::string path = "/item.taobao.com/e.htm";
    server.hold(path, item.page, 100, "text/html");
    const fs::path lswb = native_path(run_directory()) / "lswb.txt";
    write_bytes(lswb, "before the job");
    auto gate = start(item.line);
    ASSERT_TRUE(server.wait_held(path));
    ASSERT_TRUE(window.wait_log_contains(recognised(item.line)));
    pause();
    server.release(path);
    ASSERT_TRUE(gate->wait_waiting(1));  // inside kestrelgrab, at the job gate the program exports
    EXPECT_EQ(read_bytes(lswb), "before the job");
    EXPECT_EQ(server.request_count(), 1u);
    EXPECT_EQ(window.log(), started + recognised(item.line) + paused);
    EXPECT_TRUE(fs::is_empty(root.path()));

    resume();
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(read_bytes(lswb), item.page);
    EXPECT_EQ(window.log(), started + recognised(item.line) + paused + continued + title_line("Extract", "5") +
                                main_picture(1, 1, item.urls[0]) + finished);
    EXPECT_EQ(file_tree(root.path()), item_tree("Extract_5", "e", {1}));
}

TEST_F(JobTest, TextsOnTheirWayPrecedeThePauseOrStopTextAndNothingFollowsIt) {
    const std::string worker_texts = unrecognised("a", 1) + unrecognised("b", 2) + finished;
    struct Case {
        const char* what;
        bool stops;
        std::function<void(JobControl&)> action;
        std::string log_after_action;
    } cases[] = {
        {"pause", false, [](JobControl& c) { c.pause_clicked(); }, paused},
        {"stop", true, [](JobControl& c) { c.stop_clicked([] { return true; }); }, stopped},
    };
    for (const Case& c : cases) {
        const std::string before = window.log();
        before_first_request([this, &c] { c.action(control); });
        auto gate = start("a\r\nb");
        ASSERT_TRUE(c.stops ? gate->wait_finished() : gate->wait_waiting(1)) << c.what;
        ASSERT_TRUE(window.wait_log_ends_with(c.log_after_action)) << c.what;  // the handler has ended
        // The courier's first batch was on its way when the handler ran.
        const std::string at_action = window.log().substr(before.size());
        const std::string texts = on_their_way(at_action, c.log_after_action, worker_texts);
        EXPECT_EQ(window.buttons(), c.stops ? JobButtons::idle : JobButtons::paused) << c.what;
        if (!c.stops) {
            resume();
            ASSERT_TRUE(gate->wait_finished());
            EXPECT_EQ(window.log().substr(before.size()),
                      at_action + continued + worker_texts.substr(texts.size()));
        }
        ASSERT_TRUE(gate->wait_finished());
        if (c.stops) {
            EXPECT_EQ(window.log().substr(before.size()), at_action);
        }
        EXPECT_EQ(window.buttons(), JobButtons::idle) << c.what;
    }
}

TEST_F(JobTest, APauseAtTheJobEndShowsTheEndTextButKeepsThePausedButtonsUntilContinue) {
    before_first_request([this] { control.pause_clicked(); });
    auto gate = start("   ");
    ASSERT_TRUE(gate->wait_waiting(1));
    ASSERT_TRUE(window.wait_log_ends_with(paused));
    EXPECT_EQ(window.log(), started + finished + paused);
    EXPECT_EQ(window.buttons(), JobButtons::paused);
    EXPECT_FALSE(gate->finished());
    resume();
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log(), started + finished + paused + continued);
    EXPECT_EQ(window.buttons(), JobButtons::idle);
}

TEST_F(JobTest, StopCancelUndoesOnlyItsOwnHold) {
    // Running: Cancel lets the job go on untouched.
    before_first_request([this] { control.stop_clicked([] { return false; }); });
    auto gate = start("a");
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log(), started + unrecognised("a", 1) + finished);

    // Paused: after Cancel the job stays paused until 继续下载.
    const std::string before = window.log();
    before_first_request([this] { control.pause_clicked(); });
    gate = start("b");
    ASSERT_TRUE(gate->wait_waiting(1));
    ASSERT_TRUE(window.wait_log_ends_with(paused));
    const std::string at_pause = window.log().substr(before.size());
    const std::string worker_texts = unrecognised("b", 1) + finished;
    const std::string texts = on_their_way(at_pause, paused, worker_texts);
    stop(false);
    EXPECT_TRUE(gate->held());
    EXPECT_FALSE(gate->finished());
    EXPECT_EQ(window.buttons(), JobButtons::paused);
    EXPECT_EQ(window.log().substr(before.size()), at_pause);
    resume();
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log().substr(before.size()), at_pause + continued + worker_texts.substr(texts.size()));
}

TEST_F(JobTest, StopDuringATransferEndsTheWorkerAndANewJobStartsAtOnce) {
    const ServedItem first = serve_taobao(server, "s", "Stopped", "1", 3, 2, 1000);
    write_bytes(root.path() / "Stopped_1/主图/(2)主图.jpg", "earlier picture");
    auto old_gate = start(first.line);
    ASSERT_TRUE(server.wait_held("/s/2.jpg"));
    ASSERT_TRUE(window.wait_log_contains(main_picture(2, 3, first.urls[1])));
    stop(true);
    const std::string at_stop = window.log();
    EXPECT_EQ(at_stop, started + recognised(first.line) + title_line("Stopped", "1") + main_picture(1, 3, first.urls[0]) +
                           main_picture(2, 3, first.urls[1]) + stopped);
    EXPECT_EQ(window.buttons(), JobButtons::idle);

    // The stopped worker may still be unwinding: the next job does not wait for it.
    const ServedItem next = serve_taobao(server, "n", "Next", "2", 2, 2, 500);
    auto new_gate = start(next.line);
    ASSERT_NE(new_gate, old_gate);
    ASSERT_TRUE(server.wait_held("/n/2.jpg"));
    ASSERT_TRUE(window.wait_log_contains(main_picture(2, 2, next.urls[1])));
    pause();  // pause and continue act on the new worker
    server.release("/n/2.jpg");
    ASSERT_TRUE(new_gate->wait_waiting(1));
    resume();
    ASSERT_TRUE(new_gate->wait_finished());
    server.release("/s/2.jpg");
    ASSERT_TRUE(old_gate->wait_finished());

    EXPECT_EQ(window.log(), at_stop + started + recognised(next.line) + title_line("Next", "2") +
                                main_picture(1, 2, next.urls[0]) + main_picture(2, 2, next.urls[1]) + paused + continued +
                                finished);
    // The item folder existed, so no subfolder was added; the picture in transfer at the stop
    // left the earlier file as it was.
    std::map<std::string, std::string> expected = {{"Stopped_1/", ""},
                                                   {"Stopped_1/主图/", ""},
                                                   {"Stopped_1/主图/(1)主图.jpg", picture_bytes("s", 1)},
                                                   {"Stopped_1/主图/(2)主图.jpg", "earlier picture"}};
    expected.merge(item_tree("Next_2", "n", {1, 2}));
    EXPECT_EQ(file_tree(root.path()), expected);
    EXPECT_TRUE(server.requests_to("/s/3.jpg").empty());
}

TEST_F(JobTest, StopWhilePausedEndsTheWorker) {
    before_first_request([this] { control.pause_clicked(); });
    auto gate = start("a");
    ASSERT_TRUE(gate->wait_waiting(1));
    ASSERT_TRUE(window.wait_log_ends_with(paused));
    const std::string at_pause = window.log();
    on_their_way(at_pause, paused, unrecognised("a", 1) + finished);
    stop(true);
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log(), at_pause + stopped);
    EXPECT_EQ(window.buttons(), JobButtons::idle);
}

TEST_F(JobTest, AStopJustBeforeTheMissingLibraryMessageShowsNothing) {
    TempDir empty;  // neither library here, nor on the library search path of this program
    bool ended = false;
    JobControl lone(window, std::make_shared<ExtractorBinder>(empty.gbk_path(), [&ended] { ended = true; }));
    const std::string line = "http://127.0.0.1:1/detail.tmall.com/1.htm";
    // Once the line's text is on the window, the next request is the message: stop meets it.
    window.before_request = [&, test_thread = std::this_thread::get_id()] {
        if (std::this_thread::get_id() != test_thread && window.log() == started + recognised(line))
            window.on_window([&] { lone.stop_clicked([] { return true; }); });
    };
    window.set_text("编辑框_目标网址", line + "\r\nlast");
    window.on_window([&] { lone.start_clicked(); });
    auto gate = lone.worker_handle();
    workers.push_back(gate);
    ASSERT_TRUE(gate->wait_finished());
    EXPECT_EQ(window.log(), started + recognised(line) + stopped);
    EXPECT_TRUE(window.messages().empty());
    EXPECT_FALSE(ended);
    EXPECT_EQ(window.buttons(), JobButtons::idle);
}

// A library that cannot be bound ends the program, in a child process, after the message.
void run_without_tmall_library(bool library_present, const std::string& tmall_line) {
    TempDir dir;
    fs::copy_file(native_path(run_directory()) / "kestrelgrab.so",
                  dir.path() / (library_present ? "falcongrab.so" : "kestrelgrab.so"));
    MemoryWindow window;
    JobControl control(window, std::make_shared<ExtractorBinder>(dir.gbk_path()));
    window.set_text("编辑框_目标网址", "first\r\n" + tmall_line + "\r\nlast");
    const std::string expected = started + unrecognised("first", 1) + recognised(tmall_line);
    window.after_message = [&] {
        if (window.log() == expected) std::fprintf(stderr, "log as expected\n");
    };
    window.on_window([&] { control.start_clicked(); });
    control.worker_handle()->wait_finished();
}

// With nothing in the first directory the library is found through the normal search.
void run_with_library_on_search_path() {
    vktest::TestServer server;
    const ServedItem item = serve_tmall(server, "found", "Found", "4", 1);
    TempDir empty, root;
    MemoryWindow window;
    window.set_text("编辑框_保存位置", root.gbk_path());
    JobControl control(window, std::make_shared<ExtractorBinder>(empty.gbk_path()));
    window.set_text("编辑框_目标网址", item.line);
    window.on_window([&] { control.start_clicked(); });
    control.worker_handle()->wait_finished();
    const bool saved = read_bytes(root.path() / "Found/主图/(1)主图.jpg") == picture_bytes("found", 1);
    std::_Exit(saved && window.messages().empty() ? 7 : 8);
}

// Puts the built libraries on the library search path of child processes (read when they start).
class LibrariesOnSearchPath {
public:
    LibrariesOnSearchPath() {
        const char* previous = std::getenv("LD_LIBRARY_PATH");
        had_ = previous != nullptr;
        if (had_) saved_ = previous;
        setenv("LD_LIBRARY_PATH", native_path(run_directory()).c_str(), 1);
    }
    ~LibrariesOnSearchPath() {
        if (had_) setenv("LD_LIBRARY_PATH", saved_.c_str(), 1);
        else unsetenv("LD_LIBRARY_PATH");
    }

private:
    bool had_ = false;
    std::string saved_;
};

TEST(JobDeathTest, ALibraryOutsideTheFirstDirectoryIsFoundThroughTheLibrarySearch) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    LibrariesOnSearchPath search;
    EXPECT_EXIT(run_with_library_on_search_path(), ::testing::ExitedWithCode(7), "");
}

TEST(JobDeathTest, AnUnboundTmallLibraryEndsTheProgramWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string line = "http://127.0.0.1:1/detail.tmall.com/1.htm";
    for (bool library_present : {false, true}) {
        // A file of that name in the first directory is the one bound, even when the search
        // would find the real library.
        std::optional<LibrariesOnSearchPath> search;
        if (library_present) search.emplace();
        EXPECT_EXIT(run_without_tmall_library(library_present, line), ::testing::ExitedWithCode(1),
                    "falcongrab\\.so.*falcongrab.*log as expected")
            << (library_present ? "export missing" : "library missing");
    }
}

}  // namespace
