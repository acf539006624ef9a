// kivo-batch's road for a long series: a BES3T file of 1 000 000 two-point
// slices read, treated and turned into CSV rows, one after another. Each
// slice must cost the same however many come before it, and the rows must
// not pile up: the run reports its peak memory beside its time.
#include "batch.h"
#include "spectrometer_writer.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kSlices = 1000000;

struct LongSeries {
    fs::path dir;
    std::string path;

    // Two slices from the generator, their descriptor's count made a
    // million and their data repeated: no million vectors to build first,
    // so the peak memory is the run's.
    LongSeries() {
        dir = fs::temp_directory_path() / ("kivo_bench_batch_" + std::to_string(std::rand()));
        fs::create_directories(dir);
        kivo_examples::KnownSeries s;
        s.First = kivo_examples::DerivativeLine(2, 3300, 3310);
        s.Unit.push_back('s'); // not = "s": GCC 12 warns falsely on it here
        s.Signals = {{1, -1}, {2, -2}};
        s.Values = {0, 1};
        kivo_examples::Bes3tFiles f = kivo_examples::Bes3tSeries(s, {'F', false, false, false});
        const size_t at = f.Dsc.find("YPTS\t2\n");
        if (at == std::string::npos) std::abort();
        // Appended piece by piece: GCC 12 warns falsely on a literal + a string.
        std::string count = "YPTS\t";
        count += std::to_string(kSlices);
        count += '\n';
        f.Dsc.replace(at, 7, count);
        std::string data;
        data.reserve(f.Dta.size() * kSlices / 2);
        for (int k = 0; k < kSlices / 2; ++k) data += f.Dta;
        path = (dir / "long.DSC").string();
        if (!kivo_examples::WriteBytes(path, f.Dsc) ||
            !kivo_examples::WriteBytes((dir / "long.DTA").string(), data))
            std::abort();
    }
    ~LongSeries() { fs::remove_all(dir); }
};

void BM_BatchSeriesOfAMillionSlices(benchmark::State& state) {
    static LongSeries series;
    const kivo::batch::Plan plan;
    for (auto _ : state) {
        size_t rows = 0, bytes = 0;
        kivo::batch::Run({series.path}, plan, 1,
                         [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                             for (const kivo::batch::Row& row : r) {
                                 rows += row.Done;
                                 bytes += kivo::batch::CsvLine(row, plan).size();
                             }
                         });
        if (rows != kSlices) {
            state.SkipWithError("a slice was refused");
            return;
        }
        benchmark::DoNotOptimize(bytes);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024;
}
BENCHMARK(BM_BatchSeriesOfAMillionSlices)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
