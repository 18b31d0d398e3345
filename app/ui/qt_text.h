// GBK texts at the window's edge: to and from QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

QString from_gbk(std::string_view gbk_text);
std::string to_gbk(const QString& text);
