// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <map>
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as a GBK path text, the form the program's routines take.
    std::string gbk_path() const;

private:
    std::filesystem::path path_;
};

// Whole content of a file as bytes ("" when it cannot be read).
std::string read_bytes(const std::filesystem::path& file);
// Writes bytes as the whole content of a file, creating parent folders.
void write_bytes(const std::filesystem::path& file, std::string_view bytes);
// Every folder (with a trailing "/") and file (with its bytes) below `root`, by UTF-8 path.
std::map<std::string, std::string> file_tree(const std::filesystem::path& root);
