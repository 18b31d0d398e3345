// GBK (Windows code page 936) conversions to and from UTF-16 and UTF-8, over iconv "CP936".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Decoding never fails and never stops at a bad byte:
//  - 0x80 is the euro sign; 0xFF becomes U+F8F5 (both as on Windows);
//  - a pair in the user-defined areas (AAA1-AFFE, F8A1-FEFE, A140-A7A0) becomes its private-use
//    character (U+E000...), so it survives a round trip;
//  - any other invalid pair (lead byte + trail byte in 40-7E/80-FE) becomes one "?";
//  - a lead byte without a valid trail byte (or at the very end) becomes one "?" for itself alone.
// Encoding turns every character GBK cannot hold into "?". A valid GBK text survives
// GBK -> UTF-16 -> GBK (and GBK -> UTF-8 -> GBK) byte for byte.

std::u16string gbk_to_utf16(std::string_view gbk);
std::string utf16_to_gbk(std::u16string_view utf16);
std::string gbk_to_utf8(std::string_view gbk);
std::string utf8_to_gbk(std::string_view utf8);

// UTF-16 text with the GBK byte offset of each code unit: offsets[i] is where unit i starts
// in the GBK input, and offsets[text.size()] == gbk.size(). Every unit stands for one
// character of 1 or 2 bytes, so a slice [offsets[a], offsets[b]) is the original bytes.
struct IndexedUtf16 {
    std::u16string text;
    std::vector<std::size_t> offsets;
};
IndexedUtf16 gbk_to_utf16_indexed(std::string_view gbk);

// The system's literal texts are written as UTF-8 in the source; this turns one into GBK.
std::string gbk(std::string_view utf8_literal);
