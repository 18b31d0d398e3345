// Vesklar: creates the application and the main window, and runs the window's event loop.
#include <QApplication>

#include "core/update_check.h"
#include "platform/files.h"
#include "ui/job_controller.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtDialogs dialogs;
    MainWindow window(run_directory(), dialogs, [](WindowOps& ops) { update_check(ops, version_page_url()); });
    new JobController(window);  // the window owns it
    end_process_when_closed(window);
    window.show();
    return app.exec();
}
