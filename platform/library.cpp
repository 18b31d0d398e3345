// Loading a shared library by file name and looking up one of its exports (dlopen / dlsym).
#include "platform/library.h"

#include <dlfcn.h>

#include <string>

#include "platform/codepage.h"

void* load_library(std::string_view gbk_path) {
    if (gbk_path.empty()) return nullptr;
    std::string native = gbk_to_utf8(gbk_path);
    for (char& c : native)  // After the conversion every "\\" is a real separator.
        if (c == '\\') c = '/';
    // Symbols stay local so the two libraries' copies of the web toolkit never meet.
    return dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* find_export(void* library, std::string_view name) {
    if (library == nullptr) return nullptr;
    const std::string symbol(name);
    return dlsym(library, symbol.c_str());
}
