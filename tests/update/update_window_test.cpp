// The update check on the real main window (offscreen): the button on the window thread, the
// toolbar's one check on a thread of its own.
#include <QAbstractButton>
#include <QApplication>
#include <QtTest>

#include <memory>

#include "build_config.h"
#include "core/update_check.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "ui/main_window.h"
#include "ui/test_dialogs.h"

namespace {

const char* const page_path = "/download/softzuixinv/index.html";

QString label(MainWindow& window, const char* name) {
    return QString::fromUtf8(gbk_to_utf8(window.ops().text(name)));
}

}  // namespace

class UpdateWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        server = std::make_unique<vktest::TestServer>();
        run_dir = std::make_unique<TempDir>();
        dialogs = std::make_unique<RecordingDialogs>();
        std::string url = server->http_url(page_path);
        window = std::make_unique<MainWindow>(run_dir->gbk_path(), *dialogs,
                                              [url](WindowOps& ops) { update_check(ops, url); });
        window->show();
    }
    void cleanup() {
        window.reset();
        server.reset();
    }

    void button_checks_on_every_press() {
        QCOMPARE(label(*window, "标签_banben"), QString("1.0"));
        auto* button = window->findChild<QAbstractButton*>(QString::fromUtf8("按钮_检测更新"));
        QVERIFY(button != nullptr);

        server->serve(page_path, "#taobao@@1.0#taobao");
        button->click();
        QCOMPARE(label(*window, "标签_zxbanben"), QString("1.0"));
        QCOMPARE(label(*window, "标签_banbenjieguo"), QString::fromUtf8("无需更新"));
        QVERIFY(dialogs->calls_of(RecordingDialogs::Kind::message_ok).empty());

        server->serve(page_path, "#taobao@@1.1#taobao");
        button->click();
        QCOMPARE(label(*window, "标签_zxbanben"), QString("1.1"));
        QCOMPARE(label(*window, "标签_banbenjieguo"), QString::fromUtf8("有新版，联系客服获取最新版！"));
        auto messages = dialogs->calls_of(RecordingDialogs::Kind::message_ok);
        QCOMPARE(messages.size(), std::size_t{1});
        QCOMPARE(messages[0].detail, gbk("信息："));
        QCOMPARE(server->requests_to(page_path).size(), std::size_t{2});
    }

    void toolbar_first_press_checks_on_its_own_thread() {
        server->serve(page_path, "#taobao@@1.1#taobao");
        window->toolbar_clicked(2);
        QTRY_COMPARE(label(*window, "标签_banbenjieguo"), QString::fromUtf8("有新版，联系客服获取最新版！"));
        QCOMPARE(label(*window, "标签_zxbanben"), QString("1.1"));
        QTRY_COMPARE(dialogs->calls_of(RecordingDialogs::Kind::message_ok).size(), std::size_t{1});
        QCOMPARE(dialogs->calls_of(RecordingDialogs::Kind::message_ok)[0].text,
                 gbk("有新版本，访问") + VESKLAR_WEBSITE_URL + gbk("去下载或者联系客服索取"));
    }

private:
    std::unique_ptr<vktest::TestServer> server;
    std::unique_ptr<TempDir> run_dir;
    std::unique_ptr<RecordingDialogs> dialogs;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(UpdateWindowTest)
#include "update_window_test.moc"
