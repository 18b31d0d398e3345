// Private-profile (INI) files over plain bytes: lookup, one-line update, atomic replace.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "platform/files.h"

namespace {

// Lead bytes of a GBK double-byte character; the byte after one is its trail.
bool is_gbk_lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal names: ASCII letters fold, a double-byte character must match both bytes exactly.
bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (is_gbk_lead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (fold_ascii(a[i]) != fold_ascii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view trim_if(std::string_view s, bool (*pred)(char)) {
    while (!s.empty() && pred(s.front())) s.remove_prefix(1);
    while (!s.empty() && pred(s.back())) s.remove_suffix(1);
    return s;
}

bool is_space(char c) { return c == ' '; }
bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

enum class LineKind { other, blank, comment, section, key };

struct Line {
    std::size_t begin = 0;     // first byte of the line
    std::size_t end = 0;       // one past its last byte, before the line break
    std::size_t next = 0;      // start of the following line
    LineKind kind = LineKind::other;
    std::string_view name;     // section or key name, trimmed
    std::string_view value;    // key value, raw after "="
};

// Position of the first `c` at a character start, or npos; `c` must be a byte that can be a
// trail byte, so the search steps over double-byte characters.
std::size_t find_single_byte(std::string_view s, char c) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == c) return i;
        if (is_gbk_lead(static_cast<unsigned char>(s[i]))) ++i;
    }
    return std::string_view::npos;
}

Line classify(std::string_view content, std::size_t begin, std::size_t end, std::size_t next) {
    Line line{begin, end, next, LineKind::other, {}, {}};
    std::string_view text = content.substr(begin, end - begin);
    std::size_t first = 0;
    while (first < text.size() && is_blank(text[first])) ++first;
    if (first == text.size()) {
        line.kind = LineKind::blank;
        return line;
    }
    if (text[first] == ';') {
        line.kind = LineKind::comment;
        return line;
    }
    if (text[first] == '[') {
        std::string_view inside = text.substr(first + 1);
        inside = inside.substr(0, find_single_byte(inside, ']'));
        line.kind = LineKind::section;
        line.name = trim_if(inside, is_space_or_tab);
        return line;
    }
    // "=" is below every trail byte, so a plain search is safe here.
    std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return line;
    line.kind = LineKind::key;
    line.name = trim_if(text.substr(0, eq), is_space_or_tab);
    line.value = text.substr(eq + 1);
    return line;
}

std::vector<Line> split_lines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = begin;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
        std::size_t next = end;
        if (next < content.size()) {
            if (content[next] == '\r' && next + 1 < content.size() && content[next + 1] == '\n') next += 2;
            else next += 1;
        }
        lines.push_back(classify(content, begin, end, next));
        begin = next;
    }
    return lines;
}

std::string clean_value(std::string_view raw) {
    std::string_view v = trim_if(raw, is_blank);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

// Index of the first section named `section`, or -1.
long find_section(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::section && same_name(lines[i].name, section)) return static_cast<long>(i);
    }
    return -1;
}

bool has_line_break(std::string_view s) {
    return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

std::filesystem::path file_path(std::string_view gbk_path) {
    std::filesystem::path path = native_path(gbk_path);
    std::error_code ec;
    // Replace the file a link points to, not the link itself.
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    return ec ? path : target;
}

bool read_whole_file(const std::filesystem::path& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes `bytes` to a fresh file beside `path` and renames it over `path`.
bool replace_file(const std::filesystem::path& path, std::string_view bytes, mode_t mode) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = path;
    temp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = (mode == 0 || ::fchmod(fd, mode) == 0) && write_all(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(path.parent_path().empty() ? "." : path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

std::string profile_lookup(std::string_view content, std::string_view section, std::string_view key,
                           std::string_view fallback) {
    section = trim_if(section, is_space);
    key = trim_if(key, is_space);
    std::vector<Line> lines = split_lines(content);
    long s = find_section(lines, section);
    if (s >= 0) {
        for (std::size_t i = static_cast<std::size_t>(s) + 1; i < lines.size(); ++i) {
            if (lines[i].kind == LineKind::section) break;
            if (lines[i].kind == LineKind::key && same_name(lines[i].name, key)) return clean_value(lines[i].value);
        }
    }
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return std::string(fallback);
}

std::string profile_update(std::string_view content, std::string_view section, std::string_view key,
                           std::string_view value) {
    section = trim_if(section, is_space);
    key = trim_if(key, is_space);
    std::vector<Line> lines = split_lines(content);
    std::string out;
    out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    long s = find_section(lines, section);
    if (s < 0) {
        out.append(content);
        if (!out.empty() && out.back() != '\r' && out.back() != '\n') out += "\r\n";
        out.append("[").append(section).append("]\r\n");
        out.append(key).append("=").append(value).append("\r\n");
        return out;
    }

    std::size_t last_entry = static_cast<std::size_t>(s);
    for (std::size_t i = last_entry + 1; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::section) break;
        if (line.kind == LineKind::key && same_name(line.name, key)) {
            // The key keeps its spelling; the rest of its line is rewritten.
            out.append(content.substr(0, line.begin));
            out.append(line.name).append("=").append(value).append("\r\n");
            out.append(content.substr(line.next));
            return out;
        }
        if (line.kind != LineKind::blank && line.kind != LineKind::comment) last_entry = i;
    }

    const Line& after = lines[last_entry];
    out.append(content.substr(0, after.next));
    if (after.next == after.end) out += "\r\n";  // the file ended without a line break
    out.append(key).append("=").append(value).append("\r\n");
    out.append(content.substr(after.next));
    return out;
}

std::string read_profile_string(std::string_view gbk_path, std::string_view section, std::string_view key,
                                std::string_view fallback) {
    std::string content;
    if (!read_whole_file(file_path(gbk_path), content)) content.clear();
    return profile_lookup(content, section, key, fallback);
}

bool write_profile_string(std::string_view gbk_path, std::string_view section, std::string_view key,
                          std::string_view value) {
    // A line break inside a name or value would write lines of its own into the file.
    if (has_line_break(section) || has_line_break(key) || has_line_break(value)) return false;

    std::filesystem::path path = file_path(gbk_path);
    std::string content;
    mode_t mode = 0;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        // A read-only settings file stays as it is, as the platform's writer leaves it.
        if ((st.st_mode & S_IWUSR) == 0) return false;
        if (!read_whole_file(path, content)) return false;
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    }
    return replace_file(path, profile_update(content, section, key, value), mode);
}
