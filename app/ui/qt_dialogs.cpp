// The dialogs seam over Qt: message boxes without an owner, the directory picker, the desktop's file manager.
#include "ui/qt_dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "platform/codepage.h"
#include "platform/files.h"
#include "ui/qt_text.h"

namespace {

QString caption_or_default(const std::string& caption) {
    return from_gbk(caption.empty() ? gbk("信息：") : caption);
}

}  // namespace

void QtDialogs::message_ok(const std::string& text, const std::string& caption) {
    QMessageBox::information(nullptr, caption_or_default(caption), from_gbk(text), QMessageBox::Ok);
}

bool QtDialogs::message_ok_cancel(const std::string& text, const std::string& caption) {
    return QMessageBox::question(nullptr, caption_or_default(caption), from_gbk(text),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

std::string QtDialogs::pick_folder(const std::string& prompt, const std::string& start_folder) {
    QString start = QString::fromStdString(native_path(start_folder).string());
    QString chosen = QFileDialog::getExistingDirectory(nullptr, from_gbk(prompt), start, QFileDialog::ShowDirsOnly);
    return to_gbk(chosen);
}

void QtDialogs::open_folder(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(native_path(path).string())));
}
