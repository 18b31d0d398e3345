// Cost of one thumbnail-pattern search over a 1 MB GBK item page, next to the GBK decoding and a plain text scan of the same page.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/codepage.h"
#include "webkit/regex_matcher.h"
#include "webkit/text.h"

namespace {

// Item-page-like markup: Chinese text, attributes in quotes, script with semicolons, CR LF
// line ends, and five thumbnail links (one with its suffix in capitals) near the end.
const std::string& page() {
    static const std::string text = [] {
        std::string line = gbk(
            "<div class=\"tb-detail\" data-id=\"5512\"><span>宝贝详情 主图 颜色分类：红色</span>"
            "<script>var g_config = {\"price\":\"12.80\", \"stock\":3}; load();</script></div>\r\n");
        std::string s;
        while (s.size() < (1u << 20)) s += line;
        for (int i = 0; i < 5; ++i) {
            s += gbk("<li><a href=\"#\"><img src=\"//img.example.com/imgextra/i") + std::to_string(i) +
                 (i == 2 ? "_60x60q90.JPG" : "_60x60q90.jpg") + "\" /></a></li>\r\n";
        }
        return s;
    }();
    return text;
}

const char* const thumbnail_pattern = R"re(<a href="#"><img src="//(.*?)_60x60q90.jpg" /></a>)re";

void BM_ThumbnailSearch(benchmark::State& state) {
    for (auto _ : state) {
        RegexMatcher m;
        m.search(thumbnail_pattern, page());
        int n = m.match_count();
        for (int i = 1; i <= n; ++i) benchmark::DoNotOptimize(m.submatch_text(i, 1));
        if (n != 5) state.SkipWithError("expected five thumbnails");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_ThumbnailSearch)->Unit(benchmark::kMillisecond);

// Reference: decoding the page with its offset table, which every search pays.
void BM_ReferenceDecode(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(gbk_to_utf16_indexed(page()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_ReferenceDecode)->Unit(benchmark::kMillisecond);

// Reference: a case-insensitive scan for the literal head of the pattern, the least any
// search for it has to do.
void BM_ReferenceTextScan(benchmark::State& state) {
    const std::string head = "<a href=\"#\"><img src=\"//";
    for (auto _ : state) {
        int found = 0;
        for (int at = find_text(page(), head, 1, true); at != -1; at = find_text(page(), head, at + 1, true)) ++found;
        if (found != 5) state.SkipWithError("expected five thumbnails");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page().size()));
}
BENCHMARK(BM_ReferenceTextScan)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
