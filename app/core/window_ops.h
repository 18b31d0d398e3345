// What the download job, the picture saver and the update check ask of the main window.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The four job buttons of the save group, as one state (idle: 一键下载 only; running:
// 暂停下载 and 结束下载; paused: 继续下载 and 结束下载).
enum class JobButtons { idle, running, paused };

// Control names are the window's control names in UTF-8 (also the Qt object names); every
// text that crosses is GBK. Each call is one self-contained request to the window and may be
// made from any thread.
class WindowOps {
public:
    virtual ~WindowOps() = default;

    // Text of an edit box or label; an edit box gives "\r\n" between its lines.
    virtual std::string text(std::string_view control) = 0;
    virtual void set_text(std::string_view control, const std::string& text) = 0;
    virtual bool checked(std::string_view control) = 0;
    // Inserts `text` at the end of the run log, "\r\n" being one line break, and scrolls to it.
    virtual void append_log(const std::string& text) = 0;
    virtual void set_job_buttons(JobButtons state) = 0;
    virtual void select_page(std::string_view tab_control, int page) = 0;
    // A message box with one OK button; returns when the user has closed it.
    virtual void message_box(const std::string& text, const std::string& caption) = 0;
    // Runs `request` on the window thread and waits for it; the operations above, called from
    // inside it, act at once. Lets a caller check and act as one step relative to the handlers.
    virtual void run_on_window(const std::function<void()>& request) = 0;
};
