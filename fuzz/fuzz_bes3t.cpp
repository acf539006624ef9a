// Any BES3T descriptor text with any data and axis bytes: the reader must
// neither crash nor read past the bytes it was given, and what it takes is
// a spectrum Kivo can hold.
#include "TYPEKIVO1_3.h"
#include "fuzz_spectrometer.h"

#include <cmath>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    const SpectrometerInput in = SplitInput(data, size);
    // Exactly MaxPoints each, so ASan reports any write past the end.
    static const auto x = std::make_unique<float[]>(MaxPoints);
    static const auto y = std::make_unique<float[]>(MaxPoints);
    const SpectrometerHeader h = ReadBes3tDescriptor(in.Text);
    if (h.Result.Status == ReadStatus::Ok &&
        (h.Points < 2 || h.Points > MaxSweepPoints || h.PointBytes < 1 || h.PointBytes > 16))
        std::abort();
    for (bool withAxis : {true, false}) {
        ParamSpec p;
        const ReadResult r =
            ReadSpectrometerData(h, in.Data, withAxis ? &in.Axis : nullptr, p, x.get(), y.get());
        const bool ok = r.Status == ReadStatus::Ok;
        if (ok != (p.NumPoints >= 2) || p.NumPoints > MaxPoints) std::abort();
        if (ok && (in.Data.size() < h.DataBytes() || !r.Reason.empty())) std::abort();
        if (!ok && (r.Status != ReadStatus::Refused || r.Reason.empty())) std::abort();
        for (int k = 0; k < p.NumPoints; ++k)
            if (!std::isfinite(x[k]) || !std::isfinite(y[k])) std::abort();
    }
    return 0;
}
