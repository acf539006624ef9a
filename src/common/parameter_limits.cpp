// The limits of the treatment parameters a user gives, and their reader.
#include "parameter_limits.h"
#include "records.h"

namespace kivo {

namespace {

constexpr ParameterLimit kLimits[] = {
    // Both end windows of an average must fit in the longest spectrum.
    {"NumAver", true, 2, 0.5 * MaxPoints},
    // A factor far outside these is a mistake; inside them its 15 written
    // digits always read back.
    {"KoeCu", false, 1e-300, 1e300},
    // Counts held in 16 bits, as the mode line holds them.
    {"smoothing number", true, 0, 65535},
    {"restrict number", true, 0, 65535},
    // A figure from a stamp to a poster panel; its text and lines readable
    // when printed, and a PNG that fits in memory.
    {"figure size in cm", false, 2, 40},
    {"text size in pt", false, 4, 24},
    {"line width in pt", false, 0.1, 5},
    {"PNG resolution in dpi", true, 72, 1200},
    {"stack step", false, 0, 10},
    // A g value marked on a figure.
    {"g value", false, 0.5, 10},
};

} // namespace

const ParameterLimit& LimitOf(Parameter which) {
    return kLimits[static_cast<int>(which)];
}

OptionFault ReadLimited(std::string_view text, const ParameterLimit& limit, double& v) {
    double read = 0;
    if (limit.Whole) {
        long long whole = 0;
        if (!ReadWholeNumber(text, whole)) return OptionFault::NotANumber;
        read = double(whole);
    } else if (!ReadNumber(text, read)) {
        long double wide = 0; // beyond a double's range
        return ReadNumber(text, wide) ? OptionFault::OutOfRange : OptionFault::NotANumber;
    }
    if (!(read >= limit.Min && read <= limit.Max)) return OptionFault::OutOfRange;
    v = read;
    return OptionFault::None;
}

} // namespace kivo
