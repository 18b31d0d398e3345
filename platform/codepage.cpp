// GBK (code page 936) conversions over iconv "CP936", with a defined result for every invalid byte.
#include "platform/codepage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char* utf16_name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// One descriptor per direction and thread: iconv descriptors carry state and are not shareable.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts `in`; at every spot iconv refuses, `on_error(pos, out)` appends a replacement in
    // the target encoding and returns how many input bytes it stands for (at least 1).
    template <class OnError>
    std::string run(std::string_view in, OnError on_error) {
        std::string out;
        if (!ok()) return out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * 2 + 16);
        size_t pos = 0;
        size_t used = 0;
        while (pos < in.size()) {
            char* src = const_cast<char*>(in.data() + pos);
            size_t src_left = in.size() - pos;
            char* dst = out.data() + used;
            size_t dst_left = out.size() - used;
            size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
            pos = in.size() - src_left;
            used = out.size() - dst_left;
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL: the input at pos cannot be converted.
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            std::string repl;
            size_t consumed = on_error(pos, repl);
            if (used + repl.size() > out.size()) out.resize((used + repl.size()) * 2);
            std::memcpy(out.data() + used, repl.data(), repl.size());
            used += repl.size();
            pos += consumed;
        }
        out.resize(used);
        return out;
    }

private:
    iconv_t cd_;
};

Converter& gbk_decoder() {
    thread_local Converter c(utf16_name, "CP936");
    return c;
}
Converter& gbk_encoder() {
    thread_local Converter c("CP936", utf16_name);
    return c;
}
Converter& utf8_decoder() {
    thread_local Converter c(utf16_name, "UTF-8");
    return c;
}
Converter& utf8_encoder() {
    thread_local Converter c("UTF-8", utf16_name);
    return c;
}

bool is_lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

// Length in bytes of the GBK character starting at i, by structure alone.
size_t char_length(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (is_lead(c) && i + 1 < s.size() && is_trail(static_cast<unsigned char>(s[i + 1]))) return 2;
    return 1;
}

// The user-defined areas of code page 936 and their private-use characters.
struct UserArea {
    unsigned char lead_first, lead_last, trail_first, trail_last;
    char16_t base;
};
constexpr UserArea user_areas[] = {
    {0xAA, 0xAF, 0xA1, 0xFE, 0xE000},
    {0xF8, 0xFE, 0xA1, 0xFE, 0xE234},
    {0xA1, 0xA7, 0x40, 0xA0, 0xE4C6},
};

// Index of a trail byte within an area's trail range, skipping 0x7F.
int trail_index(unsigned char t, unsigned char first) {
    int idx = t - first;
    if (first < 0x7F && t > 0x7F) --idx;
    return idx;
}
int trail_count(const UserArea& a) {
    int n = a.trail_last - a.trail_first + 1;
    if (a.trail_first < 0x7F && a.trail_last > 0x7F) --n;
    return n;
}

char16_t user_area_char(unsigned char lead, unsigned char trail) {
    for (const auto& a : user_areas) {
        if (lead < a.lead_first || lead > a.lead_last || trail < a.trail_first || trail > a.trail_last ||
            trail == 0x7F)
            continue;
        return static_cast<char16_t>(a.base + (lead - a.lead_first) * trail_count(a) + trail_index(trail, a.trail_first));
    }
    return 0;
}

bool user_area_bytes(char16_t ch, std::string& out) {
    for (const auto& a : user_areas) {
        int n = trail_count(a);
        int rows = a.lead_last - a.lead_first + 1;
        if (ch < a.base || ch >= a.base + rows * n) continue;
        int off = ch - a.base;
        int t = a.trail_first + off % n;
        if (a.trail_first < 0x7F && t >= 0x7F) ++t;
        out.push_back(static_cast<char>(a.lead_first + off / n));
        out.push_back(static_cast<char>(t));
        return true;
    }
    return false;
}

void put_unit(std::string& out, char16_t u) {
    char bytes[2];
    std::memcpy(bytes, &u, 2);
    out.append(bytes, 2);
}

std::u16string to_u16(const std::string& bytes) {
    std::u16string s(bytes.size() / 2, u'\0');
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

std::string_view as_bytes(std::u16string_view s) {
    return {reinterpret_cast<const char*>(s.data()), s.size() * 2};
}

std::string decode_gbk_bytes(std::string_view gbk) {
    return gbk_decoder().run(gbk, [&](size_t pos, std::string& out) -> size_t {
        unsigned char c = static_cast<unsigned char>(gbk[pos]);
        size_t len = char_length(gbk, pos);
        if (c == 0xFF) {
            put_unit(out, 0xF8F5);
        } else if (len == 2) {
            char16_t pua = user_area_char(c, static_cast<unsigned char>(gbk[pos + 1]));
            put_unit(out, pua ? pua : u'?');
        } else {
            put_unit(out, u'?');
        }
        return len;
    });
}

}  // namespace

std::u16string gbk_to_utf16(std::string_view gbk) { return to_u16(decode_gbk_bytes(gbk)); }

std::string utf16_to_gbk(std::u16string_view utf16) {
    std::string_view in = as_bytes(utf16);
    return gbk_encoder().run(in, [&](size_t pos, std::string& out) -> size_t {
        size_t unit = pos / 2;
        char16_t ch = unit < utf16.size() ? utf16[unit] : u'?';
        if (ch == 0xF8F5) {
            out.push_back(static_cast<char>(0xFF));
        } else if (!user_area_bytes(ch, out)) {
            out.push_back('?');
            // A surrogate pair is one character: one "?" for both units.
            if (ch >= 0xD800 && ch <= 0xDBFF && unit + 1 < utf16.size() && utf16[unit + 1] >= 0xDC00 &&
                utf16[unit + 1] <= 0xDFFF)
                return 4;
        }
        return std::min<size_t>(2, in.size() - pos);
    });
}

std::string gbk_to_utf8(std::string_view gbk) {
    return utf8_encoder().run(decode_gbk_bytes(gbk), [](size_t, std::string& out) -> size_t {
        out.push_back('?');
        return 2;
    });
}

std::string utf8_to_gbk(std::string_view utf8) {
    std::string units = utf8_decoder().run(utf8, [](size_t, std::string& out) -> size_t {
        put_unit(out, u'?');
        return 1;
    });
    return utf16_to_gbk(to_u16(units));
}

IndexedUtf16 gbk_to_utf16_indexed(std::string_view gbk) {
    IndexedUtf16 r;
    r.text = gbk_to_utf16(gbk);
    r.offsets.reserve(r.text.size() + 1);
    // Every character, valid or replaced, is exactly one UTF-16 unit of its own.
    for (size_t i = 0; i < gbk.size(); i += char_length(gbk, i)) r.offsets.push_back(i);
    r.offsets.push_back(gbk.size());
    return r;
}

std::string gbk(std::string_view utf8_literal) { return utf8_to_gbk(utf8_literal); }
