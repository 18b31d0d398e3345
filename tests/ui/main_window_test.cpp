// The main window on the offscreen platform: layout, start-up, settings handlers, toolbar, window operations.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <atomic>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/test_dialogs.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
std::string g(const char* utf8) { return gbk(utf8); }

// Counts the update checks the window starts and remembers the thread of the last one.
struct CheckCounter {
    std::atomic<int> runs{0};
    std::atomic<std::thread::id> last_thread{};
};

// One window over a temporary run directory, answered by recording dialogs.
struct Harness {
    explicit Harness(const std::optional<std::string>& ini_bytes = std::nullopt) {
        if (ini_bytes) write_bytes(ini(), *ini_bytes);
        auto counter = checks;
        window = std::make_unique<MainWindow>(dir.gbk_path(), dialogs, [counter](WindowOps&) {
            counter->last_thread = std::this_thread::get_id();
            ++counter->runs;
        });
    }

    std::filesystem::path ini() const { return dir.path() / std::filesystem::u8path("配置.ini"); }
    std::string stored(const char* section, const char* key) const {
        return read_profile_string(dir.gbk_path() + g("\\配置.ini"), g(section), g(key), "<absent>");
    }
    template <class W = QWidget>
    W* find(const char* name) const {
        W* widget = window->findChild<W*>(u(name));
        if (!widget) qWarning("no control %s", name);
        return widget;
    }
    QTabWidget* tabs(const char* name) const { return find<QTabWidget>(name); }
    bool show() {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }

    TempDir dir;
    RecordingDialogs dialogs;
    std::shared_ptr<CheckCounter> checks = std::make_shared<CheckCounter>();
    std::unique_ptr<MainWindow> window;
};

struct ControlRow {
    const char* name;
    const char* kind;
    const char* parent;  // "window", a control name, or a tab control name with "/page"
    QRect geometry;
    const char* text;  // nullptr: checked elsewhere
    bool hidden;
};

// The layout of the window; positions on a tab page count from the tab control's corner.
const ControlRow control_rows[] = {
    {"标签6", "QLabel", "window", {-4, 50, 932, 16}, nullptr, false},
    {"工具条1", "QToolBar", "window", {8, -2, 934, 57}, nullptr, false},
    {"选择夹1", "QTabWidget", "window", {-2, 57, 923, 552}, nullptr, false},
    {"标签8", "QLabel", "选择夹1/0", {11, 31, 903, 24}, "下面输入网址： 每行一个网址中间不要留空(不推荐同时下载多个)", false},
    {"编辑框_目标网址", "QPlainTextEdit", "选择夹1/0", {10, 58, 904, 123}, "", false},
    {"分组框5", "QGroupBox", "选择夹1/0", {9, 178, 905, 108}, "", false},
    {"标签_保存路径", "QLabel", "分组框5", {8, 12, 112, 32}, "图片保存位置：", false},
    {"编辑框_保存位置", "QLineEdit", "分组框5", {122, 12, 426, 29}, nullptr, false},
    {"按钮_选择位置", "QPushButton", "分组框5", {556, 10, 91, 32}, "选择存放位置", false},
    {"按钮_打开目录", "QPushButton", "分组框5", {664, 10, 79, 32}, "打开目录", false},
    {"按钮_开始下载", "QPushButton", "分组框5", {24, 57, 72, 32}, "一键下载", false},
    {"按钮_继续下载", "QPushButton", "分组框5", {333, 64, 89, 32}, "继续下载", true},
    {"按钮_结束下载", "QPushButton", "分组框5", {465, 64, 64, 32}, "结束下载", true},
    {"按钮_暂停线程", "QPushButton", "分组框5", {333, 65, 89, 32}, "暂停下载", true},
    {"选择夹2", "QTabWidget", "选择夹1/0", {9, 289, 904, 231}, nullptr, false},
    {"标签2", "QLabel", "选择夹2/0", {16, 37, 696, 136}, nullptr, false},
    {"编辑框_操作记录", "QPlainTextEdit", "选择夹2/1", {10, 31, 886, 189}, "", false},
    {"分组框1", "QGroupBox", "选择夹1/1", {6, 40, 908, 192}, "", false},
    {"选择框_主图", "QCheckBox", "分组框1", {11, 16, 267, 24}, "下载主图", false},
    {"选择框_属性图", "QCheckBox", "分组框1", {9, 57, 267, 24}, "下载属性图（分类图）", false},
    {"选择框_描述图", "QCheckBox", "分组框1", {8, 95, 267, 24}, "下载描述图", false},
    {"选择框_文件夹名包含ID", "QCheckBox", "分组框1", {9, 138, 264, 24}, "文件夹名里包含商品ID", false},
    {"分组框2", "QGroupBox", "选择夹1/1", {10, 255, 904, 240}, "", false},
    {"标签_banbenjieguo", "QLabel", "分组框2", {8, 43, 160, 24}, "", false},
    {"标签21", "QLabel", "分组框2", {7, 84, 72, 40}, "当前版本：", false},
    {"标签_banben", "QLabel", "分组框2", {78, 84, 95, 40}, "1.0", false},
    {"标签_xinbanben1", "QLabel", "分组框2", {8, 132, 72, 40}, "最新版本：", false},
    {"标签_zxbanben", "QLabel", "分组框2", {79, 132, 95, 40}, "", false},
    {"按钮_检测更新", "QPushButton", "分组框2", {9, 179, 165, 40}, "检测程序是否有更新", false},
};

QString widget_text(QWidget* w) {
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->toPlainText();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* gb = qobject_cast<QGroupBox*>(w)) return gb->title();
    return {};
}

QToolButton* toolbar_button(Harness& h, int index) {
    auto* bar = h.find<QToolBar>("工具条1");
    return qobject_cast<QToolButton*>(bar->widgetForAction(bar->actions().at(index)));
}

// Runs `answer` on the next modal dialog once the dialog's own event loop shows it.
void answer_next_modal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
        }
    });
    poll->start(5);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void window_frame_and_caption();
    void controls_match_the_table();
    void tab_pages_and_start_pages();
    void toolbar_entries_and_font();
    void multi_line_colours();
    void start_up_restores_settings_data();
    void start_up_restores_settings();
    void start_up_without_file_creates_nothing();
    void check_box_clicks_write_the_file_data();
    void check_box_clicks_write_the_file();
    void picker_choose_and_cancel();
    void open_folder_uses_location_or_run_directory();
    void resize_changes_only_the_outer_tab_width();
    void toolbar_switches_pages_and_starts_one_check();
    void update_button_runs_check_on_window_thread();
    void ops_from_another_thread();
    void ops_job_buttons_data();
    void ops_job_buttons();
    void ops_nested_requests_act_directly();
    void ops_texts_survive_the_window();
    void qt_dialogs_message_boxes();
    void qt_dialogs_folder_picker();
    void closing_ends_the_process();
};

void MainWindowTest::window_frame_and_caption() {
    Harness h;
    QVERIFY(h.show());
    QCOMPARE(h.window->geometry(), QRect(50, 50, 936, 632));
    QCOMPARE(h.window->windowTitle(), u("2017Vesklar[支持主图、属性图、描述图] 版本V1.0"));
}

void MainWindowTest::controls_match_the_table() {
    Harness h;
    QVERIFY(h.show());
    for (const ControlRow& row : control_rows) {
        QWidget* w = h.find(row.name);
        QVERIFY2(w, row.name);
        QVERIFY2(w->inherits(row.kind), row.name);
        QCOMPARE(w->isHidden(), row.hidden);

        QString parent = u(row.parent);
        QWidget* origin = nullptr;
        if (parent == u("window")) {
            QCOMPARE(w->parentWidget(), h.window.get());
            origin = h.window.get();
        } else if (parent.contains('/')) {
            QTabWidget* tabs = h.tabs(parent.section('/', 0, 0).toUtf8().constData());
            int page = parent.section('/', 1).toInt();
            // Bring the page forward (and the outer page holding 选择夹2) so it is laid out.
            h.tabs("选择夹1")->setCurrentIndex(tabs == h.tabs("选择夹2") ? 0 : page);
            tabs->setCurrentIndex(page);
            QCOMPARE(w->parentWidget(), tabs->widget(page));
            QVERIFY2(w->isVisible(), row.name);
            origin = tabs;
        } else {
            origin = h.find(row.parent);
            QCOMPARE(w->parentWidget(), origin);
        }
        QRect placed(w->mapTo(origin, QPoint(0, 0)), w->size());
        if (origin == h.window.get()) placed = w->geometry();
        QVERIFY2(placed == row.geometry, qPrintable(u(row.name) + u(" at ") + QString("%1,%2 %3x%4")
                                                        .arg(placed.x()).arg(placed.y())
                                                        .arg(placed.width()).arg(placed.height())));
        if (row.text) QCOMPARE(widget_text(w), u(row.text));
        // Labels never read their text as markup.
        if (auto* label = qobject_cast<QLabel*>(w)) QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    QString rule = widget_text(h.find("标签6"));
    QVERIFY(!rule.isEmpty());
    QCOMPARE(rule, QString(rule.size(), '_'));
    QVERIFY(!widget_text(h.find("标签2")).trimmed().isEmpty());
    QCOMPARE(widget_text(h.find("编辑框_保存位置")), QString::fromStdString(h.dir.path().string()));
}

void MainWindowTest::tab_pages_and_start_pages() {
    Harness h;
    QTabWidget* outer = h.tabs("选择夹1");
    QTabWidget* inner = h.tabs("选择夹2");
    QCOMPARE(outer->count(), 2);
    QCOMPARE(outer->tabText(0), u("  第一步：网址  "));
    QCOMPARE(outer->tabText(1), u("设置   "));
    QCOMPARE(inner->count(), 2);
    QCOMPARE(inner->tabText(0), u("使用说明"));
    QCOMPARE(inner->tabText(1), u("运行日志"));
    QCOMPARE(outer->currentIndex(), 0);
    QCOMPARE(inner->currentIndex(), 0);
}

void MainWindowTest::toolbar_entries_and_font() {
    Harness h;
    auto* bar = h.find<QToolBar>("工具条1");
    const auto actions = bar->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), u("首页"));
    QVERIFY(actions[1]->isSeparator());
    QCOMPARE(actions[2]->text(), u("设置"));
    for (int i : {0, 2}) {
        QVERIFY(!actions[i]->icon().isNull());
        QVERIFY(actions[i]->icon().availableSizes().contains(QSize(50, 50)));
    }
    QCOMPARE(bar->iconSize(), QSize(50, 50));
    QFont font = bar->font();
    QCOMPARE(font.pixelSize(), 16);
    QCOMPARE(font.families().value(0), u("微软雅黑"));
    QCOMPARE(font.weight(), QFont::Normal);
    // Whatever family it resolves to must draw simplified Chinese.
    QString resolved = QFontInfo(font).family();
    QVERIFY2(QFontDatabase::writingSystems(resolved).contains(QFontDatabase::SimplifiedChinese), qPrintable(resolved));
}

void MainWindowTest::multi_line_colours() {
    Harness h;
    auto* addresses = h.find<QPlainTextEdit>("编辑框_目标网址");
    auto* log = h.find<QPlainTextEdit>("编辑框_操作记录");
    QCOMPARE(addresses->palette().color(QPalette::Text), QColor(Qt::black));
    QCOMPARE(addresses->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(log->palette().color(QPalette::Text), QColor(128, 224, 0));
    QCOMPARE(log->palette().color(QPalette::Base), QColor(Qt::black));
    QVERIFY(!log->isReadOnly());
    QCOMPARE(addresses->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void MainWindowTest::start_up_restores_settings_data() {
    QTest::addColumn<QByteArray>("ini");  // UTF-8; written as GBK
    QTest::addColumn<QString>("location");  // "" means the run directory
    QTest::addColumn<QList<bool>>("boxes");
    QTest::newRow("empty file") << QByteArray("") << QString() << QList<bool>{true, true, true, true};
    QTest::newRow("all false") << QByteArray("[下载模式]\r\n主图=假\r\n属性图=假\r\n描述图=假\r\n文件夹名包含ID=假\r\n")
                               << QString() << QList<bool>{false, false, false, false};
    QTest::newRow("english false") << QByteArray("[下载模式]\r\n描述图=false\r\n属性图=假\r\n") << QString()
                                   << QList<bool>{true, false, true, true};
    QTest::newRow("other texts") << QByteArray("[下载模式]\r\n主图=\r\n描述图=0\r\n文件夹名包含ID=假 假\r\n")
                                 << QString() << QList<bool>{true, true, true, true};
    QTest::newRow("quoted and blanks") << QByteArray("[ 下载模式 ]\r\n 主图 = \"假\" \r\n") << QString()
                                       << QList<bool>{false, true, true, true};
    QTest::newRow("save location") << QByteArray("[全局设置]\r\n保存位置=/data/图片\r\n") << u("/data/图片")
                                   << QList<bool>{true, true, true, true};
    QTest::newRow("empty save location") << QByteArray("[全局设置]\r\n保存位置=\r\n") << QString()
                                         << QList<bool>{true, true, true, true};
}

void MainWindowTest::start_up_restores_settings() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, location);
    QFETCH(QList<bool>, boxes);
    Harness h(g(ini.constData()));
    QString expected_location = location.isEmpty() ? QString::fromStdString(h.dir.path().string()) : location;
    QCOMPARE(h.find<QLineEdit>("编辑框_保存位置")->text(), expected_location);
    const char* names[] = {"选择框_主图", "选择框_属性图", "选择框_描述图", "选择框_文件夹名包含ID"};
    for (int i = 0; i < 4; ++i) QCOMPARE(h.find<QCheckBox>(names[i])->isChecked(), boxes[i]);
    // Restoring only reads.
    QCOMPARE(read_bytes(h.ini()), g(ini.constData()));
}

void MainWindowTest::start_up_without_file_creates_nothing() {
    Harness h;
    QVERIFY(h.show());
    QCOMPARE(h.find<QLineEdit>("编辑框_保存位置")->text(), QString::fromStdString(h.dir.path().string()));
    for (const char* name : {"选择框_主图", "选择框_属性图", "选择框_描述图", "选择框_文件夹名包含ID"}) {
        QVERIFY2(h.find<QCheckBox>(name)->isChecked(), name);
    }
    QCOMPARE(h.find<QLabel>("标签_banben")->text(), u("1.0"));
    QVERIFY(h.window->windowTitle().endsWith(u(" 版本V1.0")));
    QVERIFY(std::filesystem::is_empty(h.dir.path()));
    QCOMPARE(h.window->values().settings_path, h.dir.gbk_path() + g("\\配置.ini"));
    QCOMPARE(h.window->values().update_key, std::string("taobao"));
    QCOMPARE(h.window->values().update_check_started, false);
}

void MainWindowTest::check_box_clicks_write_the_file_data() {
    QTest::addColumn<QByteArray>("control");
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("主图") << QByteArray("选择框_主图") << QByteArray("主图");
    QTest::newRow("属性图") << QByteArray("选择框_属性图") << QByteArray("属性图");
    QTest::newRow("描述图") << QByteArray("选择框_描述图") << QByteArray("描述图");
    QTest::newRow("文件夹名包含ID") << QByteArray("选择框_文件夹名包含ID") << QByteArray("文件夹名包含ID");
}

void MainWindowTest::check_box_clicks_write_the_file() {
    QFETCH(QByteArray, control);
    QFETCH(QByteArray, key);
    Harness h;
    QVERIFY(h.show());
    h.tabs("选择夹1")->setCurrentIndex(1);
    auto* box = h.find<QCheckBox>(control.constData());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QVERIFY(!box->isChecked());
    QCOMPARE(h.stored("下载模式", key.constData()), g("假"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    QVERIFY(box->isChecked());
    QCOMPARE(h.stored("下载模式", key.constData()), g("真"));
    // Only this key was written.
    QCOMPARE(read_bytes(h.ini()), g("[下载模式]\r\n") + g(key.constData()) + g("=真\r\n"));
}

void MainWindowTest::picker_choose_and_cancel() {
    Harness h(g("[全局设置]\r\n保存位置=/old/位置\r\n"));
    QVERIFY(h.show());
    auto* choose = h.find<QPushButton>("按钮_选择位置");
    auto* location = h.find<QLineEdit>("编辑框_保存位置");
    QCOMPARE(location->text(), u("/old/位置"));

    h.dialogs.answer_folder(g("/srv/相册"));
    QTest::mouseClick(choose, Qt::LeftButton);
    QCOMPARE(location->text(), u("/srv/相册"));
    QCOMPARE(h.stored("全局设置", "保存位置"), g("/srv/相册"));

    QTest::mouseClick(choose, Qt::LeftButton);  // nothing queued: the user cancels
    QCOMPARE(location->text(), QString::fromStdString(h.dir.path().string()));
    QCOMPARE(h.stored("全局设置", "保存位置"), h.dir.gbk_path());

    // A folder whose name ends in a full-width blank is kept as chosen.
    h.dialogs.answer_folder(g("/srv/相册　"));
    QTest::mouseClick(choose, Qt::LeftButton);
    QCOMPARE(location->text(), u("/srv/相册　"));
    QCOMPARE(h.stored("全局设置", "保存位置"), g("/srv/相册　"));

    auto picks = h.dialogs.calls_of(RecordingDialogs::Kind::pick_folder);
    QCOMPARE(picks.size(), std::size_t(3));
    for (const auto& call : picks) {
        QCOMPARE(call.text, g("选择相册的存放位置"));
        QCOMPARE(call.detail, std::string("/"));  // the root, whatever the location was
    }
    QCOMPARE(h.window->values().picker_start_folder, std::string("/"));
}

void MainWindowTest::open_folder_uses_location_or_run_directory() {
    Harness h;
    QVERIFY(h.show());
    auto* open = h.find<QPushButton>("按钮_打开目录");
    auto* location = h.find<QLineEdit>("编辑框_保存位置");
    location->clear();
    QTest::mouseClick(open, Qt::LeftButton);
    QVERIFY(location->text().isEmpty());
    location->setText(u("/srv/相册"));
    QTest::mouseClick(open, Qt::LeftButton);
    auto opened = h.dialogs.calls_of(RecordingDialogs::Kind::open_folder);
    QCOMPARE(opened.size(), std::size_t(2));
    QCOMPARE(opened[0].text, h.dir.gbk_path());
    QCOMPARE(opened[1].text, g("/srv/相册"));
    QVERIFY(std::filesystem::is_empty(h.dir.path()));
}

void MainWindowTest::resize_changes_only_the_outer_tab_width() {
    Harness h;
    QVERIFY(h.show());
    QList<QRect> before;
    QList<QWidget*> others;
    for (const ControlRow& row : control_rows) {
        if (u(row.name) == u("选择夹1")) continue;
        others << h.find(row.name);
        before << others.back()->geometry();
    }
    h.window->resize(800, 632);
    QCOMPARE(h.window->width(), 800);
    QCOMPARE(h.tabs("选择夹1")->geometry(), QRect(-2, 57, 790, 552));
    for (int i = 0; i < others.size(); ++i) QCOMPARE(others[i]->geometry(), before[i]);
    h.window->resize(1000, 700);
    QCOMPARE(h.tabs("选择夹1")->geometry(), QRect(-2, 57, 990, 552));
}

void MainWindowTest::toolbar_switches_pages_and_starts_one_check() {
    Harness h;
    QVERIFY(h.show());
    QTabWidget* outer = h.tabs("选择夹1");
    QTest::mouseClick(toolbar_button(h, 2), Qt::LeftButton);
    QCOMPARE(outer->currentIndex(), 1);
    QVERIFY(h.window->values().update_check_started);
    QTRY_COMPARE(h.checks->runs.load(), 1);
    QVERIFY(h.checks->last_thread.load() != std::this_thread::get_id());

    QTest::mouseClick(toolbar_button(h, 0), Qt::LeftButton);
    QCOMPARE(outer->currentIndex(), 0);
    QTest::mouseClick(toolbar_button(h, 2), Qt::LeftButton);
    QCOMPARE(outer->currentIndex(), 1);
    h.window->toolbar_clicked(1);  // the separator, and unknown indexes, do nothing
    h.window->toolbar_clicked(7);
    QCOMPARE(outer->currentIndex(), 1);
    // A second check would have been started by the press itself; give it a moment to show.
    QTest::qWait(100);
    QCOMPARE(h.checks->runs.load(), 1);
}

void MainWindowTest::update_button_runs_check_on_window_thread() {
    Harness h;
    QVERIFY(h.show());
    h.tabs("选择夹1")->setCurrentIndex(1);
    for (int i = 1; i <= 2; ++i) {
        QTest::mouseClick(h.find<QPushButton>("按钮_检测更新"), Qt::LeftButton);
        QCOMPARE(h.checks->runs.load(), i);
        QCOMPARE(h.checks->last_thread.load(), std::this_thread::get_id());
    }
    QVERIFY(!h.window->values().update_check_started);
}

void MainWindowTest::ops_from_another_thread() {
    Harness h;
    QVERIFY(h.show());
    h.find<QPlainTextEdit>("编辑框_目标网址")->setPlainText(u("http://a/1\nhttp://b/2"));
    h.dialogs.answer_ok_cancel(true);
    WindowOps& ops = h.window->ops();

    struct Seen {
        std::string addresses, location, log;
        bool main_box = false, description_box = true;
        std::string label;
    } seen;
    std::string big(4000, 'x');
    auto worker = std::async(std::launch::async, [&] {
        seen.addresses = ops.text("编辑框_目标网址");
        seen.location = ops.text("编辑框_保存位置");
        ops.append_log(g("\r\n获取商品：http://a/1"));
        ops.append_log(g("，耐心等待\r\n"));
        for (int i = 0; i < 200; ++i) ops.append_log(big + "\r\n");
        ops.append_log(g("完毕"));
        ops.set_text("标签_zxbanben", g("2.0"));
        seen.label = ops.text("标签_zxbanben");
        seen.main_box = ops.checked("选择框_主图");
        ops.select_page("选择夹2", 1);
        ops.message_box(g("有新版本"), "");
        seen.log = ops.text("编辑框_操作记录");
    });
    QTRY_VERIFY(worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    worker.get();

    QCOMPARE(seen.addresses, std::string("http://a/1\r\nhttp://b/2"));
    QCOMPARE(seen.location, h.dir.gbk_path());
    QVERIFY(seen.main_box);
    QCOMPARE(seen.label, std::string("2.0"));
    QCOMPARE(h.find<QLabel>("标签_zxbanben")->text(), u("2.0"));
    QCOMPARE(h.tabs("选择夹2")->currentIndex(), 1);

    std::string expected_log = g("\r\n获取商品：http://a/1，耐心等待\r\n");
    for (int i = 0; i < 200; ++i) expected_log += big + "\r\n";
    expected_log += g("完毕");
    QCOMPARE(seen.log, expected_log);
    auto* log = h.find<QPlainTextEdit>("编辑框_操作记录");
    QCOMPARE(log->blockCount(), 203);
    QCOMPARE(log->document()->findBlockByNumber(1).text(), u("获取商品：http://a/1，耐心等待"));
    QCOMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    QVERIFY(log->verticalScrollBar()->maximum() > 0);

    auto boxes = h.dialogs.calls_of(RecordingDialogs::Kind::message_ok);
    QCOMPARE(boxes.size(), std::size_t(1));
    QCOMPARE(boxes[0].text, g("有新版本"));
}

void MainWindowTest::ops_job_buttons_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<QList<bool>>("shown");  // 开始, 暂停, 继续, 结束
    QTest::newRow("running") << int(JobButtons::running) << QList<bool>{false, true, false, true};
    QTest::newRow("paused") << int(JobButtons::paused) << QList<bool>{false, false, true, true};
    QTest::newRow("idle") << int(JobButtons::idle) << QList<bool>{true, false, false, false};
}

void MainWindowTest::ops_job_buttons() {
    QFETCH(int, state);
    QFETCH(QList<bool>, shown);
    Harness h;
    QVERIFY(h.show());
    // Start from a state unlike the target, then switch from a worker thread.
    h.window->ops().set_job_buttons(JobButtons(state) == JobButtons::idle ? JobButtons::paused : JobButtons::idle);
    auto worker = std::async(std::launch::async, [&] { h.window->ops().set_job_buttons(JobButtons(state)); });
    QTRY_VERIFY(worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    const char* names[] = {"按钮_开始下载", "按钮_暂停线程", "按钮_继续下载", "按钮_结束下载"};
    for (int i = 0; i < 4; ++i) QCOMPARE(h.find(names[i])->isVisible(), shown[i]);
}

void MainWindowTest::ops_nested_requests_act_directly() {
    Harness h;
    QVERIFY(h.show());
    WindowOps& ops = h.window->ops();
    std::thread::id inside;
    auto worker = std::async(std::launch::async, [&] {
        ops.run_on_window([&] {
            inside = std::this_thread::get_id();
            if (ops.checked("选择框_主图")) ops.append_log(g("主图\r\n"));
            ops.set_text("编辑框_保存位置", ops.text("编辑框_保存位置") + g("/子"));
        });
    });
    QTRY_VERIFY(worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready);
    QCOMPARE(inside, std::this_thread::get_id());
    QCOMPARE(h.find<QPlainTextEdit>("编辑框_操作记录")->toPlainText(), u("主图\n"));
    QCOMPARE(h.find<QLineEdit>("编辑框_保存位置")->text(), QString::fromStdString(h.dir.path().string()) + u("/子"));
}

void MainWindowTest::ops_texts_survive_the_window() {
    Harness h;
    WindowOps& ops = h.window->ops();
    // GBK with a user-defined character (AA A1) and a character whose trail byte is "\\".
    const std::string text = g("图片") + "\xAA\xA1" + g("誠") + "a\\b";
    for (const char* name : {"编辑框_保存位置", "标签_zxbanben", "编辑框_目标网址"}) {
        ops.set_text(name, text);
        QCOMPARE(ops.text(name), text);
    }
    // Bytes that are no GBK at all come back as something, never as a crash.
    ops.set_text("编辑框_保存位置", "\xFF\x81");
    QVERIFY(!ops.text("编辑框_保存位置").empty());
    ops.set_text("编辑框_目标网址", g("甲\r\n乙\r\n"));
    QCOMPARE(h.find<QPlainTextEdit>("编辑框_目标网址")->blockCount(), 3);
    QCOMPARE(ops.text("编辑框_目标网址"), g("甲\r\n乙\r\n"));
}

void MainWindowTest::qt_dialogs_message_boxes() {
    QtDialogs dialogs;
    struct Row {
        std::string caption;
        QString shown_caption;
        QMessageBox::StandardButton press;
        bool expected;
    };
    const Row rows[] = {{"", u("信息："), QMessageBox::Ok, true},
                        {g("确认"), u("确认"), QMessageBox::Cancel, false},
                        {g("确认"), u("确认"), QMessageBox::Ok, true}};
    for (const Row& row : rows) {
        QString title, text;
        int buttons = 0;
        answer_next_modal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            buttons = static_cast<int>(box->standardButtons());
            box->button(row.press)->click();
        });
        bool ok = dialogs.message_ok_cancel(g("确定要结束下载吗？"), row.caption);
        QCOMPARE(ok, row.expected);
        QCOMPARE(title, row.shown_caption);
        QCOMPARE(text, u("确定要结束下载吗？"));
        QCOMPARE(buttons, int(QMessageBox::Ok | QMessageBox::Cancel));
    }
    QString title;
    int buttons = 0;
    answer_next_modal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        buttons = static_cast<int>(box->standardButtons());
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message_ok(g("有新版本"), "");
    QCOMPARE(title, u("信息："));
    QCOMPARE(buttons, int(QMessageBox::Ok));
}

void MainWindowTest::qt_dialogs_folder_picker() {
    TempDir dir;
    std::filesystem::path chosen = dir.path() / std::filesystem::u8path("相册");
    std::filesystem::create_directory(chosen);
    QtDialogs dialogs;
    QString title, start;
    answer_next_modal([&](QWidget* modal) {
        auto* picker = qobject_cast<QFileDialog*>(modal);
        QVERIFY(picker);
        title = picker->windowTitle();
        start = picker->directory().absolutePath();
        picker->setDirectory(QString::fromStdString(chosen.string()));
        static_cast<QDialog*>(picker)->accept();  // QFileDialog::accept, through the public slot
    });
    QCOMPARE(dialogs.pick_folder(g("选择相册的存放位置"), "/"), utf8_to_gbk(chosen.string()));
    QCOMPARE(title, u("选择相册的存放位置"));
    QCOMPARE(start, u("/"));

    answer_next_modal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QCOMPARE(dialogs.pick_folder(g("选择相册的存放位置"), "/"), std::string());
}

// The child half: a window whose close must end the process while a thread is still busy.
static int close_child() {
    TempDir dir;
    RecordingDialogs dialogs;
    MainWindow window(dir.gbk_path(), dialogs, nullptr);
    end_process_when_closed(window);
    std::promise<void> never;
    // A joinable thread that never ends: a normal return from main would abort on it.
    std::thread busy([f = never.get_future()]() mutable { f.wait(); });
    window.show();
    QTimer::singleShot(0, &window, [&] { window.close(); });
    QApplication::exec();
    return 3;  // reached only if closing did not end the process
}

void MainWindowTest::closing_ends_the_process() {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--close-child"});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--close-child") return close_child();
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
