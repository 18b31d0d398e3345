// The download job: the worker's loop over the address lines, and the four job-button handlers.
#include "core/download_job.h"

#include <thread>
#include <vector>

#include "core/picture_saver.h"
#include "platform/codepage.h"
#include "webkit/text.h"

void download_job(JobSteps& steps, ExtractorBinder& binder) {
    const std::string addresses = trim_spaces(steps.text("编辑框_目标网址"));
    const std::vector<std::string> lines = split_text(addresses, "\r\n");
    const Marketplace* markets[] = {&taobao_marketplace(), &tmall_marketplace()};
    long long n = 0;
    for (const std::string& line : lines) {
        ++n;
        const Marketplace* market = nullptr;
        for (const Marketplace* m : markets) {
            if (contains_text(line, m->marker)) {
                market = m;
                break;
            }
        }
        if (market == nullptr) {
            steps.log("\r\n" + line + gbk("\r\n第") + decimal(n) + gbk("无法识别的网址\r\n"));
            continue;
        }
        steps.log(gbk("\r\n获取商品：") + line + gbk("\r\n\r\n耐心等待取决于网速通常要3-5秒\r\n"));
        save_item_pictures(binder.extract_item(*market, line, steps), steps);
    }
    steps.log(gbk("\r\n商品下载完毕！\r\n"));
    steps.set_job_buttons(JobButtons::idle);
    steps.flush();
}

JobControl::JobControl(WindowOps& window, std::shared_ptr<ExtractorBinder> binder)
    : window_(window), binder_(std::move(binder)) {}

void JobControl::start_clicked() {
    if (window_.text("编辑框_目标网址").empty()) {
        window_.message_box(gbk("请输入网址"), gbk("信息："));
        window_.select_page("选择夹1", 0);
        return;
    }
    window_.append_log(gbk("正努力获，耐心等待哈！\r\n\r\n"));
    auto gate = std::make_shared<JobGate>();
    worker_handle_ = gate;
    // The worker owns what it uses: the gate, the binder and the window outlive it or the
    // process ends with them.
    std::thread([gate, binder = binder_, &window = window_] {
        {
            JobGateScope scope(*gate);
            JobSteps steps(window, *gate);
            try {
                download_job(steps, *binder);
            } catch (const JobStopped&) {
            }
        }
        gate->mark_finished();
    }).detach();
    window_.set_job_buttons(JobButtons::running);
    window_.append_log(gbk("启动了下载\r\n"));
    if (pump_) pump_();
    window_.select_page("选择夹2", 1);
}

void JobControl::pause_clicked() {
    window_.set_job_buttons(JobButtons::paused);
    if (worker_handle_) {
        worker_handle_->suspend();
        worker_handle_->deliver_pending();
    }
    window_.append_log(gbk("执行了暂停下载功能\r\n"));
}

void JobControl::continue_clicked() {
    window_.set_job_buttons(JobButtons::running);
    if (worker_handle_) worker_handle_->resume();
    window_.append_log(gbk("执行了继续下载功能\r\n"));
}

void JobControl::stop_clicked(const std::function<bool()>& confirm) {
    // Texts on their way are shown only for a running job: a paused one shows nothing more.
    const bool running = worker_handle_ && !worker_handle_->held();
    if (worker_handle_) worker_handle_->suspend();
    if (running) worker_handle_->deliver_pending();
    if (!confirm()) {
        if (worker_handle_) worker_handle_->resume();
        return;
    }
    if (worker_handle_) {
        if (running) worker_handle_->deliver_pending();  // a text being sent as the hold began
        worker_handle_->stop();
    }
    window_.set_job_buttons(JobButtons::idle);
    window_.append_log(gbk("执行了结束下载\r\n"));
}
