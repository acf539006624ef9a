// Text typed into the acquisition box of the parameter panel and numbers
// typed on the mode line: any text is read without harm, a value shown is
// read back within the digits shown, and a typed number means what the C
// library makes of it.
#include "TYPEKIVO1_3.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace kivo;

// Any lines: a refused field keeps its value, and only the five editable
// fields can be refused.
void AnyLines(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        lines.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    ParamSpec p;
    p.ScanRange = 100;
    p.Gain = 2e4;
    p.Modulation = 1;
    p.Power = 20;
    p.StandartRuby = 1.5L;
    const ParamSpec before = p;
    const std::vector<std::string> refused = ReadAcquisitionLines(lines, p);
    const std::set<std::string> names(refused.begin(), refused.end());
    if (names.size() != refused.size()) std::abort();
    auto kept = [&names](const char* name, bool same) {
        if (names.count(name) && !same) std::abort();
    };
    kept("ScanRange", p.ScanRange == before.ScanRange);
    kept("Gain", p.Gain == before.Gain);
    kept("Modulation", p.Modulation == before.Modulation);
    kept("Power", p.Power == before.Power);
    kept("StandartRuby", p.StandartRuby == before.StandartRuby);
    for (const std::string& n : names)
        if (n != "ScanRange" && n != "Gain" && n != "Modulation" && n != "Power" &&
            n != "StandartRuby")
            std::abort();
}

// A record's values as the panel shows them, read back unchanged but for
// the digits the panel does not show.
void ShownValues(const uint8_t* data, size_t size) {
    double v[5];
    if (size < sizeof v) return;
    std::memcpy(v, data, sizeof v);
    // A value shown rounded to three digits may round past the largest
    // double (1.7977e308 shows as 1.80E308) and cannot be read back.
    for (double d : v)
        if (!(std::fabs(d) <= 1e300)) return;
    ParamSpec p;
    p.ScanRange = v[0];
    p.Gain = v[1];
    p.Modulation = v[2];
    p.Power = v[3];
    p.StandartRuby = v[4];
    const auto shown = AcquisitionLines(p);
    ParamSpec q;
    if (!ReadAcquisitionLines({shown.begin(), shown.end()}, q).empty()) std::abort();
    auto within = [](long double a, long double b, long double half) {
        if (!(std::fabs(a - b) <= half * (1 + 1e-9L) + std::fabs(a) * 1e-15L)) std::abort();
    };
    within(p.ScanRange, q.ScanRange, 0.5L);
    within(p.Gain, q.Gain, std::fabs(p.Gain) * 5e-3L);
    within(p.Modulation, q.Modulation, 5e-3L);
    within(p.Power, q.Power, 5e-3L);
    within(p.StandartRuby, q.StandartRuby, 5e-4L);
}

// The mode line collects only what its keys type: digits, "+", "-", ".".
void TypedNumber(const uint8_t* data, size_t size) {
    static const char keys[] = "0123456789+-.";
    std::string typed;
    for (size_t i = 0; i < size; ++i) typed += keys[data[i] % (sizeof keys - 1)];
    char* end = nullptr;
    errno = 0;
    const double c = std::strtod(typed.c_str(), &end);
    const bool whole = !typed.empty() && end == typed.c_str() + typed.size();
    const double got = EntryNumber(typed);
    if (whole && errno != ERANGE && got != c) std::abort();
    if (whole && errno == ERANGE && got != 0 && got != c) std::abort();
    if (!whole && got != 0) std::abort();

    errno = 0;
    const long long w = std::strtoll(typed.c_str(), &end, 10);
    const bool wholeNumber = !typed.empty() && end == typed.c_str() + typed.size() && errno == 0;
    const bool fits = wholeNumber && w >= INT16_MIN && w <= UINT16_MAX;
    if (EntryCount(typed) != (fits ? uint16_t(w) : 0)) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AnyLines({reinterpret_cast<const char*>(data), size});
    ShownValues(data, size);
    TypedNumber(data, size);
    return 0;
}
