// Binding the extractor libraries' exports by file name, once per run.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "core/job_gate.h"

// An extractor export: takes an item-page address, returns the item record. The text belongs
// to the library and lives until the library's next call.
using ExtractFn = const char* (*)(const char*);

// A marketplace: the marker that recognises its lines, and its library's file and export.
struct Marketplace {
    std::string marker;
    std::string library_file;
    std::string function;
};

// The marketplaces of this build, in the order they are tried (Taobao, then Tmall).
const Marketplace& taobao_marketplace();
const Marketplace& tmall_marketplace();

// Binds each library the first time a job needs it and keeps it for the rest of the run.
// Calls into one library never overlap, so its result slot is read before its next call.
class ExtractorBinder {
public:
    // Libraries are looked for in `first_directory` (a GBK path text), then through the normal
    // library search. `end_program` ends the process after the error message (by default at
    // once, with status 1); if it returns, the job is abandoned as if stopped.
    explicit ExtractorBinder(std::string first_directory, std::function<void()> end_program = {});
    // Looks in the program's own directory first.
    ExtractorBinder();

    // A copy of the record the marketplace's export gives for `line` ("" for no text). A
    // library or export that cannot be found shows the error message and ends the program.
    std::string extract_item(const Marketplace& market, const std::string& line, JobSteps& steps);

    // The message for a library or export that cannot be found.
    static std::string missing_message(const Marketplace& market);

private:
    struct Bound {
        ExtractFn fn = nullptr;
        std::mutex calls;
    };
    Bound* bind(const Marketplace& market);

    std::string first_directory_;
    std::function<void()> end_program_;
    std::mutex mutex_;
    std::map<std::string, Bound> bound_;
};
