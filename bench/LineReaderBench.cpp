// Speed and memory of the line reader Class1, each figure beside a baseline measured in the same
// run, with the ratios printed at the end.
//
// Full run (manual; writes a 200 MB and two 1 GB files under /tmp and removes them afterwards):
//   cmake --build build --target linereader_bench && build/bench/linereader_bench
// Smaller files for a quick look: QUENVAR_BENCH_MB=20 QUENVAR_BENCH_RSS_MB=64 linereader_bench
// Figures are for files in the page cache: each file is read once before it is measured. Ratios use
// CPU time and the best of the repetitions. Unless told otherwise on the command line, each
// benchmark runs five times, interleaved at random with the others, so that a slow spell of a
// shared machine does not fall on one side of a ratio only.
#include "linereader/Class1.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string g_linesFile;
constexpr size_t kChunk = 4096;
// 14 bytes that the generated text (letters, digits, spaces) never holds.
const std::string kAbsent = "#absent-text#!";

long envNumber(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// Lines of 20 to 60 characters (40 on average) with CR LF endings, or one line with no break.
void writeFile(const std::string& path, long long bytes, bool withBreaks) {
    std::mt19937 rng(12345);
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
    std::string block;
    block.reserve(1 << 20);
    while (block.size() < (1u << 20) - 64) {
        const int length = withBreaks ? 18 + static_cast<int>(rng() % 41) : 64;
        for (int i = 0; i < length; ++i)
            block += kChars[rng() % (sizeof kChars - 1)];
        if (withBreaks)
            block += "\r\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long long written = 0; written < bytes;) {
        const long long take = std::min<long long>(bytes - written, block.size());
        out.write(block.data(), take);
        written += take;
    }
}

void warmCache(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(1 << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

// The baseline reader: read() in 4096-byte chunks, split with memchr, copy each line into a
// reused string.
void BM_Baseline_ReadMemchr(benchmark::State& state) {
    for (auto _ : state) {
        int fd = ::open(g_linesFile.c_str(), O_RDONLY);
        char chunk[kChunk];
        std::string line, carry;
        int64_t lines = 0;
        size_t total = 0;
        ssize_t got;
        while ((got = ::read(fd, chunk, kChunk)) > 0) {
            const char* p = chunk;
            const char* end = chunk + got;
            while (const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p))) {
                if (carry.empty()) {
                    line.assign(p, nl - p);
                } else {
                    carry.append(p, nl - p);
                    line.swap(carry);
                    carry.clear();
                }
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                total += line.size();
                ++lines;
                p = nl + 1;
            }
            carry.append(p, end - p);
        }
        ::close(fd);
        benchmark::DoNotOptimize(total);
        state.counters["lines"] = static_cast<double>(lines);
        state.SetItemsProcessed(state.items_processed() + lines);
    }
}

void BM_Baseline_Getline(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream in(g_linesFile, std::ios::binary);
        std::string line;
        int64_t lines = 0;
        size_t total = 0;
        while (std::getline(in, line)) {
            total += line.size();
            ++lines;
        }
        benchmark::DoNotOptimize(total);
        state.SetItemsProcessed(state.items_processed() + lines);
    }
}

void readWithReader(benchmark::State& state, bool filters) {
    for (auto _ : state) {
        Class1 reader;
        reader.setFileName(g_linesFile);
        reader.setStripNulls(filters);
        reader.setStripLeadingSpaces(filters);
        reader.setStripTrailingSpaces(filters);
        reader.setOnlyAlphaNumericCharacters(filters);
        if (reader.cfOpenFile() != 0) {
            state.SkipWithError("cannot open the file");
            return;
        }
        int64_t lines = 0;
        size_t total = 0;
        for (;;) {
            reader.csGetALine();
            if (reader.EndOfFile())
                break;
            total += reader.Text().size();
            ++lines;
        }
        benchmark::DoNotOptimize(total);
        state.counters["lines"] = static_cast<double>(lines);
        state.SetItemsProcessed(state.items_processed() + lines);
    }
}

void BM_Reader_FiltersOff(benchmark::State& state) {
    readWithReader(state, false);
}
void BM_Reader_FiltersOn(benchmark::State& state) {
    readWithReader(state, true);
}

// The baseline search: memmem over 4096-byte chunks, keeping the string's length minus one
// between chunks so that an occurrence across a chunk border is found.
void BM_Baseline_MemmemChunks(benchmark::State& state) {
    for (auto _ : state) {
        int fd = ::open(g_linesFile.c_str(), O_RDONLY);
        std::vector<char> buffer(kChunk + kAbsent.size());
        size_t kept = 0;
        bool found = false;
        int64_t bytes = 0;
        ssize_t got;
        while (!found && (got = ::read(fd, buffer.data() + kept, kChunk)) > 0) {
            const size_t size = kept + static_cast<size_t>(got);
            bytes += got;
            found = ::memmem(buffer.data(), size, kAbsent.data(), kAbsent.size()) != nullptr;
            kept = std::min(size, kAbsent.size() - 1);
            std::memmove(buffer.data(), buffer.data() + size - kept, kept);
        }
        ::close(fd);
        benchmark::DoNotOptimize(found);
        state.SetBytesProcessed(state.bytes_processed() + bytes);
    }
}

void BM_Reader_FindInFileAbsent(benchmark::State& state) {
    for (auto _ : state) {
        Class1 reader;
        reader.setFileName(g_linesFile);
        if (reader.cfOpenFile() != 0) {
            state.SkipWithError("cannot open the file");
            return;
        }
        const int64_t bytes = reader.BytesLeft();
        reader.csFindInFile(kAbsent, false);
        if (!reader.Text().empty())
            state.SkipWithError("found the absent text");
        state.SetBytesProcessed(state.bytes_processed() + bytes);
    }
}

BENCHMARK(BM_Baseline_ReadMemchr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_Getline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader_FiltersOff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader_FiltersOn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_MemmemChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reader_FindInFileAbsent)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's best rate so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            // Every iteration does the same whole-file pass, so the rate is 1 / time per pass.
            // CPU time, not wall time: the machine is shared, and waiting for it is no one's speed.
            const double seconds =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            double& rate = rates[run.run_name.function_name];
            rate = std::max(rate, 1.0 / seconds); // the best of any repetitions
            if (run.counters.count("lines"))
                lines[run.run_name.function_name] = run.counters.at("lines");
        }
    }
    std::map<std::string, double> rates;
    std::map<std::string, double> lines;
};

long kibibytesOf(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return -1;
}

// Peak resident memory gained while the reader goes through the whole file, in KiB, measured in
// a child process so that heap memory freed by earlier work cannot hide the reader's own.
long peakGrowthReading(const std::string& path);

long peakGrowthInChild(const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const long growth = peakGrowthReading(path);
        (void)!::write(fds[1], &growth, sizeof growth);
        ::_exit(0);
    }
    ::close(fds[1]);
    long growth = -1;
    if (child > 0 && ::read(fds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    ::close(fds[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return growth;
}

long peakGrowthReading(const std::string& path) {
    std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the current size
    const long before = kibibytesOf("VmRSS:");
    Class1 reader;
    reader.setFileName(path);
    if (reader.cfOpenFile() != 0)
        return -1;
    size_t total = 0;
    do {
        reader.csGetALine();
        total += reader.Text().size();
    } while (!reader.EndOfFile());
    benchmark::DoNotOptimize(total);
    return kibibytesOf("VmHWM:") - before;
}

} // namespace

int main(int argc, char** argv) {
    const long megabytes = envNumber("QUENVAR_BENCH_MB", 200);
    const long rssMegabytes = envNumber("QUENVAR_BENCH_RSS_MB", 1024);
    const std::string prefix = "/tmp/linereader-bench-" + std::to_string(::getpid());
    g_linesFile = prefix + "-lines.txt";

    // Memory first, before the speed runs have grown the heap.
    const std::string bigLines = prefix + "-big-lines.txt";
    const std::string bigNoBreak = prefix + "-big-nobreak.txt";
    writeFile(bigLines, rssMegabytes << 20, true);
    const long growthLines = peakGrowthInChild(bigLines);
    std::remove(bigLines.c_str());
    writeFile(bigNoBreak, rssMegabytes << 20, false);
    const long growthNoBreak = peakGrowthInChild(bigNoBreak);
    std::remove(bigNoBreak.c_str());

    writeFile(g_linesFile, megabytes << 20, true);
    warmCache(g_linesFile);
    std::vector<char*> args(argv, argv + argc);
    auto given = [&](const char* flag) {
        return std::any_of(args.begin(), args.end(), [&](const char* a) {
            return std::strncmp(a, flag, std::strlen(flag)) == 0;
        });
    };
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleaving[] = "--benchmark_enable_random_interleaving=true";
    if (!given("--benchmark_repetitions"))
        args.push_back(repetitions);
    if (!given("--benchmark_enable_random_interleaving"))
        args.push_back(interleaving);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::remove(g_linesFile.c_str());

    auto& r = reporter.rates;
    auto ratio = [&](const char* name, const char* baseline) {
        return r.count(name) && r.count(baseline) ? r[name] / r[baseline] : 0.0;
    };
    const double lines = reporter.lines["BM_Baseline_ReadMemchr"];
    std::printf("\nFile: %ld MB of CR LF lines, %.0f lines, BufferSize 4096\n", megabytes, lines);
    std::printf("baseline read()+memchr:          %8.2f M lines/s\n",
                lines * r["BM_Baseline_ReadMemchr"] / 1e6);
    std::printf("csGetALine, filters off:         %8.2f M lines/s  %.2fx baseline (goal >= 0.9)\n",
                lines * r["BM_Reader_FiltersOff"] / 1e6,
                ratio("BM_Reader_FiltersOff", "BM_Baseline_ReadMemchr"));
    std::printf("std::getline (reference):        %8.2f M lines/s  %.2fx baseline\n",
                lines * r["BM_Baseline_Getline"] / 1e6,
                ratio("BM_Baseline_Getline", "BM_Baseline_ReadMemchr"));
    std::printf(
        "csGetALine, four filters on:     %8.2f M lines/s  %.2fx filters off (goal >= 0.5)\n",
        lines * r["BM_Reader_FiltersOn"] / 1e6,
        ratio("BM_Reader_FiltersOn", "BM_Reader_FiltersOff"));
    std::printf("memmem over 4096-byte chunks:    %8.2f GB/s\n",
                megabytes / 1024.0 * r["BM_Baseline_MemmemChunks"]);
    std::printf("csFindInFile, absent 14 bytes:   %8.2f GB/s  %.2fx baseline (goal >= 0.9)\n",
                megabytes / 1024.0 * r["BM_Reader_FindInFileAbsent"],
                ratio("BM_Reader_FindInFileAbsent", "BM_Baseline_MemmemChunks"));
    std::printf("peak RSS growth, %ld MB of lines:      %ld KiB (goal well under 1024)\n",
                rssMegabytes, growthLines);
    std::printf("peak RSS growth, %ld MB with no break: %ld KiB (goal well under 1024)\n",
                rssMegabytes, growthNoBreak);
    return 0;
}
