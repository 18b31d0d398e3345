// The settings file rules: tables of INI texts for lookup and update, and the file read and write.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/codepage.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace {

struct LookupCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string fallback;
    std::string expected;
};

std::string g(const char* utf8) { return gbk(utf8); }

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.name; }

class ProfileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FindsTheValue) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(profile_lookup(c.content, c.section, c.key, c.fallback), c.expected);
}

// "癆" is B0 41 and "癮" B0 61: the trail bytes differ only as "A" and "a" do.
// "癩" is B0 5D: its trail byte is "]".
const LookupCase lookup_cases[] = {
    {"crlf", g("[下载模式]\r\n主图=假\r\n"), g("下载模式"), g("主图"), "", g("假")},
    {"cr_only", g("[a]\rx=1\r[下载模式]\r主图=假\r"), g("下载模式"), g("主图"), "", g("假")},
    {"lf_only", g("[下载模式]\n主图=假\n"), g("下载模式"), g("主图"), "", g("假")},
    {"no_final_break", g("[下载模式]\r\n主图=假"), g("下载模式"), g("主图"), "", g("假")},
    {"blanks_around_header", g("  [ 下载模式 ] trailing\r\n主图=假\r\n"), g("下载模式"), g("主图"), "", g("假")},
    {"blanks_around_key_and_value", g("[下载模式]\r\n\t主图 \t= \v假 \t\r\n"), g("下载模式"), g("主图"), "", g("假")},
    {"double_quotes", g("[下载模式]\r\n主图=\"假\"\r\n"), g("下载模式"), g("主图"), "", g("假")},
    {"single_quotes", "[s]\r\nk=' a b '\r\n", "s", "k", "", " a b "},
    {"mismatched_quotes_kept", "[s]\r\nk=\"a'\r\n", "s", "k", "", "\"a'"},
    {"lone_quote_kept", "[s]\r\nk=\"\r\n", "s", "k", "", "\""},
    {"semicolon_inside_value", "[s]\r\nk=a;b\r\n", "s", "k", "", "a;b"},
    {"equals_inside_value", "[s]\r\nk=a=b\r\n", "s", "k", "", "a=b"},
    {"comment_line", g("[下载模式]\r\n;主图=假\r\n"), g("下载模式"), g("主图"), g("真"), g("真")},
    {"indented_comment", g("[下载模式]\r\n \t;主图=假\r\n"), g("下载模式"), g("主图"), g("真"), g("真")},
    {"hash_is_not_a_comment", "[s]\r\n#k=1\r\n", "s", "#k", "", "1"},
    {"line_without_equals_is_no_key", "[s]\r\nk\r\nk=2\r\n", "s", "k", "", "2"},
    {"first_duplicate_key_wins", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "", "1"},
    {"first_duplicate_section_wins", "[s]\r\na=1\r\n[t]\r\n[s]\r\nk=2\r\n", "s", "k", "d", "d"},
    {"key_of_the_next_section", "[s]\r\na=1\r\n[t]\r\nk=2\r\n", "s", "k", "d", "d"},
    {"text_before_first_section", g("主图=假\r\n[下载模式]\r\n"), g("下载模式"), g("主图"), "d", "d"},
    {"ascii_case_ignored", "[DownLoad]\r\nMode=x\r\n", "download", "MODE", "", "x"},
    {"gbk_trail_letter_not_folded", g("[s]\r\n癆=1\r\n"), "s", g("癮"), "d", "d"},
    {"gbk_trail_letter_exact", g("[s]\r\n癮=2\r\n癆=1\r\n"), "s", g("癆"), "d", "1"},
    {"gbk_trail_bracket_in_section", g("[癩x]\r\nk=1\r\n"), g("癩x"), "k", "d", "1"},
    {"spaces_around_arguments", g("[下载模式]\r\n主图=假\r\n"), g("  下载模式 "), g(" 主图  "), "", g("假")},
    {"tab_in_argument_kept", "[s]\r\nk=1\r\n", "s", "k\t", "d", "d"},
    {"missing_section", "[s]\r\nk=1\r\n", "t", "k", "d", "d"},
    {"empty_text", "", "s", "k", "d", "d"},
    {"empty_value", "[s]\r\nk=\r\n", "s", "k", "d", ""},
    {"fallback_loses_trailing_spaces", "", "s", "k", " d  ", " d"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileLookup, testing::ValuesIn(lookup_cases),
                         [](const auto& info) { return std::string(info.param.name); });

struct UpdateCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
};

void PrintTo(const UpdateCase& c, std::ostream* os) { *os << c.name; }

class ProfileUpdate : public testing::TestWithParam<UpdateCase> {};

TEST_P(ProfileUpdate, ChangesOnlyOneLine) {
    const UpdateCase& c = GetParam();
    EXPECT_EQ(profile_update(c.content, c.section, c.key, c.value), c.expected);
}

const std::string hand_written = g(
    "; Vesklar 的设置\r\n"
    "[全局设置]\r\n"
    "  ; 图片保存在这里\r\n"
    "保存位置 = /home/用户/图片\r\n"
    "\r\n"
    "[下载模式]\r\n"
    ";主图=假\r\n"
    "主图=真\n"
    "\r\n"
    "; 结尾\r\n");

const UpdateCase update_cases[] = {
    {"new_file", "", g("下载模式"), g("主图"), g("假"), g("[下载模式]\r\n主图=假\r\n")},
    {"existing_key", "[s]\r\nk = old \r\nz=1\r\n", "s", "k", "new", "[s]\r\nk=new\r\nz=1\r\n"},
    {"key_spelling_kept", "[Sec]\r\nKEY=v", "sec", "key", "v2", "[Sec]\r\nKEY=v2\r\n"},
    {"first_duplicate_key", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "3", "[s]\r\nk=3\r\nk=2\r\n"},
    {"new_key_before_next_section", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "k", "v",
     "[a]\r\nx=1\r\nk=v\r\n\r\n[b]\r\ny=2\r\n"},
    {"new_key_after_header", "[a]\r\n[b]\r\n", "a", "k", "v", "[a]\r\nk=v\r\n[b]\r\n"},
    {"new_keys_keep_call_order", "[a]\r\nk1=1\r\n", "a", "k2", "2", "[a]\r\nk1=1\r\nk2=2\r\n"},
    {"new_section", "[a]\r\nx=1\r\n", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
    {"new_key_no_final_break", "[a]\r\nx=1", "a", "k", "v", "[a]\r\nx=1\r\nk=v\r\n"},
    {"new_section_no_final_break", "[a]\r\nx=1", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
    {"cr_only_file", "[a]\rk=1\rz=2\r", "a", "k", "2", "[a]\rk=2\r\nz=2\r"},
    {"bytes_before_first_section", "junk\r\n[a]\r\nk=1\r\n", "a", "k", "2", "junk\r\n[a]\r\nk=2\r\n"},
    {"value_written_verbatim", "", "s", "k", " \"v\" ", "[s]\r\nk= \"v\" \r\n"},
    {"arguments_trimmed", "", "  s  ", "  k ", "v", "[s]\r\nk=v\r\n"},
    {"gbk_trail_letter_key", g("[s]\r\n癆=1\r\n"), "s", g("癮"), "2", g("[s]\r\n癆=1\r\n癮=2\r\n")},
    {"hand_written_key_replaced", hand_written, g("全局设置"), g("保存位置"), g("/tmp/新"),
     g("; Vesklar 的设置\r\n[全局设置]\r\n  ; 图片保存在这里\r\n保存位置=/tmp/新\r\n\r\n"
       "[下载模式]\r\n;主图=假\r\n主图=真\n\r\n; 结尾\r\n")},
    {"hand_written_key_added", hand_written, g("下载模式"), g("描述图"), g("假"),
     g("; Vesklar 的设置\r\n[全局设置]\r\n  ; 图片保存在这里\r\n保存位置 = /home/用户/图片\r\n\r\n"
       "[下载模式]\r\n;主图=假\r\n主图=真\n描述图=假\r\n\r\n; 结尾\r\n")},
    {"hand_written_commented_key_untouched", hand_written, g("下载模式"), g("主图"), g("假"),
     g("; Vesklar 的设置\r\n[全局设置]\r\n  ; 图片保存在这里\r\n保存位置 = /home/用户/图片\r\n\r\n"
       "[下载模式]\r\n;主图=假\r\n主图=假\r\n\r\n; 结尾\r\n")},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProfileUpdate, testing::ValuesIn(update_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The file side: created on the first write only, replaced whole, refused when it cannot be.
class ProfileFile : public testing::Test {
protected:
    std::string ini() const { return dir.gbk_path() + g("\\配置.ini"); }
    std::filesystem::path native() const { return dir.path() / std::filesystem::u8path("配置.ini"); }
    std::size_t entries() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
        return n;
    }
    TempDir dir;
};

TEST_F(ProfileFile, ReadingAMissingFileGivesTheFallbackAndCreatesNothing) {
    EXPECT_EQ(read_profile_string(ini(), g("下载模式"), g("主图"), g("真")), g("真"));
    EXPECT_EQ(entries(), 0u);
}

TEST_F(ProfileFile, FirstWriteCreatesTheFileAndLaterWritesKeepIt) {
    ASSERT_TRUE(write_profile_string(ini(), g("下载模式"), g("主图"), g("假")));
    EXPECT_EQ(read_bytes(native()), g("[下载模式]\r\n主图=假\r\n"));
    ASSERT_TRUE(write_profile_string(ini(), g("全局设置"), g("保存位置"), g("/图片")));
    ASSERT_TRUE(write_profile_string(ini(), g("下载模式"), g("主图"), g("真")));
    EXPECT_EQ(read_bytes(native()), g("[下载模式]\r\n主图=真\r\n[全局设置]\r\n保存位置=/图片\r\n"));
    EXPECT_EQ(read_profile_string(ini(), g("全局设置"), g("保存位置")), g("/图片"));
    EXPECT_EQ(entries(), 1u) << "no temporary file may stay behind";
}

TEST_F(ProfileFile, HandWrittenFileKeepsEveryOtherByte) {
    write_bytes(native(), hand_written);
    ASSERT_TRUE(write_profile_string(ini(), g("下载模式"), g("描述图"), g("假")));
    EXPECT_EQ(read_bytes(native()), update_cases[16].expected);
}

TEST_F(ProfileFile, WriteKeepsThePermissions) {
    write_bytes(native(), "[s]\r\nk=1\r\n");
    std::filesystem::permissions(native(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_TRUE(write_profile_string(ini(), "s", "k", "2"));
    EXPECT_EQ(std::filesystem::status(native()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(ProfileFile, ReadOnlyFileIsLeftAlone) {
    write_bytes(native(), "[s]\r\nk=1\r\n");
    std::filesystem::permissions(native(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(write_profile_string(ini(), "s", "k", "2"));
    EXPECT_EQ(read_bytes(native()), "[s]\r\nk=1\r\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(ProfileFile, MissingFolderFails) {
    std::string path = dir.gbk_path() + g("\\没有\\配置.ini");
    EXPECT_FALSE(write_profile_string(path, "s", "k", "v"));
    EXPECT_EQ(entries(), 0u);
}

TEST_F(ProfileFile, LineBreakInAValueIsRefused) {
    write_bytes(native(), "[s]\r\nk=1\r\n");
    for (const char* value : {"a\nb", "a\r[t]", "\r\n"}) {
        EXPECT_FALSE(write_profile_string(ini(), "s", "k", value)) << value;
    }
    EXPECT_FALSE(write_profile_string(ini(), "s", "k\n[t]\nx", "1"));
    EXPECT_EQ(read_bytes(native()), "[s]\r\nk=1\r\n");
}

}  // namespace
