// Any byte sequence as a column file: the import must neither crash nor
// break its limits (20 columns, the slots it is given), and every
// spectrum it forms has as many signal values as fields.
#include "TYPEKIVO1_3.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kivo;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const int slots = size > 0 ? data[0] % 21 : 20;
    const ColumnImport r = ImportColumnText(text, slots);
    if (int(r.Spectra.size()) > slots || int(r.Spectra.size()) > MaxColumns - 1) std::abort();
    if (r.Status != ColumnStatus::Ok && !r.Spectra.empty()) std::abort();
    for (const ColumnSpectrum& s : r.Spectra) {
        if (s.X.size() != s.Y.size()) std::abort();
        if (s.Column < 2 || s.Column > MaxColumns) std::abort();
    }
    return 0;
}
