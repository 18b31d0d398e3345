// The dialogs seam over Qt: QMessageBox, QFileDialog and QDesktopServices.
#pragma once

#include "ui/dialogs.h"

class QtDialogs : public Dialogs {
public:
    void message_ok(const std::string& text, const std::string& caption) override;
    bool message_ok_cancel(const std::string& text, const std::string& caption) override;
    std::string pick_folder(const std::string& prompt, const std::string& start_folder) override;
    void open_folder(const std::string& path) override;
};
