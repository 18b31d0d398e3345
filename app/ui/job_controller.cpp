// The four job buttons of the main window, wired to the download job's handlers.
#include "ui/job_controller.h"

#include <QAbstractButton>
#include <QCoreApplication>

#include "platform/codepage.h"
#include "ui/main_window.h"

JobController::JobController(MainWindow& window, std::shared_ptr<ExtractorBinder> binder)
    : QObject(&window), window_(window), control_(window.ops(), std::move(binder)) {
    control_.set_event_pump([] { QCoreApplication::processEvents(); });
    auto connect_button = [this](const char* name, auto handler) {
        if (auto* button = window_.findChild<QAbstractButton*>(QString::fromUtf8(name)))
            connect(button, &QAbstractButton::clicked, this, handler);
    };
    connect_button("按钮_开始下载", [this] { control_.start_clicked(); });
    connect_button("按钮_暂停线程", [this] { control_.pause_clicked(); });
    connect_button("按钮_继续下载", [this] { control_.continue_clicked(); });
    connect_button("按钮_结束下载", [this] {
        control_.stop_clicked([this] {
            return window_.dialogs().message_ok_cancel(gbk("您真的要彻底结束下载么？"), gbk("警告！"));
        });
    });
}
