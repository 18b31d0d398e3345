// The window operations over the Qt main window: each runs on the window thread as one request.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/window_ops.h"
#include "ui/dialogs.h"

// A call from another thread waits until the window thread has handled it, so the window
// thread must never wait for a thread that may be inside one of these calls.
class QtWindowOps : public WindowOps {
public:
    // `window` holds the controls, found by object name; both must outlive every call.
    QtWindowOps(QWidget& window, Dialogs& dialogs);

    std::string text(std::string_view control) override;
    void set_text(std::string_view control, const std::string& text) override;
    bool checked(std::string_view control) override;
    void append_log(const std::string& text) override;
    void set_job_buttons(JobButtons state) override;
    void select_page(std::string_view tab_control, int page) override;
    void message_box(const std::string& text, const std::string& caption) override;
    void run_on_window(const std::function<void()>& request) override;

private:
    // Runs `request` on the window thread and waits; on the window thread it runs at once.
    void on_window(const std::function<void()>& request);
    QWidget* control(std::string_view name) const;

    QWidget& window_;
    Dialogs& dialogs_;
};
