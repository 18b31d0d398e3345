// Both extractor libraries as the program uses them: loaded by file name from the build's bin
// folder, their exports looked up by name and called on pages served over HTTP.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "extractors/exports.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

// The host's job gate, exported from this program so the libraries find it as they would in
// the real host. It lets everything through unless a test stops it.
namespace {
std::atomic<int> gate_answer{1};
}
extern "C" __attribute__((visibility("default"), used)) int vesklar_job_gate() { return gate_answer.load(); }

namespace {

// A library loaded by file name, unloaded when destroyed.
class Library {
public:
    explicit Library(const std::string& file)
        : handle_(dlopen((std::string(VESKLAR_BIN_DIR) + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL)),
          error_(handle_ == nullptr ? dlerror() : "") {}
    ~Library() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

private:
    void* handle_;
    std::string error_;
};

// Each library stays loaded for the whole run, as in the program.
const Library& loaded_library(const std::string& file) {
    static std::map<std::string, Library> libraries;
    return libraries.try_emplace(file, file).first->second;
}

struct Marketplace {
    const char* name;
    const char* file;
    const char* export_name;
    const char* fixture_dir;
    std::vector<std::string> pages;  // fixture pages, each beside <page>.expected
};

std::ostream& operator<<(std::ostream& out, const Marketplace& m) { return out << m.name; }

const Marketplace taobao{"Taobao", "kestrelgrab.so", "kestrelgrab", "taobao", {"item", "other"}};
const Marketplace tmall{"Tmall", "falcongrab.so", "falcongrab", "tmall", {"item", "thumbs"}};

std::string fixture(const Marketplace& m, const std::string& page, const char* ext) {
    return vktest::read_fixture(std::string(m.fixture_dir) + "/" + page + ext);
}

std::string empty_record() {
    return "{\"shopinfo\":[{ \"title\":\"\" },{ \"sellernick\":\"\" },{ \"itemid\":\"\" }],\"" + gbk("主图") + "\":[]}";
}

// A loopback port nothing listens on: requests to it are refused at once.
const std::string refused_url = "http://127.0.0.1:1/item.htm?id=1";

std::filesystem::path lswb_path() { return native_path(run_directory() + "\\lswb.txt"); }

class ExtractorLibrary : public testing::TestWithParam<Marketplace> {
protected:
    void SetUp() override {
        const Library& library = loaded_library(GetParam().file);
        ASSERT_TRUE(library.loaded()) << library.error();
        extract_ = reinterpret_cast<vesklar_extract_fn>(library.symbol(GetParam().export_name));
        ASSERT_NE(extract_, nullptr) << GetParam().export_name << " not exported";
        for (const std::string& page : GetParam().pages)
            server_.serve("/" + page + ".htm", fixture(GetParam(), page, ".html"), "text/html; charset=gbk");
    }

    std::string extract(const char* url) {
        const char* record = extract_(url);
        EXPECT_NE(record, nullptr);
        return record != nullptr ? record : "<null>";
    }
    std::string extract(const std::string& url) { return extract(url.c_str()); }
    std::string page_url(const std::string& page) { return server_.http_url("/" + page + ".htm"); }

    vesklar_extract_fn extract_ = nullptr;
    vktest::TestServer server_;
};

TEST_P(ExtractorLibrary, NullOrEmptyAddressGivesTheEmptyRecord) {
    EXPECT_EQ(extract(nullptr), empty_record());
    EXPECT_EQ(extract(""), empty_record());
}

TEST_P(ExtractorLibrary, FailedFetchGivesTheEmptyRecord) {
    EXPECT_EQ(extract(refused_url), empty_record());
    EXPECT_EQ(extract(server_.http_url("/missing.htm")), empty_record());  // the 404 body holds no marker
}

TEST_P(ExtractorLibrary, EachPageGivesExactlyItsRecord) {
    for (const std::string& page : GetParam().pages) {
        SCOPED_TRACE(page);
        EXPECT_EQ(extract(page_url(page)), fixture(GetParam(), page, ".expected"));
    }
}

TEST_P(ExtractorLibrary, EveryCallFetchesAfreshAndReturnsItsOwnRecord) {
    const std::string& first = GetParam().pages.at(0);
    const std::string& second = GetParam().pages.at(1);
    const std::string first_record = extract(page_url(first));
    const std::string second_record = extract(page_url(second));
    EXPECT_EQ(first_record, fixture(GetParam(), first, ".expected"));
    EXPECT_EQ(second_record, fixture(GetParam(), second, ".expected"));
    EXPECT_EQ(extract(page_url(first)), first_record);

    ASSERT_EQ(server_.requests_to("/" + first + ".htm").size(), 2u);
    ASSERT_EQ(server_.requests_to("/" + second + ".htm").size(), 1u);
    EXPECT_EQ(server_.requests_to("/" + first + ".htm").at(0).method, "GET");
}

INSTANTIATE_TEST_SUITE_P(Both, ExtractorLibrary, testing::Values(taobao, tmall),
                         [](const testing::TestParamInfo<Marketplace>& info) { return info.param.name; });

TEST(ExtractorExports, EachLibraryExportsOnlyItsOwnFunctions) {
    const Library& kestrel = loaded_library("kestrelgrab.so");
    const Library& falcon = loaded_library("falcongrab.so");
    ASSERT_TRUE(kestrel.loaded()) << kestrel.error();
    ASSERT_TRUE(falcon.loaded()) << falcon.error();
    EXPECT_NE(kestrel.symbol("kestrelgrab"), nullptr);
    EXPECT_NE(falcon.symbol("falcongrab"), nullptr);
    EXPECT_NE(falcon.symbol("shuxingtushifoubaoliu_tmall"), nullptr);
    EXPECT_EQ(kestrel.symbol("falcongrab"), nullptr);
    EXPECT_EQ(kestrel.symbol("shuxingtushifoubaoliu_tmall"), nullptr);
    EXPECT_EQ(falcon.symbol("kestrelgrab"), nullptr);
}

TEST(ExtractorExports, EachLibraryKeepsItsOwnRecord) {
    const Library& kestrel = loaded_library(taobao.file);
    const Library& falcon = loaded_library(tmall.file);
    ASSERT_TRUE(kestrel.loaded()) << kestrel.error();
    ASSERT_TRUE(falcon.loaded()) << falcon.error();
    auto kestrelgrab = reinterpret_cast<vesklar_extract_fn>(kestrel.symbol("kestrelgrab"));
    auto falcongrab = reinterpret_cast<vesklar_extract_fn>(falcon.symbol("falcongrab"));
    ASSERT_NE(kestrelgrab, nullptr);
    ASSERT_NE(falcongrab, nullptr);
    vktest::TestServer server;
    server.serve("/taobao.htm", fixture(taobao, "item", ".html"));
    server.serve("/tmall.htm", fixture(tmall, "item", ".html"));

    // A call of one library leaves the text the other one returned untouched.
    const char* taobao_record = kestrelgrab(server.http_url("/taobao.htm").c_str());
    const char* tmall_record = falcongrab(server.http_url("/tmall.htm").c_str());
    EXPECT_EQ(std::string(taobao_record), fixture(taobao, "item", ".expected"));
    EXPECT_EQ(std::string(tmall_record), fixture(tmall, "item", ".expected"));
}

// ---- The page copy of the Taobao library ----

class TaobaoPageCopy : public testing::Test {
protected:
    void SetUp() override {
        const Library& library = loaded_library(taobao.file);
        ASSERT_TRUE(library.loaded()) << library.error();
        kestrelgrab_ = reinterpret_cast<vesklar_extract_fn>(library.symbol("kestrelgrab"));
        ASSERT_NE(kestrelgrab_, nullptr);
    }
    void TearDown() override { gate_answer = 1; }

    vesklar_extract_fn kestrelgrab_ = nullptr;
    vktest::TestServer server_;
};

TEST_F(TaobaoPageCopy, HoldsThePageOfTheLastCallOnly) {
    const std::string item = fixture(taobao, "item", ".html");
    const std::string other = fixture(taobao, "other", ".html");
    server_.serve("/item.htm", item);
    server_.serve("/other.htm", other);

    kestrelgrab_(server_.http_url("/item.htm").c_str());
    EXPECT_EQ(read_bytes(lswb_path()), item);
    kestrelgrab_(server_.http_url("/other.htm").c_str());
    EXPECT_EQ(read_bytes(lswb_path()), other);

    kestrelgrab_(refused_url.c_str());
    ASSERT_TRUE(std::filesystem::exists(lswb_path()));
    EXPECT_EQ(std::filesystem::file_size(lswb_path()), 0u);
}

TEST_F(TaobaoPageCopy, PageTextEndsAtTheFirstZeroByte) {
    const std::string head = "<title>" + gbk("马克杯-淘宝网") + "</title>\n";
    const std::string tail = "    sellerNick       : 'hidden',\n";
    server_.serve("/zero.htm", head + std::string(1, '\0') + tail);

    const std::string record = kestrelgrab_(server_.http_url("/zero.htm").c_str());
    EXPECT_EQ(read_bytes(lswb_path()), head);
    EXPECT_EQ(record, "{\"shopinfo\":[{ \"title\":\"" + gbk("马克杯") +
                          "\" },{ \"sellernick\":\"\" },{ \"itemid\":\"\" }],\"" + gbk("主图") + "\":[]}");
}

TEST_F(TaobaoPageCopy, UnwritableCopyLeavesTheRecordWhole) {
    // A directory where the file should be: the write fails, the record does not.
    std::filesystem::remove(lswb_path());
    ASSERT_TRUE(std::filesystem::create_directory(lswb_path()));
    server_.serve("/item.htm", fixture(taobao, "item", ".html"));

    const std::string record = kestrelgrab_(server_.http_url("/item.htm").c_str());
    EXPECT_TRUE(std::filesystem::is_directory(lswb_path()));
    std::filesystem::remove(lswb_path());
    EXPECT_EQ(record, fixture(taobao, "item", ".expected"));
}

TEST_F(TaobaoPageCopy, StoppedJobLeavesTheFileAlone) {
    write_bytes(lswb_path(), "earlier page");
    server_.serve("/item.htm", fixture(taobao, "item", ".html"));
    gate_answer = 0;

    EXPECT_EQ(std::string(kestrelgrab_(server_.http_url("/item.htm").c_str())), empty_record());
    EXPECT_EQ(read_bytes(lswb_path()), "earlier page");
}

TEST(TmallLibrary, WritesNoPageCopy) {
    const Library& library = loaded_library(tmall.file);
    ASSERT_TRUE(library.loaded()) << library.error();
    auto falcongrab = reinterpret_cast<vesklar_extract_fn>(library.symbol("falcongrab"));
    ASSERT_NE(falcongrab, nullptr);
    vktest::TestServer server;
    server.serve("/item.htm", fixture(tmall, "item", ".html"));
    std::filesystem::remove(lswb_path());

    EXPECT_EQ(std::string(falcongrab(server.http_url("/item.htm").c_str())), fixture(tmall, "item", ".expected"));
    EXPECT_FALSE(std::filesystem::exists(lswb_path()));
}

// ---- The stock export ----

struct StockCase {
    const char* name;
    std::optional<std::string> text;  // readable UTF-8, passed as GBK; nullopt passes a null pointer
    std::optional<std::string> key;
    int32_t result;
};

std::ostream& operator<<(std::ostream& out, const StockCase& c) { return out << c.name; }

class StockExport : public testing::TestWithParam<StockCase> {};

TEST_P(StockExport, TellsWhetherAPositiveFigureFollowsTheKey) {
    const Library& library = loaded_library(tmall.file);
    ASSERT_TRUE(library.loaded()) << library.error();
    auto stock = reinterpret_cast<vesklar_stock_fn>(library.symbol("shuxingtushifoubaoliu_tmall"));
    ASSERT_NE(stock, nullptr);

    const StockCase& c = GetParam();
    const std::optional<std::string> text = c.text ? std::optional(gbk(*c.text)) : std::nullopt;
    const std::optional<std::string> key = c.key ? std::optional(gbk(*c.key)) : std::nullopt;
    EXPECT_EQ(stock(text ? text->c_str() : nullptr, key ? key->c_str() : nullptr), c.result);
}

// A sku map entry as the page writes it: semicolon-separated property keys, stock last.
std::string sku(const std::string& keys, const std::string& stock) {
    return "\";" + keys + ";\":{\"price\":\"299.00\",\"skuId\":\"3123\",\"stock\":" + stock + "}";
}
std::string sku_map(const std::vector<std::string>& entries) {
    std::string map = "\"skuMap\":{";
    for (std::size_t i = 0; i < entries.size(); ++i) map += (i > 0 ? "," : "") + entries[i];
    return map + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StockExport,
    testing::Values(
        StockCase{"OnlyEntryHasZero", sku_map({sku("1627207:28341", "0")}), "1627207:28341", 0},
        StockCase{"OnlyEntryHasThree", sku_map({sku("1627207:28341", "3")}), "1627207:28341", 1},
        StockCase{"LaterOccurrenceHasFive",
                  sku_map({sku("1627207:28341;20509:1", "0"), sku("1627207:28342", "0"),
                           sku("1627207:28341;20509:2", "5")}),
                  "1627207:28341", 1},
        StockCase{"EntryWithoutTheKeyDoesNotCount", sku_map({sku("1627207:28341", "0"), sku("1627207:28342", "9")}),
                  "1627207:28341", 0},
        StockCase{"HalfCountsAsZero", sku_map({sku("1627207:28341", "0.5")}), "1627207:28341", 0},
        StockCase{"BlankBeforeTheFigure", sku_map({sku("1627207:28341", " 2")}), "1627207:28341", 1},
        StockCase{"QuotedFigureIsNoNumber", sku_map({sku("1627207:28341", "\"4\"")}), "1627207:28341", 0},
        StockCase{"EmptyKeyFindsAnyPositiveEntry", sku_map({sku("1:1", "0"), sku("2:2", "4")}), "", 1},
        StockCase{"EmptyKeyWithAllZero", sku_map({sku("1:1", "0"), sku("2:2", "0")}), "", 0},
        StockCase{"NullKeyCountsAsEmpty", sku_map({sku("2:2", "4")}), std::nullopt, 1},
        StockCase{"KeyNeverOccurs", sku_map({sku("1627207:28341", "3")}), "20509:28315", 0},
        StockCase{"EmptyText", "", "1627207:28341", 0},
        StockCase{"NullText", std::nullopt, "1627207:28341", 0},
        StockCase{"RejectedPatternGivesZero", sku_map({sku("1627207:(28341", "3")}), "1627207:(28341", 0},
        StockCase{"KeyKeepsItsPatternMeaning", sku_map({sku("1627207:28341", "2")}), "1627207:2834.", 1},
        StockCase{"ChineseKeyMatches", sku_map({sku("红色;XL", "6")}), "红色", 1},
        StockCase{"SemicolonOnAnEarlierLineDoesNotCount", "x;\n1627207:28341\",\"stock\":3}", "1627207:28341", 0}),
    [](const testing::TestParamInfo<StockCase>& info) { return std::string(info.param.name); });

TEST(StockExport, ReadsTheSkuMapOfAnItemPage) {
    const Library& library = loaded_library(tmall.file);
    ASSERT_TRUE(library.loaded()) << library.error();
    auto stock = reinterpret_cast<vesklar_stock_fn>(library.symbol("shuxingtushifoubaoliu_tmall"));
    ASSERT_NE(stock, nullptr);
    const std::string page = fixture(tmall, "item", ".html");

    // The page's sku map: 28341/28315 has 0, 28341/28316 has 7, 28342/28315 has 0.
    EXPECT_EQ(stock(page.c_str(), "1627207:28341"), 1);   // its second entry has stock
    EXPECT_EQ(stock(page.c_str(), "20509:28316"), 1);
    EXPECT_EQ(stock(page.c_str(), "1627207:28342"), 0);   // its only entry is empty
    EXPECT_EQ(stock(page.c_str(), "20509:28315"), 0);     // both its entries are empty
    EXPECT_EQ(stock(page.c_str(), "1627207:99999"), 0);
}

}  // namespace
