// Private-profile (INI) files: read and write one key of a GBK INI file, Windows rules.
#pragma once

#include <string>
#include <string_view>

// All texts are GBK bytes and are never converted. Section and key names compare without
// regard to case on single-byte ASCII letters only (a double-byte character compares exactly,
// whatever its trail byte); spaces around the name arguments are ignored.
//
// Reading: lines end in CR LF, CR or LF; a line whose first non-blank byte is ";" is a
// comment; "[name]" opens a section (blanks inside the brackets ignored, the rest of the line
// too); a key line is "key = value" split at the first "="; the value loses its outer blanks
// (space, tab, VT) and then one pair of matching outer quotes. Text before the first section
// is ignored; the first of two equal sections, and the first of two equal keys, wins.

// The value of `key` in `section` of the text `content`, or `fallback` (its trailing spaces
// cut) when the section or key is missing.
std::string profile_lookup(std::string_view content, std::string_view section, std::string_view key,
                           std::string_view fallback = "");

// `content` with `key` in `section` set to `value` (written as given). Only the key's own line
// changes, or one "key=value" line is added after the section's last entry, or one section is
// appended at the end; every other byte stays as it was. Written lines end in CR LF.
std::string profile_update(std::string_view content, std::string_view section, std::string_view key,
                           std::string_view value);

// GetPrivateProfileStringA: reads the file at the GBK path; a missing or unreadable file
// gives `fallback` like a missing key.
std::string read_profile_string(std::string_view gbk_path, std::string_view section, std::string_view key,
                                std::string_view fallback = "");

// WritePrivateProfileStringA: creates the file when it does not exist (its folder must) and
// replaces it as a whole through a temporary file and a rename, so the old content stays
// intact until the new one is complete. False when the file could not be written (for
// instance a read-only file, which is left as it is).
bool write_profile_string(std::string_view gbk_path, std::string_view section, std::string_view key,
                          std::string_view value);
