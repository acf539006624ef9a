#include "long_sweep.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "numeric.h"
#include "treatments.h"

namespace kivo {

int LeastStep(int count) {
    return std::max(1, (count + MaxPoints - 1) / MaxPoints);
}

std::string ResolvePoints(const PointChoice& given, const float* x, int n, PointChoice& taken) {
    taken = given;
    taken.ByField = false;
    if (given.ByField) {
        const double lo = std::min(given.FieldFrom, given.FieldTo);
        const double hi = std::max(given.FieldFrom, given.FieldTo);
        taken.First = int(std::lower_bound(x, x + n, lo) - x) + 1;
        taken.Last = int(std::upper_bound(x, x + n, hi) - x);
        if (taken.Last - taken.First + 1 < 2)
            return "fewer than 2 points from " + ShortText(lo) + " to " + ShortText(hi) + " G";
    } else if (taken.Last == 0) {
        taken.Last = n;
    }
    if (taken.First < 1 || taken.Last > n || taken.Last - taken.First + 1 < 2)
        return "points " + std::to_string(taken.First) + " to " + std::to_string(taken.Last) +
               " are not 2 or more of 1 to " + std::to_string(n);
    const int count = taken.Last - taken.First + 1;
    if (taken.Step == 0) taken.Step = LeastStep(count);
    const int kept = (count + taken.Step - 1) / taken.Step;
    if (taken.Step < 1 || kept < 2 || kept > MaxPoints)
        return "step " + std::to_string(taken.Step) + " gives " + std::to_string(kept) +
               " points, not 2 to " + std::to_string(MaxPoints);
    return {};
}

int TakeSweepPoints(const float* x, const float* y, const PointChoice& taken, float* outX,
                    float* outY) {
    int kept = 0;
    for (int from = taken.First - 1; from < taken.Last; from += taken.Step) {
        const int to = std::min(from + taken.Step, taken.Last);
        // In double: a block of many floats keeps its mean to the float's precision.
        double sx = 0, sy = 0;
        for (int k = from; k < to; ++k) {
            sx += double(x[k]);
            sy += double(y[k]);
        }
        outX[kept] = float(sx / (to - from));
        outY[kept] = float(sy / (to - from));
        ++kept;
    }
    return kept;
}

std::string SweepNote(const PointChoice& taken, int n) {
    std::string note;
    if (taken.First != 1 || taken.Last != n)
        note = "Points " + std::to_string(taken.First) + "-" + std::to_string(taken.Last) + " of " +
               std::to_string(n);
    if (taken.Step > 1)
        note += (note.empty() ? "" : ", ") + std::string("Averaged ") + std::to_string(taken.Step);
    return note;
}

std::string SweepNotice(std::string_view name, const PointChoice& taken, int n, int kept) {
    std::string text =
        std::string(Named) + std::string(name) + " long: " + std::to_string(n) + " points";
    if (taken.First != 1 || taken.Last != n)
        text += ", " + std::to_string(taken.First) + " to " + std::to_string(taken.Last);
    return text + " averaged by " + std::to_string(taken.Step) + " to " + std::to_string(kept) +
           " ";
}

std::string PointChoiceText(const PointChoice& c) {
    return std::to_string(c.First) + " " + std::to_string(c.Last) + " " + std::to_string(c.Step);
}

bool ReadPointChoice(std::string_view text, PointChoice& c) {
    int v[3];
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int& n : v) {
        while (at < end && *at == ' ') ++at;
        const auto r = std::from_chars(at, end, n);
        if (r.ec != std::errc() || (r.ptr < end && *r.ptr != ' ')) return false;
        at = r.ptr;
    }
    while (at < end && *at == ' ') ++at;
    if (at != end) return false;
    c = PointChoice{v[0], v[1], v[2]};
    return true;
}

} // namespace kivo
