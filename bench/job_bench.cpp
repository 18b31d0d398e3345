// A whole download job through the window (offscreen) against curl fetching the same pictures.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "job_pages.h"
#include "platform/codepage.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "ui/job_controller.h"
#include "ui/main_window.h"
#include "ui/test_dialogs.h"

namespace {

namespace fs = std::filesystem;

constexpr int picture_count = 500;
constexpr std::size_t picture_size = 100 * 1024;

// One item page with 500 pictures of 100 KB, served over loopback (pictures over HTTPS).
struct Fixture {
    Fixture() {
        std::string list;
        for (int i = 1; i <= picture_count; ++i) {
            std::string bytes = picture_bytes("bench", i);
            bytes.resize(picture_size, static_cast<char>(i));
            const std::string path = "/pics/" + std::to_string(i) + ".jpg";
            server.serve(path, bytes, "image/jpeg");
            urls.push_back(server.https_url(path));
            list += (list.empty() ? "\"" : ",\"") + urls.back().substr(6) + "\"";
        }
        const std::string page = gbk("<html><head><title>Bench-淘宝网</title><script>\n    itemId" + std::string(11, ' ') +
                                     ": '1',\n    auctionImages" + std::string(4, ' ') + ": [" + list + "]\n</script>");
        server.serve("/item.taobao.com/bench.htm", page, "text/html");
        line = server.http_url("/item.taobao.com/bench.htm");
    }

    vktest::TestServer server;
    std::string line;  // the address typed into the box
    std::vector<std::string> urls;
};

double run_job(Fixture& f) {
    TempDir run_dir, save_root;
    RecordingDialogs dialogs;
    MainWindow window(run_dir.gbk_path(), dialogs, [](WindowOps&) {});
    auto* controller = new JobController(window);
    window.ops().set_text("编辑框_保存位置", save_root.gbk_path());
    window.ops().set_text("编辑框_目标网址", f.line);
    window.show();
    QTimer wake;  // lets the loop below look at the worker between window requests
    wake.start(5);

    QElapsedTimer clock;
    clock.start();
    window.findChild<QAbstractButton*>(QString::fromUtf8("按钮_开始下载"))->click();
    auto gate = controller->control().worker_handle();
    while (!gate->finished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = clock.nsecsElapsed() / 1e9;

    const fs::path last = save_root.path() / "Bench_1/主图" / ("(" + std::to_string(picture_count) + ")主图.jpg");
    if (fs::file_size(last) != picture_size) std::abort();
    return seconds;
}

double run_curl(Fixture& f) {
    TempDir out;
    const fs::path config = out.path() / "list.cfg";
    {
        std::ofstream cfg(config);
        cfg << "silent\ninsecure\n";
        for (std::size_t i = 0; i < f.urls.size(); ++i)
            cfg << "url = \"" << f.urls[i] << "\"\noutput = \"" << (out.path() / (std::to_string(i + 1) + ".jpg")).string()
                << "\"\n";
    }
    QElapsedTimer clock;
    clock.start();
    const int status = std::system(("curl -K '" + config.string() + "'").c_str());
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (status != 0 || fs::file_size(out.path() / (std::to_string(picture_count) + ".jpg")) != picture_size) std::abort();
    return seconds;
}

void BM_JobAgainstCurl(benchmark::State& state) {
    static Fixture fixture;
    double job = 0, curl = 0;
    for (auto _ : state) {
        job += run_job(fixture);
        curl += run_curl(fixture);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["job_s"] = job / n;
    state.counters["curl_s"] = curl / n;
    state.counters["ratio"] = job / curl;  // goal: 1.3 or less
}
BENCHMARK(BM_JobAgainstCurl)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
