// The window operations over Qt widgets; calls from other threads wait for the window thread.
#include "ui/qt_window_ops.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QThread>

#include "platform/codepage.h"
#include "ui/qt_text.h"

namespace {

constexpr const char* log_control = "编辑框_操作记录";

// The platform's edit box separates lines with CR LF; the Qt widgets use LF.
QString to_widget_lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString to_platform_lines(QString text) {
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

}  // namespace

QtWindowOps::QtWindowOps(QWidget& window, Dialogs& dialogs) : window_(window), dialogs_(dialogs) {}

void QtWindowOps::on_window(const std::function<void()>& request) {
    if (QThread::currentThread() == window_.thread()) {
        request();
        return;
    }
    QMetaObject::invokeMethod(&window_, [&request] { request(); }, Qt::BlockingQueuedConnection);
}

QWidget* QtWindowOps::control(std::string_view name) const {
    return window_.findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

std::string QtWindowOps::text(std::string_view name) {
    std::string result;
    on_window([&] {
        QWidget* widget = control(name);
        QString text;
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) text = to_platform_lines(edit->toPlainText());
        else if (auto* line = qobject_cast<QLineEdit*>(widget)) text = line->text();
        else if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
        result = to_gbk(text);
    });
    return result;
}

void QtWindowOps::set_text(std::string_view name, const std::string& gbk_text) {
    on_window([&] {
        QWidget* widget = control(name);
        QString text = from_gbk(gbk_text);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) edit->setPlainText(to_widget_lines(text));
        else if (auto* line = qobject_cast<QLineEdit*>(widget)) line->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(text);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget)) button->setText(text);
        else if (auto* group = qobject_cast<QGroupBox*>(widget)) group->setTitle(text);
    });
}

bool QtWindowOps::checked(std::string_view name) {
    bool result = false;
    on_window([&] {
        if (auto* button = qobject_cast<QAbstractButton*>(control(name))) result = button->isChecked();
    });
    return result;
}

void QtWindowOps::append_log(const std::string& gbk_text) {
    on_window([&] {
        auto* log = qobject_cast<QPlainTextEdit*>(control(log_control));
        if (!log) return;
        // Insert at the end through the cursor: the cost follows the new text, not the log.
        log->moveCursor(QTextCursor::End);
        log->insertPlainText(to_widget_lines(from_gbk(gbk_text)));
        log->ensureCursorVisible();
        log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
    });
}

void QtWindowOps::set_job_buttons(JobButtons state) {
    on_window([&] {
        struct Row {
            const char* name;
            bool shown;
        };
        const Row rows[] = {
            {"按钮_开始下载", state == JobButtons::idle},
            {"按钮_暂停线程", state == JobButtons::running},
            {"按钮_继续下载", state == JobButtons::paused},
            {"按钮_结束下载", state != JobButtons::idle},
        };
        for (const Row& row : rows) {
            if (QWidget* button = control(row.name)) button->setHidden(!row.shown);
        }
    });
}

void QtWindowOps::select_page(std::string_view tab_control, int page) {
    on_window([&] {
        if (auto* tabs = qobject_cast<QTabWidget*>(control(tab_control))) tabs->setCurrentIndex(page);
    });
}

void QtWindowOps::message_box(const std::string& text, const std::string& caption) {
    on_window([&] { dialogs_.message_ok(text, caption); });
}

void QtWindowOps::run_on_window(const std::function<void()>& request) { on_window(request); }
