// The main window: layout of the controls, start-up, the settings handlers, the folder buttons and the toolbar.
#include "ui/main_window.h"

#include <cstdlib>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolBar>

#include "platform/codepage.h"
#include "ui/qt_text.h"
#include "ui/qt_window_ops.h"

namespace {

QString text_of(const char* utf8) { return QString::fromUtf8(utf8); }

// Font families for the window: the platform's UI font first, then installed CJK fonts.
QStringList cjk_families() {
    return {text_of("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Micro Hei")};
}

QFont cjk_font(int pixels) {
    QFont font;
    font.setFamilies(cjk_families());
    font.setPixelSize(pixels);
    font.setWeight(QFont::Normal);
    return font;
}

// A tab control whose page children are placed relative to the tab control's own top-left
// corner, wherever the style puts the page area.
class TabControl : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

    void place(QWidget* child, QPoint from_tab_corner) {
        placed_.push_back({child, from_tab_corner});
        reposition();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QTabWidget::resizeEvent(event);
        reposition();
    }
    void showEvent(QShowEvent* event) override {
        QTabWidget::showEvent(event);
        reposition();
    }

private:
    void reposition() {
        if (count() == 0) return;
        QWidget* stack = widget(0)->parentWidget();
        QPoint page_origin = stack->geometry().topLeft() + stack->contentsRect().topLeft();
        for (auto& [child, pos] : placed_) child->move(pos - page_origin);
    }

    std::vector<std::pair<QWidget*, QPoint>> placed_;
};

template <class W>
W* make(QWidget* parent, const char* name, QRect geometry) {
    auto* widget = new W(parent);
    widget->setObjectName(text_of(name));
    widget->setGeometry(geometry);
    return widget;
}

// A widget on a page of `tabs`, positioned from the tab control's corner.
template <class W>
W* make_on_page(TabControl* tabs, int page, const char* name, QRect geometry) {
    W* widget = make<W>(tabs->widget(page), name, geometry);
    tabs->place(widget, geometry.topLeft());
    return widget;
}

// Labels show their text as it is: a version cut from a web page may hold markup.
QLabel* plain(QLabel* label) {
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* make_label(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* label = plain(make<QLabel>(parent, name, geometry));
    label->setText(text_of(text));
    return label;
}

QPushButton* make_button(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* button = make<QPushButton>(parent, name, geometry);
    button->setText(text_of(text));
    return button;
}

QCheckBox* make_check_box(QWidget* parent, const char* name, QRect geometry, const char* text) {
    auto* box = make<QCheckBox>(parent, name, geometry);
    box->setText(text_of(text));
    return box;
}

void set_colours(QPlainTextEdit* edit, QColor text, QColor background) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, background);
    edit->setPalette(palette);
}

// A multi-line edit box with a vertical scroll bar; long lines wrap.
QPlainTextEdit* make_multi_line(TabControl* tabs, int page, const char* name, QRect geometry) {
    auto* edit = make_on_page<QPlainTextEdit>(tabs, page, name, geometry);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return edit;
}

// The toolbar pictures, 50 x 50, drawn here: a house for 首页 and a gear for 设置.
QPixmap home_picture() {
    QPixmap pixmap(50, 50);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath roof;
    roof.moveTo(25, 6);
    roof.lineTo(45, 24);
    roof.lineTo(5, 24);
    roof.closeSubpath();
    p.fillPath(roof, QColor(0xd9, 0x48, 0x2b));
    p.fillRect(QRect(11, 24, 28, 20), QColor(0x2f, 0x7d, 0xd1));
    p.fillRect(QRect(21, 31, 9, 13), QColor(0xf5, 0xf5, 0xf5));
    p.fillRect(QRect(33, 9, 5, 10), QColor(0x6b, 0x6b, 0x6b));
    return pixmap;
}

QPixmap settings_picture() {
    QPixmap pixmap(50, 50);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(25, 25);
    QColor steel(0x4a, 0x5d, 0x73);
    p.setPen(Qt::NoPen);
    p.setBrush(steel);
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-4.5, -22, 9, 12), 2, 2);
        p.rotate(45);
    }
    p.drawEllipse(QPointF(0, 0), 15, 15);
    p.setBrush(QColor(0xf0, 0xf0, 0xf0));
    p.drawEllipse(QPointF(0, 0), 6.5, 6.5);
    return pixmap;
}

void scroll_to_end(QPlainTextEdit* edit) {
    edit->ensureCursorVisible();
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
}

// Scrolls the run log to its end once it is shown: a log filled while its page was hidden
// has not been laid out for its real size.
class EndFollower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* edit = static_cast<QPlainTextEdit*>(watched);
            QMetaObject::invokeMethod(edit, [edit] { scroll_to_end(edit); }, Qt::QueuedConnection);
        }
        return false;
    }
};

// A row of underscores wide enough for the rule under the toolbar.
QString underscore_rule() { return QString(160, QLatin1Char('_')); }

const char* usage_notes =
    "使用方法：\n"
    "1. 把淘宝或天猫的商品网址粘贴到上面的框里，每行一个网址。\n"
    "2. 点“选择存放位置”选好图片保存的文件夹，不选则保存在程序所在的文件夹。\n"
    "3. 点“一键下载”。每个商品一个文件夹，里面分主图、属性图、描述图三个子文件夹。\n"
    "4. 下载的图片种类和文件夹名是否带商品ID，可以在“设置”页里选择。\n"
    "5. 下载过程显示在“运行日志”里，可以随时暂停、继续或结束。";

}  // namespace

MainWindow::MainWindow(std::string run_dir, Dialogs& dialogs, UpdateCheck update_check, QWidget* parent)
    : QWidget(parent), run_dir_(std::move(run_dir)), dialogs_(dialogs), update_check_(std::move(update_check)) {
    build_controls();
    ops_ = std::make_unique<QtWindowOps>(*this, dialogs_);
    start_up();
}

MainWindow::~MainWindow() = default;

WindowOps& MainWindow::ops() { return *ops_; }

Dialogs& MainWindow::dialogs() { return dialogs_; }

void MainWindow::build_controls() {
    setGeometry(50, 50, 936, 632);
    setWindowTitle(from_gbk(form_caption()));
    setFont(cjk_font(12));
    setWindowIcon(QIcon(home_picture()));

    make_label(this, "标签6", {-4, 50, 932, 16}, "")->setText(underscore_rule());

    auto* toolbar = make<QToolBar>(this, "工具条1", {8, -2, 934, 57});
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setIconSize(QSize(50, 50));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setFont(cjk_font(16));
    toolbar->addAction(QIcon(home_picture()), text_of("首页"));
    toolbar->addSeparator();
    toolbar->addAction(QIcon(settings_picture()), text_of("设置"));
    connect(toolbar, &QToolBar::actionTriggered, this,
            [this, toolbar](QAction* action) { toolbar_clicked(static_cast<int>(toolbar->actions().indexOf(action))); });

    auto* tabs1 = make<TabControl>(this, "选择夹1", {-2, 57, 923, 552});
    tabs_ = tabs1;
    tabs1->addTab(new QWidget, text_of("  第一步：网址  "));
    tabs1->addTab(new QWidget, text_of("设置   "));

    // Page 0: the addresses, the save group and the inner tab control.
    plain(make_on_page<QLabel>(tabs1, 0, "标签8", {11, 31, 903, 24}))
        ->setText(text_of("下面输入网址： 每行一个网址中间不要留空(不推荐同时下载多个)"));
    auto* addresses = make_multi_line(tabs1, 0, "编辑框_目标网址", {10, 58, 904, 123});
    set_colours(addresses, Qt::black, Qt::white);

    auto* save_group = make_on_page<QGroupBox>(tabs1, 0, "分组框5", {9, 178, 905, 108});
    make_label(save_group, "标签_保存路径", {8, 12, 112, 32}, "图片保存位置：");
    make<QLineEdit>(save_group, "编辑框_保存位置", {122, 12, 426, 29});
    auto* choose = make_button(save_group, "按钮_选择位置", {556, 10, 91, 32}, "选择存放位置");
    auto* open = make_button(save_group, "按钮_打开目录", {664, 10, 79, 32}, "打开目录");
    make_button(save_group, "按钮_开始下载", {24, 57, 72, 32}, "一键下载");
    make_button(save_group, "按钮_继续下载", {333, 64, 89, 32}, "继续下载")->hide();
    make_button(save_group, "按钮_结束下载", {465, 64, 64, 32}, "结束下载")->hide();
    make_button(save_group, "按钮_暂停线程", {333, 65, 89, 32}, "暂停下载")->hide();
    connect(choose, &QPushButton::clicked, this, [this] { choose_location_clicked(); });
    connect(open, &QPushButton::clicked, this, [this] { open_folder_clicked(); });

    auto* tabs2 = make_on_page<TabControl>(tabs1, 0, "选择夹2", {9, 289, 904, 231});
    tabs2->addTab(new QWidget, text_of("使用说明"));
    tabs2->addTab(new QWidget, text_of("运行日志"));
    auto* notes = plain(make_on_page<QLabel>(tabs2, 0, "标签2", {16, 37, 696, 136}));
    notes->setText(text_of(usage_notes));
    notes->setWordWrap(true);
    notes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* log = make_multi_line(tabs2, 1, "编辑框_操作记录", {10, 31, 886, 189});
    // The log only grows; an undo history of it would double its memory.
    log->setUndoRedoEnabled(false);
    log->installEventFilter(new EndFollower(log));
    set_colours(log, QColor(128, 224, 0), Qt::black);

    // Page 1: the download settings and the update check.
    auto* settings_group = make_on_page<QGroupBox>(tabs1, 1, "分组框1", {6, 40, 908, 192});
    const QRect box_geometry[] = {{11, 16, 267, 24}, {9, 57, 267, 24}, {8, 95, 267, 24}, {9, 138, 264, 24}};
    const char* box_text[] = {"下载主图", "下载属性图（分类图）", "下载描述图", "文件夹名里包含商品ID"};
    for (std::size_t i = 0; i < std::size(check_box_settings); ++i) {
        const CheckBoxSetting& setting = check_box_settings[i];
        auto* box = make_check_box(settings_group, setting.control, box_geometry[i], box_text[i]);
        connect(box, &QCheckBox::clicked, this, [this, &setting](bool checked) { check_box_clicked(setting, checked); });
    }

    auto* update_group = make_on_page<QGroupBox>(tabs1, 1, "分组框2", {10, 255, 904, 240});
    make_label(update_group, "标签_banbenjieguo", {8, 43, 160, 24}, "");
    make_label(update_group, "标签21", {7, 84, 72, 40}, "当前版本：");
    make_label(update_group, "标签_banben", {78, 84, 95, 40}, "");
    make_label(update_group, "标签_xinbanben1", {8, 132, 72, 40}, "最新版本：");
    make_label(update_group, "标签_zxbanben", {79, 132, 95, 40}, "");
    auto* check = make_button(update_group, "按钮_检测更新", {9, 179, 165, 40}, "检测程序是否有更新");
    connect(check, &QPushButton::clicked, this, [this] { update_button_clicked(); });
}

void MainWindow::start_up() {
    values_ = start_program_values(run_dir_);
    ops_->set_text("标签_banben", values_.program_version);
    ops_->set_text("编辑框_保存位置", restored_save_location(values_.settings_path, run_dir_));
    for (const CheckBoxSetting& setting : check_box_settings) {
        if (auto* box = findChild<QCheckBox*>(text_of(setting.control))) {
            box->setChecked(restored_check_box(values_.settings_path, setting.key));
        }
    }
    QCoreApplication::processEvents();
    setWindowTitle(windowTitle() + from_gbk(version_caption_suffix(values_.program_version)));
}

void MainWindow::check_box_clicked(const CheckBoxSetting& setting, bool checked) {
    store_check_box(values_.settings_path, setting.key, checked);
}

void MainWindow::choose_location_clicked() {
    values_.picker_start_folder = picker_root_folder();
    // The picker hands back the chosen path itself, not a blank-padded buffer, so nothing is
    // trimmed: a folder name may well end in a blank, and trimming would name another folder.
    std::string path = dialogs_.pick_folder(gbk("选择相册的存放位置"), values_.picker_start_folder);
    ops_->set_text("编辑框_保存位置", path);
    if (ops_->text("编辑框_保存位置").empty()) ops_->set_text("编辑框_保存位置", run_dir_);
    store_save_location(values_.settings_path, ops_->text("编辑框_保存位置"));
}

void MainWindow::open_folder_clicked() {
    std::string location = ops_->text("编辑框_保存位置");
    dialogs_.open_folder(location.empty() ? run_dir_ : location);
}

void MainWindow::update_button_clicked() {
    if (update_check_) update_check_(*ops_);
}

void MainWindow::toolbar_clicked(int index) {
    if (index == 0) {
        tabs_->setCurrentIndex(0);
    } else if (index == 2) {
        tabs_->setCurrentIndex(1);
        if (!values_.update_check_started) {
            if (update_check_) {
                // Not waited for and not kept: the process may end while it runs.
                std::thread([check = update_check_, ops = ops_.get()] { check(*ops); }).detach();
            }
            values_.update_check_started = true;
        }
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The first resize event only reports the initial size; the rule is for changes.
    if (event->oldSize().isValid() && tabs_) tabs_->resize(width() - 10, tabs_->height());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

void end_process_when_closed(MainWindow& window) {
    QObject::connect(&window, &MainWindow::closed, [] { std::_Exit(0); });
}
