// Files and folders: paths arrive as GBK texts with "\\" separators and become native paths here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The native path of a GBK path text: "\\" becomes "/", the bytes become UTF-8.
std::filesystem::path native_path(std::string_view gbk_path);

// The directory holding the running executable, as a GBK text without a trailing separator.
// Written with "/" separators on this platform (it is a native absolute path).
std::string run_directory();

// True when the path names an existing directory.
bool folder_exists(std::string_view gbk_path);

// Creates every missing directory along the path; true when the whole path exists afterwards.
bool make_folder(std::string_view gbk_path);

// Writes `bytes` as the whole content of the file (created or emptied); true on success.
bool write_file(std::string_view gbk_path, std::string_view bytes);

// Writes `bytes` to a fresh temporary file beside the target and renames it over the target,
// so the target holds either its old content or the whole new one, never a part. True on success.
bool write_file_atomically(std::string_view gbk_path, std::string_view bytes);

// True when the path names an existing regular file.
bool file_exists(std::string_view gbk_path);
