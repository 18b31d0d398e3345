// The main window: every control by its control name, start-up, the settings handlers and the toolbar.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QWidget>

#include "core/settings.h"
#include "core/window_ops.h"
#include "ui/dialogs.h"

class QTabWidget;
class QToolBar;
class QAction;
class QtWindowOps;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // The update check the window starts (按钮_检测更新, and once per run from the toolbar).
    using UpdateCheck = std::function<void(WindowOps&)>;

    // `run_dir` is the run directory as a GBK text without a trailing separator; 配置.ini is
    // read from it. Start-up runs here, before the window is first shown.
    MainWindow(std::string run_dir, Dialogs& dialogs, UpdateCheck update_check, QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowOps& ops();
    Dialogs& dialogs();
    const std::string& run_directory() const { return run_dir_; }
    const ProgramValues& values() const { return values_; }

    // The toolbar's click handler, by button index.
    void toolbar_clicked(int index);

signals:
    // Emitted when the window is being closed.
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build_controls();
    void start_up();
    void check_box_clicked(const CheckBoxSetting& setting, bool checked);
    void choose_location_clicked();
    void open_folder_clicked();
    void update_button_clicked();

    std::string run_dir_;
    Dialogs& dialogs_;
    UpdateCheck update_check_;
    ProgramValues values_;
    std::unique_ptr<QtWindowOps> ops_;
    QTabWidget* tabs_ = nullptr;
};

// Makes closing `window` end the process at once, whatever other threads are doing.
void end_process_when_closed(MainWindow& window);
