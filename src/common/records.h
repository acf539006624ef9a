// The spectrum record, point buffers and slot arrays, the number formats,
// the number reader and the extrema routine. Plain C++, no Qt.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

constexpr int MaxSpec = 20;      // spectrum slots 1..20
constexpr int MaxPoints = 15000; // points per spectrum

// Array indexed by slot number 1..N, as every command counts slots.
template <typename T, int N = MaxSpec> class SlotArray {
public:
    T& operator[](int slot) {
        assert(slot >= 1 && slot <= N);
        return items_[static_cast<size_t>(slot - 1)];
    }
    const T& operator[](int slot) const {
        assert(slot >= 1 && slot <= N);
        return items_[static_cast<size_t>(slot - 1)];
    }
    static constexpr int size() { return N; }
    static SlotArray Filled(const T& value) {
        SlotArray a;
        a.items_.fill(value);
        return a;
    }

private:
    std::array<T, N> items_{};
};

// Parameter record of one spectrum: its acquisition parameters, the results
// of its integration, its two text lines, its phase and its amplitude.
struct ParamSpec {
    double ScanRange = 0;
    double TimeScan = 0;
    long double ExperimTime = 0;
    double Gain = 0;
    double Modulation = 0;
    double Power = 0;
    uint16_t NumPoints = 0;
    long double DeltaPoints = 0;
    long double SumLeft1 = 0;
    long double SumLeft2 = 0;
    long double SumRight1 = 0;
    long double SumRight2 = 0;
    long double DblIntegral = 0;
    long double StandartRuby = 0;
    long double OtherStandart = 0;
    long double NumParticles = 0;
    std::string Line1; // raw bytes of the file, any code page
    std::string Line2;
    int8_t PhaseSign = 1;
    double Amplitude = 0;
    bool operator==(const ParamSpec&) const = default;
};

using ParSpecSet = SlotArray<ParamSpec>;

// Every numeric field but Amplitude to 0, both text lines empty, PhaseSign +1.
// The text lines give their memory back: a refused file may have filled them.
void ClearParamSpec(ParamSpec& p);

// One point buffer of a slot: MaxPoints 32-bit floats, owned, addressed by
// point number 1..MaxPoints. Empty until allocated.
class PointBuffer {
public:
    void Allocate(); // a fresh zeroed block, replacing any former one
    void Release() { data_.reset(); }
    bool Allocated() const { return data_ != nullptr; }
    float& operator[](int k) {
        assert(data_ && k >= 1 && k <= MaxPoints);
        return data_[static_cast<size_t>(k - 1)];
    }
    float operator[](int k) const {
        assert(data_ && k >= 1 && k <= MaxPoints);
        return data_[static_cast<size_t>(k - 1)];
    }
    float* Data() { return data_.get(); }
    const float* Data() const { return data_.get(); }

private:
    std::unique_ptr<float[]> data_;
};

// ---- Number formats ----------------------------------------------------

// F(w, d): fixed point, d decimals, "-" for negatives, left-padded to w.
std::string FormatF(long double v, int w, int d);
// I(w): whole number left-padded to w.
std::string FormatI(long long v, int w);
// E(w), w >= 10: sign character (blank or "-"), one digit, ".", w - 9 digits,
// "E", exponent sign, four exponent digits; exactly w characters.
std::string FormatE(long double v, int w);
// The gain as the parameter panel shows it: E(11) with the exponent written
// short (" 1.23E4"); it reads back to the gain to three significant digits.
std::string FormatCompactGain(long double v);
// The particle count as the panel shows it: E(12) with a two-digit exponent
// (" 1.235E+15").
std::string FormatCompactParticles(long double v);

// ---- Number reader ----------------------------------------------------

// Reads a whole text as a number: blanks, optional sign, digits with an
// optional "." and further digits, optional exponent, blanks. Returns false
// (and leaves v alone) when the text is anything else or out of range.
bool ReadNumber(std::string_view text, long double& v);
bool ReadNumber(std::string_view text, double& v);
// A whole number: the same without "." and exponent.
bool ReadWholeNumber(std::string_view text, long long& v);
// Length of the number that text begins with by the reader's grammar (no
// leading blanks), or 0 when it does not begin with one. whole: no "." nor
// exponent. The file reader splits point lines with it.
size_t ScanNumber(std::string_view text, bool whole = false);

// ---- Extrema --------------------------------------------------------------

struct Extrema {
    uint16_t IndexOfMax = 0;
    double XAtMax = 0;
    double Centre = 0;
    double Amplitude = 0;
};
// Over the closed range of point numbers From..To (either order); ties go to
// the highest point number.
Extrema RangeExtrema(const float* x, const float* y, int From, int To);

} // namespace kivo
