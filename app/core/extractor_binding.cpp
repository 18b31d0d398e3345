// Binding the extractor libraries' exports by file name, once per run.
#include "core/extractor_binding.h"

#include <cstdlib>

#include "build_config.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/library.h"

const Marketplace& taobao_marketplace() {
    static const Marketplace market{VESKLAR_TAOBAO_MARKER, "kestrelgrab.so", "kestrelgrab"};
    return market;
}

const Marketplace& tmall_marketplace() {
    static const Marketplace market{VESKLAR_TMALL_MARKER, "falcongrab.so", "falcongrab"};
    return market;
}

ExtractorBinder::ExtractorBinder(std::string first_directory, std::function<void()> end_program)
    : first_directory_(std::move(first_directory)), end_program_(std::move(end_program)) {
    // Other threads may be anywhere (a window, a transfer): end without running destructors.
    if (!end_program_) end_program_ = [] { std::_Exit(1); };
}

ExtractorBinder::ExtractorBinder() : ExtractorBinder(run_directory()) {}

std::string ExtractorBinder::missing_message(const Marketplace& market) {
    return gbk("无法使用下载组件 ") + market.library_file + gbk("：找不到该文件或其中的函数 ") +
           market.function + gbk("，程序将退出。");
}

ExtractorBinder::Bound* ExtractorBinder::bind(const Marketplace& market) {
    std::lock_guard lock(mutex_);
    Bound& bound = bound_[market.library_file + '\n' + market.function];
    if (bound.fn == nullptr) {
        void* library = load_library(first_directory_ + "\\" + market.library_file);
        if (library == nullptr) library = load_library(market.library_file);
        bound.fn = reinterpret_cast<ExtractFn>(find_export(library, market.function));
    }
    return bound.fn != nullptr ? &bound : nullptr;
}

std::string ExtractorBinder::extract_item(const Marketplace& market, const std::string& line,
                                          JobSteps& steps) {
    Bound* bound = bind(market);
    if (bound == nullptr) {
        steps.flush();
        // Checked and shown as one request to the window: a job paused or stopped just before
        // shows nothing yet, and a stopped one never does.
        bool shown = false;
        while (!shown) {
            steps.pass();
            steps.window().run_on_window([&] {
                if (steps.gate().held()) return;
                steps.window().message_box(missing_message(market), gbk("错误"));
                shown = true;
            });
        }
        end_program_();
        throw JobStopped{};
    }
    std::string record;
    {
        std::lock_guard calls(bound->calls);
        const char* text = bound->fn(line.c_str());
        if (text != nullptr) record = text;  // copied at once: the library reuses its slot
    }
    steps.pass();  // a stop during the call abandons what it returned
    return record;
}
