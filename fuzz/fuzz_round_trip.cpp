// Whatever Kivo reads it can save, and what it saved reads back to the same
// record and points: text -> record and points -> written file -> read
// again -> equal within each field's printed digits, and written again to
// the same bytes.
#include "TYPEKIVO1_3.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>

namespace {

using namespace kivo;

// Within half a unit of the last of d printed decimals.
bool SameFixed(long double a, long double b, int d) {
    return std::fabs(a - b) <= 0.5L * std::pow(10.0L, -d) * (1 + 1e-9L) + std::fabs(a) * 1e-15L;
}

// Within half a unit of the last of sig significant digits.
bool SameScientific(long double a, long double b, int sig) {
    return std::fabs(a - b) <= std::fabs(a) * 0.5L * std::pow(10.0L, 1 - sig) * (1 + 1e-9L);
}

bool SameHeader(const ParamSpec& a, const ParamSpec& b) {
    return a.Line1 == b.Line1 && a.Line2 == b.Line2 && a.NumPoints == b.NumPoints &&
           a.PhaseSign == b.PhaseSign && SameFixed(a.ScanRange, b.ScanRange, 0) &&
           SameFixed(a.TimeScan, b.TimeScan, 0) && SameScientific(a.Gain, b.Gain, 3) &&
           SameFixed(a.Modulation, b.Modulation, 3) && SameFixed(a.Power, b.Power, 2) &&
           SameFixed(a.ExperimTime, b.ExperimTime, 1) &&
           SameScientific(a.DeltaPoints, b.DeltaPoints, 15) &&
           SameFixed(a.SumLeft1, b.SumLeft1, 5) && SameFixed(a.SumRight1, b.SumRight1, 5) &&
           SameFixed(a.SumLeft2, b.SumLeft2, 0) && SameFixed(a.SumRight2, b.SumRight2, 0) &&
           SameFixed(a.StandartRuby, b.StandartRuby, 3) &&
           SameFixed(a.OtherStandart, b.OtherStandart, 3) &&
           SameScientific(a.NumParticles, b.NumParticles, 4) &&
           SameFixed(a.DblIntegral, b.DblIntegral, 5);
}

struct Points {
    // Exactly MaxPoints each, so ASan reports any write past the end.
    std::unique_ptr<float[]> x = std::make_unique<float[]>(MaxPoints);
    std::unique_ptr<float[]> y = std::make_unique<float[]>(MaxPoints);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    static Points first, second;
    constexpr float tiny = std::numeric_limits<float>::denorm_min();
    for (int kind : {KindEsr, KindTxt}) {
        ParamSpec p;
        if (ReadSpectrumText(text, kind, p, first.x.get(), first.y.get()).Status != ReadStatus::Ok)
            continue;
        const std::string written = FormatSpectrum(p, first.x.get(), first.y.get());
        ParamSpec q;
        const ReadResult r = ReadSpectrumText(written, KindEsr, q, second.x.get(), second.y.get());
        if (r.Status != ReadStatus::Ok || r.Truncated) std::abort();
        if (!SameHeader(p, q)) std::abort();
        double largest = 0;
        for (int k = 0; k < p.NumPoints; ++k) {
            const float x = first.x[size_t(k)], y = first.y[size_t(k)];
            largest = std::max(largest, double(std::fabs(y)));
            // Fields to 3 decimals, signals to 7 significant digits.
            if (std::fabs(x - second.x[size_t(k)]) > 0.0005f + std::fabs(x) * 1.2e-7f + tiny)
                std::abort();
            if (std::fabs(y - second.y[size_t(k)]) > std::fabs(y) * 6e-7f + tiny) std::abort();
        }
        // The amplitude is a difference of two signals.
        if (std::fabs(p.Amplitude - q.Amplitude) > largest * 1.2e-6 + 1e-44) std::abort();
        if (FormatSpectrum(q, second.x.get(), second.y.get()) != written) std::abort();
    }
    return 0;
}
