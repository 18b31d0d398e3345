// The download job: the worker's loop over the address lines, and the four job-button handlers.
#pragma once

#include <functional>
#include <memory>

#include "core/extractor_binding.h"
#include "core/job_gate.h"
#include "core/window_ops.h"

// The worker routine: reads the address box, and for each line finds its marketplace, asks the
// extractor for the item record and saves the item's pictures; then returns the buttons to
// idle. Throws JobStopped when its gate is stopped.
void download_job(JobSteps& steps, ExtractorBinder& binder);

// The handlers of the four job buttons, each run on the window thread. Each job gets a fresh
// worker thread with a gate of its own; threads are never joined.
class JobControl {
public:
    // `binder` binds the extractor libraries for every job of the run.
    JobControl(WindowOps& window, std::shared_ptr<ExtractorBinder> binder);

    // Step "let pending window events run" of the start handler (nothing by default).
    void set_event_pump(std::function<void()> pump) { pump_ = std::move(pump); }

    void start_clicked();     // 按钮_开始下载
    void pause_clicked();     // 按钮_暂停线程
    void continue_clicked();  // 按钮_继续下载
    // 按钮_结束下载: `confirm` shows "您真的要彻底结束下载么？" with OK and Cancel; true for OK.
    void stop_clicked(const std::function<bool()>& confirm);

    // The gate of the current or last worker (null before the first job).
    std::shared_ptr<JobGate> worker_handle() const { return worker_handle_; }

private:
    WindowOps& window_;
    std::shared_ptr<ExtractorBinder> binder_;
    std::function<void()> pump_;
    std::shared_ptr<JobGate> worker_handle_;
};
