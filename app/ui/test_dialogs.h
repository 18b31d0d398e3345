// A dialogs seam for tests: records every call and gives queued answers instead of showing anything.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "ui/dialogs.h"

class RecordingDialogs : public Dialogs {
public:
    enum class Kind { message_ok, message_ok_cancel, pick_folder, open_folder };
    struct Call {
        Kind kind;
        std::string text;    // message text, picker prompt, or the folder opened
        std::string detail;  // message caption, or the picker's start folder
    };

    // The next answers; with none queued a question gets Cancel and the picker gets "" (cancel).
    void answer_ok_cancel(bool ok);
    void answer_folder(const std::string& gbk_path);

    std::vector<Call> calls() const;
    std::vector<Call> calls_of(Kind kind) const;

    void message_ok(const std::string& text, const std::string& caption) override;
    bool message_ok_cancel(const std::string& text, const std::string& caption) override;
    std::string pick_folder(const std::string& prompt, const std::string& start_folder) override;
    void open_folder(const std::string& path) override;

private:
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::deque<bool> ok_cancel_answers_;
    std::deque<std::string> folder_answers_;
};
