// Speed and allocations of the builder for four keywords with subsets (60 lines), against a
// plain memcpy of as many bytes as it outputs; and the writer alone, as the command-line
// program uses it.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "generator/permutation_text.h"

namespace {
std::atomic<long> allocations{0};

// Four keywords of `length` bytes each, kept for the KeywordList that looks at them.
struct FourKeywords {
    std::string words[4];
    explicit FourKeywords(size_t length) {
        char fill = 'a';
        for (std::string& word : words) word.assign(length, fill++);
    }
    KeywordList List() const { return {{words[0], words[1], words[2], words[3]}}; }
};

void BM_Build(benchmark::State& state) {
    const FourKeywords stored(static_cast<size_t>(state.range(0)));
    const KeywordList keywords = stored.List();
    size_t bytes = 0;
    const long before = allocations.load();
    for (auto _ : state) {
        Text text = BuildPermutationText(keywords, kQuoteDelimiters, true);
        bytes = text.Size();
        benchmark::DoNotOptimize(text.Data());
    }
    state.counters["allocs_per_call"] =
        static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
    state.counters["output_bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}

// What the command-line program does per keyword set: the text written into a buffer that is
// reused from set to set, every line ended by LF.
void BM_WriteIntoReusedBuffer(benchmark::State& state) {
    const FourKeywords stored(static_cast<size_t>(state.range(0)));
    const KeywordList keywords = stored.List();
    const LineLayout layout{"\"", "\"", "\n", true};
    std::vector<char> buffer(LaidOutTextLength(keywords, true, layout));
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteLaidOutText(keywords, true, layout, buffer.data()));
        benchmark::ClobberMemory();
    }
    state.counters["output_bytes"] = static_cast<double>(buffer.size());
    state.SetBytesProcessed(static_cast<int64_t>(buffer.size() * state.iterations()));
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = BuildPermutationText(FourKeywords(static_cast<size_t>(state.range(0))).List(),
                                              kQuoteDelimiters, true).Size();
    std::vector<char> source(bytes, 'x');
    std::vector<char> destination(bytes);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), bytes);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}

BENCHMARK(BM_Build)->Arg(8)->Arg(32 * 1024);
BENCHMARK(BM_WriteIntoReusedBuffer)->Arg(8)->Arg(32 * 1024);
BENCHMARK(BM_Memcpy)->Arg(8)->Arg(32 * 1024);

// Prints, after the usual table, each builder time as a multiple of the memcpy time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.benchmark_name();
            times_[name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* size : {"8", "32768"}) {
            const double build = times_[std::string("BM_Build/") + size];
            const double copy = times_[std::string("BM_Memcpy/") + size];
            if (copy > 0) std::printf("keywords of %s bytes: builder / memcpy = %.2f\n", size, build / copy);
        }
    }

private:
    std::map<std::string, double> times_;
};
}  // namespace

int main(int argc, char** argv) {
    // Every text's memory is counted.
    SetTextAllocator([](size_t size) {
        ++allocations;
        return std::malloc(size);
    });
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
