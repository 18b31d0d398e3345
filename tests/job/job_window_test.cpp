// The job buttons on the real main window (offscreen): states, the two messages, a whole job.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QTabWidget>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "job_pages.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "ui/job_controller.h"
#include "ui/main_window.h"
#include "ui/test_dialogs.h"

namespace {

namespace fs = std::filesystem;

const std::string started = gbk("正努力获，耐心等待哈！\r\n\r\n启动了下载\r\n");

std::string recognised(const std::string& line) {
    return gbk("\r\n获取商品：") + line + gbk("\r\n\r\n耐心等待取决于网速通常要3-5秒\r\n");
}

std::string main_picture(int i, int n, const std::string& url) {
    return gbk("\r\n\r\n主图下载（" + std::to_string(i) + "/" + std::to_string(n) + ")") + url;
}

// A window over a temporary run directory with its job buttons wired, answered by recording
// dialogs; pictures are saved into a folder of their own.
struct Harness {
    Harness() {
        window = std::make_unique<MainWindow>(run_dir.gbk_path(), dialogs, [](WindowOps&) {});
        controller = new JobController(*window);
        window->ops().set_text("编辑框_保存位置", save_root.gbk_path());
        for (const char* box : {"选择框_文件夹名包含ID", "选择框_属性图", "选择框_描述图"})
            window->findChild<QCheckBox*>(QString::fromUtf8(box))->setChecked(true);
        window->show();
    }
    ~Harness() {
        // A worker still running would use the window after it is gone.
        if (auto gate = controller->control().worker_handle()) {
            gate->stop();
            QDeadlineTimer deadline(30000);  // the worker may be waiting for a window request
            while (!gate->finished() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    QAbstractButton* button(const char* name) const {
        return window->findChild<QAbstractButton*>(QString::fromUtf8(name));
    }
    // Which job buttons are shown, in the order start, pause, continue, stop.
    QString shown() const {
        QString s;
        for (const char* name : {"按钮_开始下载", "按钮_暂停线程", "按钮_继续下载", "按钮_结束下载"})
            s += button(name)->isHidden() ? '-' : '+';
        return s;
    }
    std::string log() const { return window->ops().text("编辑框_操作记录"); }
    std::shared_ptr<JobGate> gate() const { return controller->control().worker_handle(); }
    QTabWidget* tabs(const char* name) const { return window->findChild<QTabWidget*>(QString::fromUtf8(name)); }

    TempDir run_dir;
    TempDir save_root;
    RecordingDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    JobController* controller = nullptr;  // owned by the window
};

const QString idle = "+---", running = "-+-+", paused = "--++";

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool held(vktest::TestServer& server, const char* path) {
    return server.wait_held(path, std::chrono::milliseconds(1));
}

}  // namespace

class JobWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttons_follow_pause_cancel_continue_and_stop();
    void an_empty_box_asks_for_an_address();
    void a_whole_job_through_the_window();
    void a_stop_mid_job_leaves_a_line_for_every_picture_on_disk();
};

void JobWindowTest::buttons_follow_pause_cancel_continue_and_stop() {
    vktest::TestServer server;
    const ServedItem item = serve_taobao(server, "w", "Window", "8", 4, 2, 700);
    server.hold("/w/3.jpg", picture_bytes("w", 3), vktest::TestServer::before_headers, "image/jpeg");
    Harness h;
    h.tabs("选择夹2")->setCurrentIndex(0);
    h.window->ops().set_text("编辑框_目标网址", item.line);
    QCOMPARE(h.shown(), idle);

    h.button("按钮_开始下载")->click();
    QCOMPARE(h.shown(), running);
    QCOMPARE(h.tabs("选择夹2")->currentIndex(), 1);
    auto gate = h.gate();
    QVERIFY(gate);
    QTRY_VERIFY_WITH_TIMEOUT(held(server, "/w/2.jpg"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(ends_with(h.log(), main_picture(2, 4, item.urls[1])), 30000);

    h.button("按钮_暂停线程")->click();
    QCOMPARE(h.shown(), paused);
    const std::string at_pause = started + recognised(item.line) + gbk("\r\n获取标题：Window | 商品ID:8") +
                                 main_picture(1, 4, item.urls[0]) + main_picture(2, 4, item.urls[1]) +
                                 gbk("执行了暂停下载功能\r\n");
    QCOMPARE(h.log(), at_pause);
    server.release("/w/2.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(gate->wait_waiting(1, 0.001), 30000);
    QCOMPARE(h.log(), at_pause);
    QVERIFY(!fs::exists(h.save_root.path() / "Window_8/主图/(2)主图.jpg"));

    // Cancel leaves the job paused.
    h.dialogs.answer_ok_cancel(false);
    h.button("按钮_结束下载")->click();
    const auto questions = h.dialogs.calls_of(RecordingDialogs::Kind::message_ok_cancel);
    QCOMPARE(questions.size(), std::size_t(1));
    QCOMPARE(questions[0].text, gbk("您真的要彻底结束下载么？"));
    QCOMPARE(questions[0].detail, gbk("警告！"));
    QCOMPARE(h.shown(), paused);
    QVERIFY(gate->held());
    QCOMPARE(h.log(), at_pause);

    h.button("按钮_继续下载")->click();
    QCOMPARE(h.shown(), running);
    QTRY_VERIFY_WITH_TIMEOUT(held(server, "/w/3.jpg"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(ends_with(h.log(), main_picture(3, 4, item.urls[2])), 30000);

    // OK ends the worker: nothing after the stop text, not even the held picture.
    h.dialogs.answer_ok_cancel(true);
    h.button("按钮_结束下载")->click();
    QCOMPARE(h.shown(), idle);
    server.release("/w/3.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(gate->finished(), 30000);
    QCOMPARE(h.log(), at_pause + gbk("执行了继续下载功能\r\n") + main_picture(3, 4, item.urls[2]) +
                          gbk("执行了结束下载\r\n"));
    QVERIFY(fs::exists(h.save_root.path() / "Window_8/主图/(2)主图.jpg"));
    QVERIFY(!fs::exists(h.save_root.path() / "Window_8/主图/(3)主图.jpg"));
    QVERIFY(server.requests_to("/w/4.jpg").empty());
}

void JobWindowTest::an_empty_box_asks_for_an_address() {
    Harness h;
    h.tabs("选择夹1")->setCurrentIndex(1);
    h.button("按钮_开始下载")->click();
    const auto messages = h.dialogs.calls_of(RecordingDialogs::Kind::message_ok);
    QCOMPARE(messages.size(), std::size_t(1));
    QCOMPARE(messages[0].text, gbk("请输入网址"));
    QCOMPARE(messages[0].detail, gbk("信息："));
    QCOMPARE(h.tabs("选择夹1")->currentIndex(), 0);
    QCOMPARE(h.shown(), idle);
    QCOMPARE(h.log(), std::string());
    QVERIFY(!h.gate());
}

void JobWindowTest::a_whole_job_through_the_window() {
    vktest::TestServer server;
    const ServedItem taobao = serve_taobao(server, "a", "整 件", "31", 2);
    const ServedItem tmall = serve_tmall(server, "b", "天猫", "32", 1);
    Harness h;
    h.window->ops().set_text("编辑框_目标网址", taobao.line + "\r\nno marker here\r\n" + tmall.line + "\r\n");
    h.button("按钮_开始下载")->click();
    auto gate = h.gate();
    QTRY_VERIFY_WITH_TIMEOUT(gate->finished(), 30000);
    QCOMPARE(h.log(), started + recognised(taobao.line) + gbk("\r\n获取标题：整件 | 商品ID:31") +
                          main_picture(1, 2, taobao.urls[0]) + main_picture(2, 2, taobao.urls[1]) +
                          gbk("\r\nno marker here\r\n第2无法识别的网址\r\n") + recognised(tmall.line) +
                          gbk("\r\n获取标题：天猫 | 商品ID:32") + main_picture(1, 1, tmall.urls[0]) +
                          gbk("\r\n商品下载完毕！\r\n"));
    QCOMPARE(h.shown(), idle);
    QCOMPARE(read_bytes(h.save_root.path() / "整件_31/主图/(2)主图.jpg"), picture_bytes("a", 2));
    QCOMPARE(read_bytes(h.save_root.path() / "天猫_32/主图/(1)主图.jpg"), picture_bytes("b", 1));
    QVERIFY(fs::is_directory(h.save_root.path() / "天猫_32/描述图"));
}

void JobWindowTest::a_stop_mid_job_leaves_a_line_for_every_picture_on_disk() {
    // Many small pictures: the stop lands while the worker runs at full speed with texts on
    // their way to the window. The last picture is held so the job cannot end first.
    const int n = 300;
    vktest::TestServer server;
    const ServedItem item = serve_taobao(server, "q", "Quick", "6", n, n, vktest::TestServer::before_headers);
    Harness h;
    h.window->ops().set_text("编辑框_目标网址", item.line);
    h.button("按钮_开始下载")->click();
    auto gate = h.gate();
    QDeadlineTimer deadline(30000);
    while (h.log().find(main_picture(3, n, item.urls[2])) == std::string::npos && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    h.dialogs.answer_ok_cancel(true);
    h.button("按钮_结束下载")->click();
    server.release("/q/" + std::to_string(n) + ".jpg");
    QTRY_VERIFY_WITH_TIMEOUT(gate->finished(), 30000);

    const std::string log = h.log();
    QVERIFY(ends_with(log, gbk("执行了结束下载\r\n")));
    int files = 0;
    for (int i = 1; i <= n; ++i) {
        const fs::path file = h.save_root.path() / "Quick_6/主图" / ("(" + std::to_string(i) + ")主图.jpg");
        if (!fs::exists(file)) continue;
        ++files;
        QVERIFY2(log.find(main_picture(i, n, item.urls[i - 1])) != std::string::npos, file.c_str());
        QCOMPARE(read_bytes(file), picture_bytes("q", i));
    }
    QVERIFY(files >= 2 && files < n);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    JobWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "job_window_test.moc"
