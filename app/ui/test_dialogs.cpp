// A dialogs seam for tests: records calls, answers from queues.
#include "ui/test_dialogs.h"

void RecordingDialogs::answer_ok_cancel(bool ok) {
    std::lock_guard lock(mutex_);
    ok_cancel_answers_.push_back(ok);
}

void RecordingDialogs::answer_folder(const std::string& gbk_path) {
    std::lock_guard lock(mutex_);
    folder_answers_.push_back(gbk_path);
}

std::vector<RecordingDialogs::Call> RecordingDialogs::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<RecordingDialogs::Call> RecordingDialogs::calls_of(Kind kind) const {
    std::lock_guard lock(mutex_);
    std::vector<Call> out;
    for (const Call& call : calls_) {
        if (call.kind == kind) out.push_back(call);
    }
    return out;
}

void RecordingDialogs::message_ok(const std::string& text, const std::string& caption) {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::message_ok, text, caption});
}

bool RecordingDialogs::message_ok_cancel(const std::string& text, const std::string& caption) {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::message_ok_cancel, text, caption});
    if (ok_cancel_answers_.empty()) return false;
    bool ok = ok_cancel_answers_.front();
    ok_cancel_answers_.pop_front();
    return ok;
}

std::string RecordingDialogs::pick_folder(const std::string& prompt, const std::string& start_folder) {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::pick_folder, prompt, start_folder});
    if (folder_answers_.empty()) return "";
    std::string path = folder_answers_.front();
    folder_answers_.pop_front();
    return path;
}

void RecordingDialogs::open_folder(const std::string& path) {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::open_folder, path, ""});
}
