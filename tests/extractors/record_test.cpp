// The item record text: templates, assembly, and how json-c reads it back.
#include "extractors/record.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

#include <memory>
#include <string>

#include "platform/codepage.h"

namespace {

const std::string main_key = gbk("主图");

TEST(ItemRecord, MemberObjectPutsKeyAndValueIntoTheTemplate) {
    EXPECT_EQ(member_object("title", "abc"), "{ \"title\":\"abc\" }");
    EXPECT_EQ(member_object("itemid", ""), "{ \"itemid\":\"\" }");
}

TEST(ItemRecord, ValueHoldingThePlaceholdersStandsUnchanged) {
    EXPECT_EQ(member_object("title", "img uurrll img"), "{ \"title\":\"img uurrll img\" }");
    EXPECT_EQ(picture_object("//a/uurrll/img.jpg", true), "{ \"img\":\"//a/uurrll/img.jpg\" }");
}

TEST(ItemRecord, ValuesGoInVerbatim) {
    // A backslash, a control character, a quote, and a double-byte character whose trail byte is "\".
    const std::string value = "a\\b\t\"c\x01" + gbk("图") + "\x81\x5c";
    EXPECT_EQ(member_object("sellernick", value), "{ \"sellernick\":\"" + value + "\" }");
}

TEST(ItemRecord, EmptyRecordIsTheThirteenPiecesWithEmptyValues) {
    const std::string expected = "{\"shopinfo\":[{ \"title\":\"\" },{ \"sellernick\":\"\" },{ \"itemid\":\"\" }],\"" +
                                 main_key + "\":[]}";
    EXPECT_EQ(empty_item_record(), expected);
    EXPECT_EQ(item_record(shopinfo_part("", "", ""), picture_part("")), expected);
}

TEST(ItemRecord, OnlyLaterPictureObjectsStartWithAComma) {
    EXPECT_EQ(picture_object("https://x/1.jpg", true), "{ \"img\":\"https://x/1.jpg\" }");
    EXPECT_EQ(picture_object("https://x/2.jpg", false), ",{ \"img\":\"https://x/2.jpg\" }");
    const std::string one = item_record(shopinfo_part("t", "n", "1"), picture_part(picture_object("https://x/1.jpg", true)));
    EXPECT_EQ(one, "{\"shopinfo\":[{ \"title\":\"t\" },{ \"sellernick\":\"n\" },{ \"itemid\":\"1\" }],\"" + main_key +
                       "\":[{ \"img\":\"https://x/1.jpg\" }]}");
}

TEST(ItemRecord, PageTextEndsAtTheFirstZeroByte) {
    EXPECT_EQ(page_text(std::string("<title>a</title>\0<title>b", 25)), "<title>a</title>");
    EXPECT_EQ(page_text("no zero"), "no zero");
    EXPECT_EQ(page_text(""), "");
}

// What the program's reader takes: each value in json-c's text form, quotes (and for
// addresses backslashes) deleted.
std::string text_form(json_object* value, bool drop_backslashes) {
    std::string text = json_object_to_json_string(value);
    std::string out;
    for (char c : text)
        if (c != '"' && !(drop_backslashes && c == '\\')) out += c;
    return out;
}

TEST(ItemRecord, JsonCReadsEveryValueAndAddressBack) {
    const std::string title = gbk("纯棉短袖T恤");
    const std::string address1 = "https://img.example.com/i1/TB1a.jpg";
    const std::string address2 = "https://img.example.com/i2/TB2b.jpg?x=1&y=2";
    const std::string record = item_record(shopinfo_part(title, gbk("小店"), "41234567890"),
                                           picture_part(picture_object(address1, true) + picture_object(address2, false)));

    std::unique_ptr<json_object, decltype(&json_object_put)> doc(json_tokener_parse(record.c_str()), json_object_put);
    ASSERT_NE(doc, nullptr);
    json_object* shopinfo = json_object_object_get(doc.get(), "shopinfo");
    ASSERT_EQ(json_object_array_length(shopinfo), 3u);
    EXPECT_EQ(text_form(json_object_object_get(json_object_array_get_idx(shopinfo, 0), "title"), false), title);
    EXPECT_EQ(text_form(json_object_object_get(json_object_array_get_idx(shopinfo, 2), "itemid"), false), "41234567890");

    json_object* pictures = json_object_object_get(doc.get(), main_key.c_str());
    ASSERT_EQ(json_object_array_length(pictures), 2u);
    EXPECT_EQ(text_form(json_object_object_get(json_object_array_get_idx(pictures, 0), "img"), true), address1);
    EXPECT_EQ(text_form(json_object_object_get(json_object_array_get_idx(pictures, 1), "img"), true), address2);
}

}  // namespace
