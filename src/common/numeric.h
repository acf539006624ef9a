// The numeric routines of the treatments: ranges, subtraction, integration,
// smoothing and the rest, on point arrays.
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

#include "records.h"

namespace kivo {

// ---- Numeric routines of the treatments ----------------------------------
// Point arrays point at point 1: point j of x is x[j - 1]. Point numbers
// are 1-based as everywhere in the program.

// The short text of a value, as the picking labels show it: the general
// text with up to 15 significant digits when that has 8 characters or fewer,
// otherwise the value rounded to about 8 characters, keeping its sign, its
// whole digits and its exponent.
std::string ShortText(double v);

// Every value of v[1..n] becomes (1 - scale) * centre + scale * v + shift,
// worked out in extended precision: the view transform made permanent, or a
// plain shift (scale 1) of a field axis.
void TransformValues(float* v, int n, long double centre, long double scale, long double shift);
// Every value of v[1..n] divided by d (in double precision: the quotient is
// rounded to a float all the same).
void DivideValues(float* v, int n, long double d);
// The smallest and the largest of v[1..n] (n >= 1), in a pass the processor
// can pipeline: the chart's ranges and the amplitudes take it over every
// point of every spectrum at each redraw.
struct ValueBounds {
    float Lo = 0;
    float Hi = 0;
};
ValueBounds BoundsOf(const float* v, int n);
// The largest of 0 and y[1..n] minus the smallest of 0 and y[1..n].
long double SpanWithZero(const float* y, int n);
// Points 1..n in the opposite order, each signal staying with its field.
void ReversePoints(float* x, float* y, int n);

// Smoothing of one spectrum (x, y, n points) into xo, yo; returns the number
// of result points. r = 0: a moving average over 2 * (w div 2) + 1 points, the
// window shrinking at the ends, kept as a running sum so its cost does not
// grow with w. r > 0: means of blocks of r points, block c only while
// c * r + r div 2 <= n.
int SmoothPoints(uint16_t w, uint16_t r, const float* x, const float* y, int n, float* xo,
                 float* yo);

// The points that remain when every point whose field is below that of the
// point just before it (in the unfiltered spectrum) is dropped.
int CountForwardPoints(const float* x, int n);
// Drops those points, closing up; returns how many remain.
int EraseBackwardSteps(float* x, float* y, int n);

// Removes count points from point a on (1-based), closing up; returns the
// new number of points.
int RemoveRun(float* x, float* y, int n, int a, int count);

// Mean of y over points s..e (s <= e), as a running sum.
long double MeanY(const float* y, int s, int e);

// Subtracts from y[1..n] the straight line through mL at the field of point
// wL div 2 and mR at the field of point n - wR div 2 (anchors held inside
// 1..n); two anchors at the same field subtract the mean level instead.
void SubtractLine(const float* x, float* y, int wL, int wR, int n, long double mR, long double mL);
// Subtracts from y[1..n] the straight line through mL at field xL and mR at
// field xR (the mean level where both are one field).
void SubtractLineThrough(const float* x, float* y, int n, long double xL, long double mL,
                         long double xR, long double mR);

// The stretch of a spectrum (x, n points) that matches the fields lo..hi of
// another: First is the first point (from 1 up) whose field is not below lo,
// Last the last point (from n down) whose field is not above hi. Both
// scans stop at the spectrum's ends.
struct PointRange {
    int First = 1;
    int Last = 1;
};
PointRange MapRange(const float* x, int n, double lo, double hi);
// The point of x[0..n-1] whose field is nearest to `field` (1-based; 0 for
// no points): a cursor carried to another spectrum stays on its ends.
int NearestPoint(const float* x, int n, double field);

// r[j] = ys[j] - k * (the base interpolated at xs[j]) for the points of the
// spectrum inside the base's field range; First and Count give that stretch.
struct SubtractionResult {
    int First = 1;
    int Count = 0;
};
SubtractionResult SubtractInterpolated(const float* xs, const float* ys, int ns, const float* xb,
                                       const float* yb, int nb, float k, float* r);

// Double integration of one spectrum. w = NumAver, cs..ce the points where
// the centre is searched, automatic = find the borders (otherwise Left and
// Right are taken as given), k = the particle-count factor. Writes SumLeft1,
// SumRight1, SumLeft2, SumRight2, DblIntegral and NumParticles of p and
// reads its PhaseSign, Gain, Modulation, StandartRuby and NumPoints.
struct IntegrationResult {
    int Mist = 0;   // backward field steps inside Left..Right
    int Centre = 0; // 0 when the running first integral is never positive
    int Right = 0;
    int Left = 0;
};
IntegrationResult IntegrateSpectrum(const float* x, const float* y, int w, ParamSpec& p, int cs,
                                    int ce, bool automatic, int left, int right, double k);
// The point of the line's centre an integration found, for its field and g:
// the centre when it lies strictly between the borders, else 0. A centre at
// or outside a border is where a running integral that never turned stopped
// (a sloping base line, a line of the other phase), not the line's centre.
int LineCentreOf(const IntegrationResult& r);

} // namespace kivo
