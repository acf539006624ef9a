// Any byte sequence as a JCAMP-DX file: the reader must neither crash nor
// break its limits (the slots it is given, 2^20 points a table), every
// spectrum it gives has as many fields as values, all of them numbers, and
// what it gives is written in both forms and read back to the same floats.
#include "TYPEKIVO1_3.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

bool Same(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::bit_cast<uint32_t>(a[k]) != std::bit_cast<uint32_t>(b[k])) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int slots = size > 0 ? 1 + data[0] % 20 : 20;
    const JcampRead r = ReadJcampText(text, slots);
    if (int(r.Spectra.size()) > slots) std::abort();
    if (r.Result.Status != ReadStatus::Ok && !r.Spectra.empty()) std::abort();
    for (const JcampSpectrum& s : r.Spectra) {
        if (s.Result.Status != ReadStatus::Ok) {
            if (s.Result.Reason.rfind("line ", 0) != 0) std::abort();
            continue;
        }
        // A table longer than a slot is kept whole, to be averaged into one.
        const size_t n = s.X.size();
        if (n < 2 || n > size_t(1) << 20 || s.Y.size() != n ||
            s.Params.NumPoints != std::min<size_t>(n, UINT16_MAX))
            std::abort();
        for (size_t k = 0; k < n; ++k)
            if (!std::isfinite(s.X[k]) || !std::isfinite(s.Y[k])) std::abort();
        if (n > size_t(MaxPoints)) continue; // what is written is a slot's spectrum
        for (JcampForm form : {JcampForm::DifDup, JcampForm::Affn}) {
            const JcampRead back =
                ReadJcampText(FormatJcamp(s.Params, s.X.data(), s.Y.data(), "t", form), 1);
            if (back.Spectra.size() != 1 || back.Spectra[0].Result.Status != ReadStatus::Ok)
                std::abort();
            const JcampSpectrum& b = back.Spectra[0];
            if (!Same(b.X, s.X) || !Same(b.Y, s.Y) || b.Params.Line1 != s.Params.Line1 ||
                b.Params.Line2 != s.Params.Line2)
                std::abort();
        }
    }
    return 0;
}
