// Files and folders over std::filesystem, taking GBK path texts with "\\" separators.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool write_file_atomically(std::string_view gbk_path, std::string_view bytes) {
    const std::filesystem::path target = native_path(gbk_path);
    std::string tmpl = (target.parent_path() / ("." + target.filename().string() + ".part-XXXXXX")).string();
    int fd = mkstemp(tmpl.data());
    if (fd < 0) return false;
    fchmod(fd, 0644);
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = (::close(fd) == 0) && ok;
    std::error_code ec;
    if (ok) std::filesystem::rename(tmpl, target, ec);
    if (!ok || ec) {
        std::filesystem::remove(tmpl, ec);
        return false;
    }
    return true;
}

bool file_exists(std::string_view gbk_path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(native_path(gbk_path), ec);
}
