// Speed and memory of the line reader Class1, each figure beside a baseline measured in the same
// run, with the ratios printed at the end.
//
// Three files are timed, each against its own baselines: "uniform", lines of 18 to 58 letters,
// digits and spaces; "mixed", lines as real files hold them, 1 to 75 characters, some with
// spaces at either end, a tab or a NUL, which the clean-up options have work to do on; and
// "utf8", long LF lines of 20 to 4000 bytes of words in UTF-8, some of them not ASCII, some lines
// indented with tabs, on which the printable filter removes bytes from nearly every line.
//
// Full run (manual; writes three 200 MB and three 1 GB files under /tmp and removes them
// afterwards):
//   cmake --build build --target linereader_bench && build/bench/linereader_bench
// Smaller files for a quick look: QUENVAR_BENCH_MB=20 QUENVAR_BENCH_RSS_MB=64 linereader_bench
// Figures are for files in the page cache: each file is read once before it is measured. Ratios use
// CPU time and the best of the repetitions. Unless told otherwise on the command line, each
// benchmark runs five times, interleaved at random with the others, so that a slow spell of a
// shared machine does not fall on one side of a ratio only.
#include "Figures.h"
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

constexpr size_t kChunk = 4096;
// 14 bytes that the generated text (letters, digits, spaces) never holds.
const std::string kAbsent = "#absent-text#!";

long envNumber(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// Lines of 18 to 58 characters (letters, digits, spaces), or one line with no break.
std::string uniformBlock(std::mt19937& rng, bool withBreaks) {
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
    return block;
}

// Lines as real files hold them: 1 to 75 characters, about a fifth with 1 to 3 spaces at the
// start or the end, a tab in about one line in twenty and a NUL in about one in a hundred.
std::string mixedBlock(std::mt19937& rng) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
    std::string block;
    block.reserve(1 << 20);
    while (block.size() < (1u << 20) - 80) {
        std::string line(1 + rng() % 75, ' ');
        for (char& c : line)
            c = kChars[rng() % (sizeof kChars - 1)];
        if (rng() % 5 == 0) {
            const size_t spaces = std::min<size_t>(1 + rng() % 3, line.size());
            const size_t at = rng() % 2 ? 0 : line.size() - spaces;
            line.replace(at, spaces, spaces, ' ');
        }
        if (rng() % 20 == 0)
            line[rng() % line.size()] = '\t';
        if (rng() % 100 == 0)
            line[rng() % line.size()] = '\0';
        block += line + "\r\n";
    }
    return block;
}

// Lines of 20 to 4000 bytes of words, about one in eight not ASCII (two- and three-byte UTF-8),
// a quarter of the lines indented with one to three tabs, each ended by LF.
std::string utf8Block(std::mt19937& rng) {
    static const char* const kWords[] = {
        "the",    "reader",  "hands",  "out",     "a",       "line",    "at",
        "time",   "through", "buffer", "bounded", "size",    "with",    "options",
        "clean",  "each",    "file",   "slide",   "show",    "Impress", "display",
        "number", "café",    "naïve",  "Größe",   "straße",  "señor",   "déjà",
        "Ελλάδα", "город",   "€100",   "日本語",  "“quoted”"};
    std::string block;
    block.reserve(1 << 20);
    while (block.size() < (1u << 20) - 4096) {
        const size_t length = 20 + rng() % 3981;
        std::string line(rng() % 4 == 0 ? 1 + rng() % 3 : 0, '\t');
        while (line.size() < length) {
            const std::string word = rng() % 8 == 0 ? kWords[22 + rng() % 11] : kWords[rng() % 22];
            if (line.size() + word.size() + 1 > length)
                break;
            if (!line.empty() && line.back() != '\t')
                line += ' ';
            line += word;
        }
        line.resize(std::max<size_t>(line.size(), 20), '.');
        block += line + "\n";
    }
    return block;
}

// Writes bytes bytes of the block, repeated.
void writeFile(const std::string& path, long long bytes, const std::string& block) {
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
void BM_Baseline_ReadMemchr(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
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

void BM_Baseline_Getline(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
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

void readWithReader(benchmark::State& state, const std::string& path, bool filters) {
    for (auto _ : state) {
        Class1 reader;
        reader.setFileName(path);
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

void BM_Reader_FiltersOff(benchmark::State& state, const std::string& path) {
    readWithReader(state, path, false);
}
void BM_Reader_FiltersOn(benchmark::State& state, const std::string& path) {
    readWithReader(state, path, true);
}

// The baseline search: memmem over 4096-byte chunks, keeping the string's length minus one
// between chunks so that an occurrence across a chunk border is found.
void BM_Baseline_MemmemChunks(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
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

void BM_Reader_FindInFileAbsent(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        Class1 reader;
        reader.setFileName(path);
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
            const std::string& name = run.run_name.function_name;
            rates[name] = std::max(rates[name], 1.0 / seconds); // the best of any repetitions
            if (run.counters.count("lines"))
                lines[name] = run.counters.at("lines");
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
long peakGrowthReading(const std::string& path, bool filters);

long peakGrowthInChild(const std::string& path, bool filters = false) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const long growth = peakGrowthReading(path, filters);
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

long peakGrowthReading(const std::string& path, bool filters) {
    std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the current size
    const long before = kibibytesOf("VmRSS:");
    Class1 reader;
    reader.setFileName(path);
    reader.setStripNulls(filters);
    reader.setStripLeadingSpaces(filters);
    reader.setStripTrailingSpaces(filters);
    reader.setOnlyAlphaNumericCharacters(filters);
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
    std::mt19937 rng(12345);

    // Memory first, before the speed runs have grown the heap.
    const std::string bigLines = prefix + "-big-lines.txt";
    const std::string bigNoBreak = prefix + "-big-nobreak.txt";
    writeFile(bigLines, rssMegabytes << 20, uniformBlock(rng, true));
    const long growthLines = peakGrowthInChild(bigLines);
    std::remove(bigLines.c_str());
    writeFile(bigNoBreak, rssMegabytes << 20, uniformBlock(rng, false));
    const long growthNoBreak = peakGrowthInChild(bigNoBreak);
    std::remove(bigNoBreak.c_str());
    const std::string bigUtf8 = prefix + "-big-utf8.txt";
    writeFile(bigUtf8, rssMegabytes << 20, utf8Block(rng));
    const long growthUtf8 = peakGrowthInChild(bigUtf8, true);
    std::remove(bigUtf8.c_str());

    const std::vector<std::pair<std::string, std::string>> files = {
        {"uniform", uniformBlock(rng, true)}, {"mixed", mixedBlock(rng)}, {"utf8", utf8Block(rng)}};
    for (const auto& [name, block] : files) {
        const std::string path = prefix + "-" + name + ".txt";
        writeFile(path, megabytes << 20, block);
        warmCache(path);
        for (const auto& [function, run] : std::initializer_list<
                 std::pair<const char*, void (*)(benchmark::State&, const std::string&)>>{
                 {"BM_Baseline_ReadMemchr", BM_Baseline_ReadMemchr},
                 {"BM_Baseline_Getline", BM_Baseline_Getline},
                 {"BM_Reader_FiltersOff", BM_Reader_FiltersOff},
                 {"BM_Reader_FiltersOn", BM_Reader_FiltersOn},
                 {"BM_Baseline_MemmemChunks", BM_Baseline_MemmemChunks},
                 {"BM_Reader_FindInFileAbsent", BM_Reader_FindInFileAbsent}})
            benchmark::RegisterBenchmark((std::string(function) + "/" + name).c_str(), run, path)
                ->Unit(benchmark::kMillisecond);
    }

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
    for (const auto& [name, block] : files)
        std::remove((prefix + "-" + name + ".txt").c_str());

    for (const auto& [file, block] : files) {
        auto rate = [&](const char* function) { return reporter.rates[function + ("/" + file)]; };
        auto ratio = [&](const char* function, const char* baseline) {
            return rate(baseline) > 0 ? rate(function) / rate(baseline) : 0.0;
        };
        if (std::none_of(reporter.rates.begin(), reporter.rates.end(),
                         [&](const auto& entry) { return entry.first.ends_with("/" + file); }))
            continue;     // left out by --benchmark_filter
        double lines = 0; // every reading benchmark counts the same lines
        for (const auto& [name, count] : reporter.lines)
            if (name.ends_with("/" + file))
                lines = count;
        std::printf("\nFile \"%s\": %ld MB of %s lines, %.0f lines, BufferSize 4096\n",
                    file.c_str(), megabytes, file == "utf8" ? "LF" : "CR LF", lines);
        // Lines per second, and megabytes per second, which compares the files.
        auto speed = [&](const char* function) {
            return bench::format("%8.2f M lines/s %6.0f MB/s", lines * rate(function) / 1e6,
                                 megabytes * rate(function));
        };
        std::printf("baseline read()+memchr:          %s\n",
                    speed("BM_Baseline_ReadMemchr").c_str());
        std::printf("csGetALine, filters off:         %s  %.2fx baseline (goal >= 0.9)\n",
                    speed("BM_Reader_FiltersOff").c_str(),
                    ratio("BM_Reader_FiltersOff", "BM_Baseline_ReadMemchr"));
        std::printf("std::getline (reference):        %s  %.2fx baseline\n",
                    speed("BM_Baseline_Getline").c_str(),
                    ratio("BM_Baseline_Getline", "BM_Baseline_ReadMemchr"));
        std::printf("csGetALine, four filters on:     %s  %.2fx filters off (goal >= 0.5)\n",
                    speed("BM_Reader_FiltersOn").c_str(),
                    ratio("BM_Reader_FiltersOn", "BM_Reader_FiltersOff"));
        std::printf("memmem over 4096-byte chunks:    %8.2f GB/s\n",
                    megabytes / 1024.0 * rate("BM_Baseline_MemmemChunks"));
        std::printf("csFindInFile, absent 14 bytes:   %8.2f GB/s  %.2fx baseline (goal >= 0.9)\n",
                    megabytes / 1024.0 * rate("BM_Reader_FindInFileAbsent"),
                    ratio("BM_Reader_FindInFileAbsent", "BM_Baseline_MemmemChunks"));
    }
    std::printf("\npeak RSS growth, %ld MB of lines:      %ld KiB (goal well under 1024)\n",
                rssMegabytes, growthLines);
    std::printf("peak RSS growth, %ld MB with no break: %ld KiB (goal well under 1024)\n",
                rssMegabytes, growthNoBreak);
    std::printf("peak RSS growth, %ld MB of long UTF-8 lines, four filters on: %ld KiB (goal well "
                "under 1024)\n",
                rssMegabytes, growthUtf8);
    return 0;
}
