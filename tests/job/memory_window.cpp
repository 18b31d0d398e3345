// An in-memory main window for core tests: controls as values, one lock standing for the window thread.
#include "memory_window.h"

#include <chrono>
#include <cstdio>

#include "platform/codepage.h"

std::string MemoryWindow::text(std::string_view control) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    auto it = texts_.find(control);
    return it == texts_.end() ? std::string() : it->second;
}

void MemoryWindow::set_text(std::string_view control, const std::string& text) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    texts_[std::string(control)] = text;
    changed_.notify_all();
}

bool MemoryWindow::checked(std::string_view control) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    auto it = checks_.find(control);
    return it != checks_.end() && it->second;
}

void MemoryWindow::set_checked(std::string_view control, bool on) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    checks_[std::string(control)] = on;
}

void MemoryWindow::append_log(const std::string& text) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    log_ += text;
    changed_.notify_all();
}

void MemoryWindow::set_job_buttons(JobButtons state) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    buttons_ = state;
    changed_.notify_all();
}

void MemoryWindow::select_page(std::string_view tab_control, int page) {
    std::scoped_lock lock(window_thread_, state_mutex_);
    pages_.emplace_back(std::string(tab_control), page);
}

void MemoryWindow::message_box(const std::string& text, const std::string& caption) {
    {
        std::scoped_lock lock(window_thread_, state_mutex_);
        messages_.emplace_back(text, caption);
        std::fprintf(stderr, "%s: %s\n", gbk_to_utf8(caption).c_str(), gbk_to_utf8(text).c_str());
        std::fflush(stderr);
    }
    if (after_message) after_message();
}

void MemoryWindow::run_on_window(const std::function<void()>& request) {
    if (before_request) before_request();
    on_window(request);
}

void MemoryWindow::on_window(const std::function<void()>& handler) {
    std::lock_guard lock(window_thread_);
    handler();
}

std::string MemoryWindow::log() const {
    std::lock_guard lock(state_mutex_);
    return log_;
}

JobButtons MemoryWindow::buttons() const {
    std::lock_guard lock(state_mutex_);
    return buttons_;
}

std::vector<std::pair<std::string, int>> MemoryWindow::pages() const {
    std::lock_guard lock(state_mutex_);
    return pages_;
}

std::vector<std::pair<std::string, std::string>> MemoryWindow::messages() const {
    std::lock_guard lock(state_mutex_);
    return messages_;
}

bool MemoryWindow::wait_log_ends_with(const std::string& tail, double limit_s) const {
    std::unique_lock lock(state_mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(limit_s), [&] {
        return log_.size() >= tail.size() && log_.compare(log_.size() - tail.size(), tail.size(), tail) == 0;
    });
}

bool MemoryWindow::wait_log_contains(const std::string& piece, double limit_s) const {
    std::unique_lock lock(state_mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(limit_s),
                             [&] { return log_.find(piece) != std::string::npos; });
}

void MemoryWindow::set_job_settings(const std::string& root) {
    set_text("编辑框_保存位置", root);
    set_checked("选择框_文件夹名包含ID", true);
    set_checked("选择框_属性图", true);
    set_checked("选择框_描述图", true);
}
