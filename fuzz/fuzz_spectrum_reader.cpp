// Any byte sequence as an .esr or .txt text: the reader must neither crash
// nor read or write outside the text and the point buffers.
#include "TYPEKIVO1_3.h"
#include "blank_line_ends.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
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

    // Lines in the written layout read as the general parser reads them:
    // compared past the header and the marker, wherever the marker is.
    {
        ParamSpec p, q;
        static const auto x2 = std::make_unique<float[]>(MaxPoints);
        static const auto y2 = std::make_unique<float[]>(MaxPoints);
        const ReadResult a = ReadSpectrumText(text, KindEsr, p, x.get(), y.get());
        if (const int marker = kivo_lines::MarkerLine(text)) {
            const std::string plain = kivo_lines::WithBlankLineEnds(text, marker);
            const ReadResult b = ReadSpectrumText(plain, KindEsr, q, x2.get(), y2.get());
            if (b.Status != a.Status || b.Line != a.Line || b.Truncated != a.Truncated ||
                q.NumPoints != p.NumPoints ||
                std::memcmp(x.get(), x2.get(), sizeof(float) * size_t(p.NumPoints)) != 0 ||
                std::memcmp(y.get(), y2.get(), sizeof(float) * size_t(p.NumPoints)) != 0)
                std::abort();
        }
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
