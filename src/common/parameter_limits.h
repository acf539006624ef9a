// The limits of the numbers a user gives.
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

// ---- Limits of the numbers a user gives ---------------------------------------

// Why a value given in an options file, on kivo-batch's command line or on
// the mode line was not taken.
enum class OptionFault { None, Missing, NotANumber, OutOfRange };

// The treatment parameters the options file, kivo-batch's command line and
// the mode line's entry take, with the values each may have. All three read
// them through one table, so that a value one of them refuses no other takes.
enum class Parameter {
    NumAver,
    KoeCu,
    SmoothingNumber,
    RestrictNumber,
    FigureCm, // the width or the height of a figure
    FontPt,
    LinePt,
    Dpi,
    StackStep,
    MarkedG,
};
struct ParameterLimit {
    const char* Name;
    bool Whole; // no "." nor exponent
    double Min, Max;
};
const ParameterLimit& LimitOf(Parameter which);
// Reads text as a value within the limit: None with v set, or why not (a
// number beyond even the reader's range is OutOfRange too).
OptionFault ReadLimited(std::string_view text, const ParameterLimit& limit, double& v);

} // namespace kivo
