// GBK texts at the window's edge, through the program's own code-page tables.
#include "ui/qt_text.h"

#include "platform/codepage.h"

QString from_gbk(std::string_view gbk_text) {
    std::u16string wide = gbk_to_utf16(gbk_text);
    return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size()));
}

std::string to_gbk(const QString& text) {
    return utf16_to_gbk(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                            static_cast<std::size_t>(text.size())));
}
