// Files and folders over std::filesystem, taking GBK path texts with "\\" separators.
#include "platform/files.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

#include "platform/codepage.h"

std::filesystem::path native_path(std::string_view gbk_path) {
    std::string p;
    p.reserve(gbk_path.size());
    for (size_t i = 0; i < gbk_path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(gbk_path[i]);
        if (c >= 0x80 && i + 1 < gbk_path.size()) {
            // A trail byte may be 0x5C; it belongs to its character, it is no separator.
            p.push_back(gbk_path[i]);
            p.push_back(gbk_path[++i]);
        } else {
            p.push_back(c == '\\' ? '/' : gbk_path[i]);
        }
    }
    return std::filesystem::path(gbk_to_utf8(p));
}

std::string run_directory() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::current_path(ec) / "x";
    return utf8_to_gbk(exe.parent_path().string());
}

bool folder_exists(std::string_view gbk_path) {
    std::error_code ec;
    return std::filesystem::is_directory(native_path(gbk_path), ec);
}

bool make_folder(std::string_view gbk_path) {
    std::error_code ec;
    std::filesystem::path p = native_path(gbk_path);
    std::filesystem::create_directories(p, ec);
    return std::filesystem::is_directory(p, ec);
}

bool write_file(std::string_view gbk_path, std::string_view bytes) {
    std::ofstream out(native_path(gbk_path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}
