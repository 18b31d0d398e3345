// GBK path texts turned into native paths; folder creation and whole-file writes.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_dir.h"

TEST(Files, NativePathTurnsBackslashesButKeepsTrailBytes) {
    EXPECT_EQ(native_path("a\\b\\c.jpg").string(), "a/b/c.jpg");
    EXPECT_EQ(native_path(gbk("保存\\主图\\")).string(), "保存/主图/");
    // 81 5C is one character whose trail byte is a backslash: not a separator.
    std::string odd = std::string("x\\\x81\x5C") + "y";
    const std::string native = native_path(odd).string();
    EXPECT_EQ(native, "x/" + gbk_to_utf8("\x81\x5C") + "y");
    EXPECT_EQ(std::count(native.begin(), native.end(), '/'), 1);
}

TEST(Files, MakeFolderCreatesEveryMissingLevel) {
    TempDir dir;
    const std::string deep = dir.gbk_path() + "\\" + gbk("标题_1") + "\\" + gbk("主图") + "\\";
    EXPECT_FALSE(folder_exists(deep));
    EXPECT_TRUE(make_folder(deep));
    EXPECT_TRUE(folder_exists(deep));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "标题_1" / "主图"));
    EXPECT_TRUE(make_folder(deep));  // already there

    // A plain file is not a folder, and nothing can be created beneath it.
    write_bytes(dir.path() / "file", "x");
    EXPECT_FALSE(folder_exists(dir.gbk_path() + "\\file"));
    EXPECT_FALSE(make_folder(dir.gbk_path() + "\\file\\sub"));
}

TEST(Files, WriteFileReplacesTheWholeContent) {
    TempDir dir;
    const std::string file = dir.gbk_path() + "\\" + gbk("(1)主图.jpg");
    ASSERT_TRUE(write_file(file, std::string("long content\0x", 14)));
    EXPECT_EQ(read_bytes(dir.path() / "(1)主图.jpg"), std::string("long content\0x", 14));
    ASSERT_TRUE(write_file(file, "ab"));
    EXPECT_EQ(read_bytes(dir.path() / "(1)主图.jpg"), "ab");
    EXPECT_FALSE(write_file(dir.gbk_path() + "\\missing\\x.jpg", "ab"));
}

TEST(Files, AtomicWriteLeavesOnlyTheFinishedFile) {
    TempDir dir;
    const std::string file = dir.gbk_path() + "\\" + gbk("(2)属性图.jpg");
    EXPECT_FALSE(file_exists(file));
    ASSERT_TRUE(write_file_atomically(file, "first"));
    ASSERT_TRUE(write_file_atomically(file, "second"));
    EXPECT_TRUE(file_exists(file));
    EXPECT_EQ(read_bytes(dir.path() / "(2)属性图.jpg"), "second");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(write_file_atomically(dir.gbk_path() + "\\missing\\x.jpg", "ab"));
}

TEST(Files, RunDirectoryHoldsTheRunningProgram) {
    std::filesystem::path dir = native_path(run_directory());
    EXPECT_TRUE(std::filesystem::exists(dir / "text_tests"));
}
