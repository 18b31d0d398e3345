// An in-memory main window for core tests: controls as values, one lock standing for the window thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/window_ops.h"

class MemoryWindow : public WindowOps {
public:
    std::string text(std::string_view control) override;
    void set_text(std::string_view control, const std::string& text) override;
    bool checked(std::string_view control) override;
    void append_log(const std::string& text) override;
    void set_job_buttons(JobButtons state) override;
    void select_page(std::string_view tab_control, int page) override;
    // Recorded, and written to stderr as UTF-8 so a child process shows it.
    void message_box(const std::string& text, const std::string& caption) override;
    void run_on_window(const std::function<void()>& request) override;

    // Test hooks: `before_request` runs on the caller's thread just before each run_on_window
    // request reaches the window; `after_message` runs after a message box was recorded.
    std::function<void()> before_request;
    std::function<void()> after_message;

    // Runs `handler` as the window thread would: no request of a worker runs meanwhile.
    void on_window(const std::function<void()>& handler);

    void set_checked(std::string_view control, bool on);
    // The settings a job reads: save location `root`, folder name with id, property and
    // description pictures on.
    void set_job_settings(const std::string& root);
    std::string log() const;
    JobButtons buttons() const;
    std::vector<std::pair<std::string, int>> pages() const;
    std::vector<std::pair<std::string, std::string>> messages() const;

    // Waits until the log ends with `tail` (GBK); false after `limit_s`.
    bool wait_log_ends_with(const std::string& tail, double limit_s = 30) const;
    // Waits until the log contains `piece` (GBK); false after `limit_s`.
    bool wait_log_contains(const std::string& piece, double limit_s = 30) const;

private:
    mutable std::recursive_mutex window_thread_;
    mutable std::mutex state_mutex_;
    mutable std::condition_variable_any changed_;
    std::map<std::string, std::string, std::less<>> texts_;
    std::map<std::string, bool, std::less<>> checks_;
    std::string log_;
    JobButtons buttons_ = JobButtons::idle;
    std::vector<std::pair<std::string, int>> pages_;
    std::vector<std::pair<std::string, std::string>> messages_;
};
