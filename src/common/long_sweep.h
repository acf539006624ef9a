// Sweeps longer than a slot holds: a spectrometer's file of 60000 points is
// read whole and brought into MaxPoints, by averaging blocks of points or by
// taking a window of them.
#pragma once

#include <string>
#include <string_view>

#include "records.h"

namespace kivo {

// The points of a sweep a read takes: blocks of Step points averaged from
// point First (1-based) up to point Last, a shorter last block kept. Last 0
// is the sweep's last point; Step 0 the least step that brings the range
// within MaxPoints. With ByField, the window is the points whose fields lie
// from FieldFrom to FieldTo (G) instead of First and Last.
struct PointChoice {
    int First = 1, Last = 0, Step = 0;
    bool ByField = false;
    double FieldFrom = 0, FieldTo = 0;
    bool operator==(const PointChoice&) const = default;
};

// The least whole step that brings count points within MaxPoints.
int LeastStep(int count);

// What a sweep of n points (fields x[0..n-1], rising) takes of a choice:
// First, Last and Step made whole and checked; the reason in the mode line's
// words when it cannot be taken ("" and the choice made whole otherwise).
std::string ResolvePoints(const PointChoice& given, const float* x, int n, PointChoice& taken);

// The points of a resolved choice: each block's mean field and mean signal
// into outX and outY (room for MaxPoints each); their count.
int TakeSweepPoints(const float* x, const float* y, const PointChoice& taken, float* outX,
                    float* outY);

// What the history keeps of a sweep taken in part or averaged: "Averaged 4",
// "Points 20001-35000 of 60000", both joined by ", "; "" for the whole sweep
// at step 1.
std::string SweepNote(const PointChoice& taken, int n);
// What the mode line says of it: "long: 60000 points averaged by 4 to 15000",
// "long: 60000 points, 20001 to 35000 averaged by 1 to 15000".
std::string SweepNotice(std::string_view name, const PointChoice& taken, int n, int kept);

// A choice as the entry offers and reads it back: "1 60000 4".
std::string PointChoiceText(const PointChoice& c);
// "first last step" as typed: three whole numbers; false for anything else.
bool ReadPointChoice(std::string_view text, PointChoice& c);

} // namespace kivo
