// Page text -> item record for both marketplaces, over small pages that each show one rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extractors/falcongrab/tmall_record.h"
#include "extractors/kestrelgrab/taobao_record.h"
#include "platform/codepage.h"

namespace {

// The record spelled out piece by piece, independent of the record module.
std::string expected_record(const std::string& title, const std::string& nick, const std::string& id,
                            const std::vector<std::string>& pictures) {
    std::string record = "{\"shopinfo\":[{ \"title\":\"" + gbk(title) + "\" },{ \"sellernick\":\"" + gbk(nick) +
                         "\" },{ \"itemid\":\"" + gbk(id) + "\" }],\"" + gbk("主图") + "\":[";
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (i > 0) record += ",";
        record += "{ \"img\":\"" + gbk(pictures[i]) + "\" }";
    }
    return record + "]}";
}

struct PageCase {
    const char* name;
    std::string page;  // readable UTF-8, stored as GBK before reading
    std::string title, nick, id;
    std::vector<std::string> pictures;
};

std::ostream& operator<<(std::ostream& out, const PageCase& c) { return out << c.name; }
std::string case_name(const testing::TestParamInfo<PageCase>& info) { return info.param.name; }

// A Taobao g_config block with the page's own alignment of the member names.
std::string taobao_page(const std::string& title, const std::string& list,
                        const std::string& nick_line = "    sellerNick       : '小鹿家',\n") {
    return "<html><head><title>" + title + "</title>\n<script>\nvar g_config = {\n" +
           "    itemId           : '41234567890',\n" + nick_line + "    auctionImages    : [" + list +
           "]\n};\n</script>\n";
}

class TaobaoPage : public testing::TestWithParam<PageCase> {};

TEST_P(TaobaoPage, GivesItsRecord) {
    const PageCase& c = GetParam();
    EXPECT_EQ(taobao_page_record(gbk(c.page)), expected_record(c.title, c.nick, c.id, c.pictures));
}

const std::string two_pictures = "\"//img.example.com/i1/a.jpg\",\"//img.example.com/i2/b.jpg\"";

INSTANTIATE_TEST_SUITE_P(
    Rules, TaobaoPage,
    testing::Values(
        PageCase{"EmptyPage", "", "", "", "", {}},
        PageCase{"SuffixDeleted", taobao_page("纯棉T恤-淘宝网", two_pictures), "纯棉T恤", "小鹿家", "41234567890",
                 {"https://img.example.com/i1/a.jpg", "https://img.example.com/i2/b.jpg"}},
        PageCase{"SuffixDeletedTwice", taobao_page("马克杯-淘宝网 水杯-淘宝网", ""), "马克杯 水杯", "小鹿家", "41234567890", {}},
        PageCase{"TitleWithoutSuffixUnchanged", taobao_page("马克杯 淘宝", ""), "马克杯 淘宝", "小鹿家", "41234567890", {}},
        PageCase{"TitleAndNickKeepTheirQuotes",
                 taobao_page("\"爆款\"马克杯", "", "    sellerNick       : '小\"鹿\"家',\n"), "\"爆款\"马克杯",
                 "小\"鹿\"家", "41234567890", {}},
        PageCase{"OtherNickAlignmentGivesNoNick",
                 taobao_page("杯", "", "    sellerNick        : '小鹿家',\n"), "杯", "", "41234567890", {}},
        PageCase{"EmptyEntryGivesSchemeAlone", taobao_page("杯", "\"//img.example.com/i1/a.jpg\",\"\""), "杯",
                 "小鹿家", "41234567890", {"https://img.example.com/i1/a.jpg", "https:"}},
        PageCase{"EntryWithSchemeStillGetsOne", taobao_page("杯", "\"https://img.example.com/a.jpg\""), "杯",
                 "小鹿家", "41234567890", {"https:https://img.example.com/a.jpg"}},
        PageCase{"NoPictureList", "<title>杯-淘宝网</title>\n    sellerNick       : '店'\n", "杯", "店", "", {}},
        PageCase{"QuotesLeaveTheItemId",
                 "<title>杯</title>\n    itemId           : '\"5209\"8',\n    sellerNick       : '店',\n", "杯",
                 "店", "52098", {}},
        PageCase{"ItemIdMarkerStartsWithABlank",
                 "<title>杯</title>\n\titemId           : '7',\n    itemId           : '8',\n", "杯", "", "8", {}},
        PageCase{"MarkersAreCaseSensitive",
                 "<TITLE>杯</TITLE>\n    SellerNick       : '店',\n    ItemId           : '9',\n"
                 "    AuctionImages    : [\"//img.example.com/a.jpg\"]\n",
                 "", "", "", {}}),
    case_name);

// A Tmall page: CR LF lines, the hidden seller input, the item id member and a picture source.
std::string tmall_page(const std::string& title, const std::string& pictures_json, const std::string& thumbs = "",
                       const std::string& line_end = "\r\n") {
    return "<html><head><title>" + title + "</title>" + line_end +
           "<input type=\"hidden\" name=\"seller_nickname\" value=\"绸缎坊\" />" + line_end + "<ul>" + line_end +
           thumbs + "</ul>" + line_end + "TShop.Setup({\"itemDO\":{\"itemId\":\"536000111222\"},\"propertyPics\":" +
           pictures_json + "});" + line_end;
}

std::string thumb(const std::string& src) {
    return "<li><a href=\"#\"><img src=\"" + src + "\" /></a></li>\r\n";
}

class TmallPage : public testing::TestWithParam<PageCase> {};

TEST_P(TmallPage, GivesItsRecord) {
    const PageCase& c = GetParam();
    EXPECT_EQ(tmall_page_record(gbk(c.page)), expected_record(c.title, c.nick, c.id, c.pictures));
}

const std::string thumbs = thumb("//img.example.com/t1.jpg_60x60q90.jpg") + thumb("//img.example.com/t2.png_60X60Q90.JPG");

INSTANTIATE_TEST_SUITE_P(
    Rules, TmallPage,
    testing::Values(
        PageCase{"EmptyPage", "", "", "", "", {}},
        PageCase{"DefaultList",
                 tmall_page("连衣裙-tmall.com天猫", "{\"default\":[" + two_pictures + "]}", thumbs), "连衣裙", "绸缎坊",
                 "536000111222", {"https://img.example.com/i1/a.jpg", "https://img.example.com/i2/b.jpg"}},
        PageCase{"EmptyDefaultListFallsBackToThumbnails", tmall_page("连衣裙", "{\"default\":[]}", thumbs), "连衣裙",
                 "绸缎坊", "536000111222", {"https://img.example.com/t1.jpg", "https://img.example.com/t2.png"}},
        PageCase{"NoDefaultListFallsBackToThumbnails", tmall_page("连衣裙", "{}", thumbs), "连衣裙", "绸缎坊",
                 "536000111222", {"https://img.example.com/t1.jpg", "https://img.example.com/t2.png"}},
        PageCase{"DefaultListWithoutMatchDoesNotFallBack",
                 tmall_page("连衣裙", "{\"default\":[\"https://img.example.com/a.jpg\"]}", thumbs), "连衣裙", "绸缎坊",
                 "536000111222", {}},
        PageCase{"TextUpToTheClosingBracketIsSearched",
                 tmall_page("裙", "{\"default\":[\"//img.example.com/a.jpg\"],\"x\":[\"//img.example.com/b.jpg\"]}"),
                 "裙", "绸缎坊", "536000111222", {"https://img.example.com/a.jpg", "https://img.example.com/b.jpg"}},
        PageCase{"QuotesLeaveTheTitle", tmall_page("\"爆款\"裙-tmall.com天猫", "{}"), "爆款裙", "绸缎坊", "536000111222", {}},
        PageCase{"TitleWithoutSuffixOnlyLosesQuotes", tmall_page("\"爆款\"裙 天猫", "{}"), "爆款裙 天猫", "绸缎坊",
                 "536000111222", {}},
        PageCase{"SuffixInCapitalsStays", tmall_page("裙-TMALL.COM天猫", "{}"), "裙-TMALL.COM天猫", "绸缎坊",
                 "536000111222", {}},
        PageCase{"MarkersAreCaseSensitive",
                 "<Title>裙</Title>\r\n<input type=\"hidden\" name=\"SELLER_NICKNAME\" value=\"店\" />\r\n"
                 "{\"itemid\":\"5\",\"DEFAULT\":[\"//img.example.com/a.jpg\"]}\r\n",
                 "", "", "", {}},
        PageCase{"BareLineFeedsGiveNoNick", tmall_page("裙", "{}", "", "\n"), "裙", "", "536000111222", {}},
        PageCase{"QuotesLeaveTheNick",
                 "<title>裙</title>\r\n<input type=\"hidden\" name=\"seller_nickname\" value=\"绸\"缎\"坊\" />\r\n", "裙",
                 "绸缎坊", "", {}}),
    case_name);

}  // namespace
