// HTTP speed against the in-process test server: web_request beside plain libcurl and the
// curl program, measured in the same run; prints the ratios.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "platform/files.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "webkit/web_request.h"

namespace {

constexpr int small_count = 200;         // small pages fetched one after another
constexpr int picture_count = 500;       // pictures of a job
constexpr std::size_t picture_size = 100 * 1024;

vktest::TestServer& server() {
    static vktest::TestServer* s = [] {
        auto* made = new vktest::TestServer;
        made->serve("/small", std::string(2048, 's'), "text/html");
        std::string picture(picture_size, '\0');
        for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(i * 131 % 251);
        for (int i = 0; i < picture_count; ++i) made->serve("/pic/" + std::to_string(i) + ".jpg", picture, "image/jpeg");
        return made;
    }();
    return *s;
}

// Seconds per iteration of each benchmark, for the ratios printed at the end.
std::map<std::string, double>& seconds() {
    static std::map<std::string, double> m;
    return m;
}

template <class F>
void timed(benchmark::State& state, const std::string& name, F body) {
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        body();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    seconds()[name] = total / static_cast<double>(state.iterations());
}

std::size_t discard(char*, std::size_t size, std::size_t n, void*) { return size * n; }

void BM_small_web_request(benchmark::State& state) {
    std::string url = server().https_url("/small");
    timed(state, "small_web_request", [&] {
        for (int i = 0; i < small_count; ++i) benchmark::DoNotOptimize(web_request(url));
    });
}

void BM_small_plain_curl(benchmark::State& state) {
    std::string url = server().https_url("/small");
    timed(state, "small_plain_curl", [&] {
        CURL* h = curl_easy_init();
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, discard);
        for (int i = 0; i < small_count; ++i) curl_easy_perform(h);
        curl_easy_cleanup(h);
    });
}

void BM_job_web_request(benchmark::State& state) {
    TempDir dir;
    timed(state, "job_web_request", [&] {
        for (int i = 0; i < picture_count; ++i) {
            std::string bytes = web_request(server().https_url("/pic/" + std::to_string(i) + ".jpg"), 0, {}, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, false, {}, {}, 50);
            write_file(dir.gbk_path() + "/(" + std::to_string(i + 1) + ").jpg", bytes);
        }
    });
}

void BM_job_curl_program(benchmark::State& state) {
    TempDir dir;
    std::string config = (dir.path() / "list.txt").string();
    {
        std::ofstream out(config);
        for (int i = 0; i < picture_count; ++i) {
            out << "url = \"" << server().https_url("/pic/" + std::to_string(i) + ".jpg") << "\"\n";
            out << "output = \"" << (dir.path() / ("(" + std::to_string(i + 1) + ").jpg")).string() << "\"\n";
        }
    }
    std::string command = "curl --silent --insecure --http1.1 --noproxy '*' -K '" + config + "'";
    timed(state, "job_curl_program", [&] {
        if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
    });
}

BENCHMARK(BM_small_web_request)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_small_plain_curl)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_job_web_request)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_job_curl_program)->Unit(benchmark::kMillisecond)->Iterations(3);

void print_ratio(const char* what, const std::string& ours, const std::string& reference, double goal) {
    auto& s = seconds();
    if (!s.count(ours) || !s.count(reference) || s[reference] <= 0) return;
    double ratio = s[ours] / s[reference];
    std::printf("%s: %.1f ms against %.1f ms, ratio %.2f (goal <= %.1f)\n", what, s[ours] * 1000, s[reference] * 1000,
                ratio, goal);
}

}  // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    server();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    print_ratio("200 small HTTPS fetches, web_request vs one reused libcurl handle", "small_web_request",
                "small_plain_curl", 1.3);
    print_ratio("500 pictures of 100 KB over HTTPS written to files, web_request vs curl -K", "job_web_request",
                "job_curl_program", 1.2);
    return 0;
}
