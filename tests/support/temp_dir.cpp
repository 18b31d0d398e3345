// A temporary folder for one test, and whole-file helpers.
#include "support/temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/codepage.h"

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vesklar-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::gbk_path() const { return utf8_to_gbk(path_.string()); }

std::string read_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_bytes(const std::filesystem::path& file, std::string_view bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::map<std::string, std::string> file_tree(const std::filesystem::path& root) {
    std::map<std::string, std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string rel = std::filesystem::relative(entry.path(), root).string();
        if (entry.is_directory()) found[rel + "/"] = "";
        else found[rel] = read_bytes(entry.path());
    }
    return found;
}
