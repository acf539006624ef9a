// Reading a full set of spectra: 20 .esr files of 15000 points each, as when
// a whole series is loaded into the slots at once; and the same series as
// the spectrometer's BES3T file pairs.
#include "TYPEKIVO1_3.h"
#include "spectrometer_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

using namespace kivo;
namespace fs = std::filesystem;

namespace {

struct Series {
    fs::path dir;
    std::vector<std::string> paths;

    Series() {
        dir = fs::temp_directory_path() / ("kivo_bench_read_" + std::to_string(std::rand()));
        fs::create_directories(dir);
        PointBuffer x, y;
        x.Allocate();
        y.Allocate();
        for (int s = 1; s <= MaxSpec; ++s) {
            // First derivative of a Lorentzian line near g = 2, with a little
            // noise, over a 100 G sweep.
            ParamSpec p;
            p.Line1 = "Bench sample " + std::to_string(s);
            p.Line2 = "295 K, 9.3 GHz";
            p.ScanRange = 100;
            p.TimeScan = 4;
            p.Gain = 2e5;
            p.Modulation = 1;
            p.Power = 20;
            p.ExperimTime = 0.3L;
            p.NumPoints = MaxPoints;
            p.DeltaPoints = 100.0L / MaxPoints;
            const double centre = 3300 + 0.5 * s, width = 3 + 0.1 * s;
            unsigned noise = 12345u + unsigned(s);
            for (int k = 1; k <= MaxPoints; ++k) {
                const double b = 3250 + k * double(p.DeltaPoints);
                const double u = (b - centre) / width;
                noise = noise * 1103515245u + 12345u;
                x[k] = float(b);
                y[k] = float(-2 * u / ((1 + u * u) * (1 + u * u)) * 1e4 +
                             (double(noise >> 16 & 0x7FFF) / 32768 - 0.5) * 20);
            }
            char name[32];
            std::snprintf(name, sizeof name, "s%02d.esr", s);
            const std::string path = (dir / name).string();
            std::string error;
            if (!WriteSpectrumFile(p, x.Data(), y.Data(), path, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                std::abort();
            }
            paths.push_back(path);
        }
    }
    ~Series() { fs::remove_all(dir); }
};

// As the read command does it: the whole selection at once, on every core.
void BM_ReadSeries(benchmark::State& state) {
    static const Series series;
    std::vector<SpectrumRead> reads(series.paths.size());
    size_t bytes = 0;
    for (size_t i = 0; i < reads.size(); ++i) {
        reads[i].Path = series.paths[i];
        reads[i].Kind = KindEsr;
        bytes += fs::file_size(series.paths[i]);
    }
    for (auto _ : state) {
        ReadSpectrumFiles(reads);
        for (const SpectrumRead& r : reads)
            if (r.Result.Status != ReadStatus::Ok || r.Params.NumPoints != MaxPoints) {
                state.SkipWithError("a file did not read back");
                return;
            }
        benchmark::DoNotOptimize(reads.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_ReadSeries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The same files one after another on one thread.
void BM_ReadSeriesOneByOne(benchmark::State& state) {
    static const Series series;
    std::vector<ParamSpec> specs(series.paths.size());
    std::vector<PointBuffer> xs(series.paths.size()), ys(series.paths.size());
    for (auto _ : state) {
        for (size_t i = 0; i < series.paths.size(); ++i) {
            const ReadResult r = ReadSpectrumFile(series.paths[i], KindEsr, specs[i], xs[i], ys[i]);
            if (r.Status != ReadStatus::Ok || specs[i].NumPoints != MaxPoints) {
                state.SkipWithError("a file did not read back");
                return;
            }
        }
        benchmark::DoNotOptimize(specs.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReadSeriesOneByOne)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The same texts already in memory: the parsing share of the above.
void BM_ParseSeries(benchmark::State& state) {
    static const Series series;
    std::vector<std::string> texts;
    for (const auto& path : series.paths) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::string text(fs::file_size(path), '\0');
        if (!f || std::fread(text.data(), 1, text.size(), f) != text.size()) std::abort();
        std::fclose(f);
        texts.push_back(std::move(text));
    }
    ParamSpec p;
    PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    for (auto _ : state) {
        for (const auto& text : texts) {
            const ReadResult r = ReadSpectrumText(text, KindEsr, p, x.Data(), y.Data());
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ParseSeries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// 20 BES3T pairs of 15000 points (64-bit floats, big-endian, as the
// acquisition software writes them), read as the read command does.
struct Bes3tSeries {
    fs::path dir;
    std::vector<SpectrumRead> reads;

    Bes3tSeries() {
        dir = fs::temp_directory_path() / ("kivo_bench_bes3t_" + std::to_string(std::rand()));
        fs::create_directories(dir);
        for (int s = 1; s <= MaxSpec; ++s) {
            const kivo_examples::KnownSpectrum known =
                kivo_examples::DerivativeLine(MaxPoints, 3250 + s, 3350 + s);
            const kivo_examples::Bes3tFiles files = kivo_examples::Bes3t(known, {});
            SpectrumRead read;
            read.Kind = KindBes3t;
            char name[16];
            std::snprintf(name, sizeof name, "s%02d.DSC", s);
            read.Path = (dir / name).string();
            std::snprintf(name, sizeof name, "s%02d.DTA", s);
            read.DataPath = (dir / name).string();
            if (!kivo_examples::WriteBytes(read.Path, files.Dsc) ||
                !kivo_examples::WriteBytes(read.DataPath, files.Dta))
                std::abort();
            reads.push_back(std::move(read));
        }
    }
    ~Bes3tSeries() { fs::remove_all(dir); }
};

void BM_ReadBes3tSeries(benchmark::State& state) {
    static Bes3tSeries series;
    for (auto _ : state) {
        ReadSpectrumFiles(series.reads);
        for (const SpectrumRead& r : series.reads)
            if (r.Result.Status != ReadStatus::Ok || r.Params.NumPoints != MaxPoints) {
                state.SkipWithError("a file did not read back");
                return;
            }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReadBes3tSeries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_FormatSpectrum(benchmark::State& state) {
    PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    ParamSpec p;
    p.NumPoints = MaxPoints;
    for (int k = 1; k <= MaxPoints; ++k) x[k] = 3250 + 0.0067f * k, y[k] = std::sin(0.01f * k);
    for (auto _ : state) benchmark::DoNotOptimize(FormatSpectrum(p, x.Data(), y.Data()));
}
BENCHMARK(BM_FormatSpectrum)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
