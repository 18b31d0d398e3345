// The dialogs seam: message boxes, the folder picker and the shell's "open folder", answerable in tests.
#pragma once

#include <string>

// Every text is GBK. Called on the window thread only.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with one OK button; returns when it is closed. An empty caption shows "信息：".
    virtual void message_ok(const std::string& text, const std::string& caption) = 0;
    // A message box with OK and Cancel; true for OK. An empty caption shows "信息：".
    virtual bool message_ok_cancel(const std::string& text, const std::string& caption) = 0;
    // The platform's folder browser titled `prompt`, opened on `start_folder`; the chosen
    // folder's path, or "" when the user cancels.
    virtual std::string pick_folder(const std::string& prompt, const std::string& start_folder) = 0;
    // Shows the folder in the platform's file manager; the result is not reported.
    virtual void open_folder(const std::string& path) = 0;
};
