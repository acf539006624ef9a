// Any byte sequence as an .esr or .txt text: the reader must neither crash
// nor read or write outside the text and the point buffers.
#include "TYPEKIVO1_3.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Exactly MaxPoints each, so ASan reports any write past the end.
    static const auto x = std::make_unique<float[]>(MaxPoints);
    static const auto y = std::make_unique<float[]>(MaxPoints);

    for (int kind : {KindEsr, KindTxt, KindDat, KindUnknown}) {
        ParamSpec p;
        const ReadResult r = ReadSpectrumText(text, kind, p, x.get(), y.get());
        const bool ok = r.Status == ReadStatus::Ok;
        if (ok != (p.NumPoints >= 2) || p.NumPoints > MaxPoints) std::abort();
        // Only after the marker, which follows the ten header lines of an .esr.
        if (r.Status == ReadStatus::BadPointLine && r.Line < (kind == KindEsr ? 12 : 2))
            std::abort();
        for (int k = 0; k < p.NumPoints; ++k)
            if (!std::isfinite(x[k]) || !std::isfinite(y[k])) std::abort();
    }

    ParamSpec h;
    ReadEsrHeader(text, h);
    // What the header reader took must survive a write and a second read.
    ParamSpec again;
    ReadEsrHeader(FormatEsrHeader(h), again);
    if (again.Line1 != h.Line1 || again.Line2 != h.Line2) std::abort();

    long double ld = 0;
    double d = 0;
    long long whole = 0;
    const bool readLd = ReadNumber(text, ld);
    const bool readD = ReadNumber(text, d);
    if (ReadWholeNumber(text, whole) && !readLd) std::abort(); // whole numbers are numbers
    if (readD && !readLd) std::abort(); // the wider type accepts all the narrower does
    return 0;
}
