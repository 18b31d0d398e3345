// Loading a shared library by file name and looking up one of its exports.
#pragma once

#include <string_view>

// Loads the library at a GBK path text. A text without a separator goes through the normal
// library search; one with a separator names the file itself. Null when it cannot be loaded.
// A loaded library stays loaded until the process ends.
void* load_library(std::string_view gbk_path);

// The address of the export `name` of a loaded library; null when it has none.
void* find_export(void* library, std::string_view name);
