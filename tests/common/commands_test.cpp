// The treatments of one spectrum as both programs apply them: what each
// makes of the spectrum and the words that refuse it.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kivo;

TEST(Commands, SmoothingResultNameNoteAndRefusal) {
    const SmoothingResult made = SmoothingResultOf("/data/run7.esr", 5, 2);
    EXPECT_EQ(made.Refusal, "");
    EXPECT_EQ(made.Note, "run7 Smoothed 5");
    const SmoothingResult none = SmoothingResultOf("/data/run7.esr", 5, 1);
    EXPECT_EQ(none.Refusal, "   Fewer than 2 points after smoothing: run7 ");
    EXPECT_EQ(none.Note, "");
    EXPECT_EQ(ResultName(12), "res12");
}

// The base line and the automatic integration average NumAver points at
// each end: a spectrum without room for both windows is left as it was.
TEST(Commands, SpectraTooShortForTheirEndWindows) {
    struct Case {
        int N, NumAver;
        bool Refused;
    } cases[] = {
        {20, 10, false}, {19, 10, true}, {3, 2, true}, {15000, 7500, false}, {14999, 7500, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.N) + " points, NumAver " + std::to_string(c.NumAver));
        std::vector<float> x, y;
        for (int k = 0; k < c.N; ++k) {
            const double u = (k - c.N / 2.0) / 3;
            x.push_back(float(3300 + k));
            y.push_back(float(0.1 + 2 * u / ((1 + u * u) * (1 + u * u))));
        }
        const std::string words = "   s: " + std::to_string(c.N) + " points, too few for NumAver " +
                                  std::to_string(c.NumAver) + " at each end, ";
        std::vector<float> based = y;
        EXPECT_EQ(SubtractLinearBaseLine(x.data(), based.data(), c.N, BaseLineStart(c.N, c.NumAver),
                                         c.NumAver, "s"),
                  c.Refused ? words + "no base line subtracted;" : "");
        EXPECT_EQ(based == y, c.Refused);

        ParamSpec p;
        p.NumPoints = uint16_t(c.N);
        p.DblIntegral = 5;
        const ParamSpec before = p;
        const AutoIntegration a = IntegrateAutomatic(x.data(), y.data(), c.NumAver, 1e19, p, "s");
        if (c.Refused) {
            EXPECT_EQ(a.Refusal, words + "not integrated;");
            EXPECT_EQ(p, before);
            EXPECT_EQ(a.Result.Right, c.N);
        } else {
            EXPECT_EQ(a.Refusal.find("too few"), std::string::npos) << a.Refusal;
        }
    }
}

TEST(Commands, AReadThatFailedIsNotBlamedOnTheFile) {
    ReadResult r;
    r.Status = ReadStatus::Failed;
    r.Reason = FailureWords(std::bad_alloc());
    EXPECT_EQ(ReadRefusal("s4", r, 0), "    FileSpectrum s4 is not read: out of memory ");
    r.Status = ReadStatus::CannotOpen; // a file that cannot be read is another matter
    r.Reason.clear();
    EXPECT_EQ(ReadRefusal("s4", r, 0), "    FileSpectrum s4 is not prepared properly ");
    EXPECT_EQ(FailureWords(std::length_error("too long")), "too long");
}

// The automatic integration takes the phase in which the centre lies between
// the borders: a line recorded either way round with either phase stored,
// and a step with no line at all, whose stale results go.
TEST(Commands, AutomaticIntegrationFindsTheLineInEitherPhase) {
    constexpr int n = 1024;
    auto line = [](int orientation) {
        std::vector<float> x(n), y(n);
        for (int k = 0; k < n; ++k) {
            const double u = (k - 520) / 12.0;
            x[size_t(k)] = float(3250 + 0.2 * k);
            // Small alternating noise at the ends sets the border thresholds.
            y[size_t(k)] =
                float(orientation * 2 * u / ((1 + u * u) * (1 + u * u)) + (k % 2 ? 1e-4 : -1e-4));
        }
        return std::pair{x, y};
    };
    struct Case {
        const char* what;
        int orientation;
        int8_t stored, phase;
    } cases[] = {
        {"the usual phase", 1, 1, 1},
        {"the other phase", -1, 1, -1},
        {"-1 stored, the usual phase", 1, -1, 1},
    };
    long double area = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto [x, y] = line(c.orientation);
        ParamSpec p;
        p.NumPoints = n;
        p.PhaseSign = c.stored;
        const AutoIntegration a = IntegrateAutomatic(x.data(), y.data(), 10, 1e19, p, "s");
        ASSERT_TRUE(a.Integrated) << a.Refusal;
        EXPECT_EQ(p.PhaseSign, c.phase);
        EXPECT_NEAR(LineCentreOf(a.Result), 521, 1);
        if (area == 0) area = p.DblIntegral;
        EXPECT_NEAR(double(p.DblIntegral / area), 1, 1e-2);
    }

    std::vector<float> x(n), y(n);
    for (int k = 0; k < n; ++k) x[size_t(k)] = float(k), y[size_t(k)] = k < 300 ? 0.f : 1.f;
    ParamSpec p;
    p.NumPoints = n;
    p.DblIntegral = 5;
    p.NumParticles = 7;
    p.SumLeft2 = 3;
    const AutoIntegration a = IntegrateAutomatic(x.data(), y.data(), 10, 1e19, p, "s");
    EXPECT_FALSE(a.Integrated);
    EXPECT_EQ(a.Refusal, "   s: no line between the borders, not integrated;");
    EXPECT_EQ(p.DblIntegral, 0);
    EXPECT_EQ(p.NumParticles, 0);
    EXPECT_EQ(p.SumLeft2, 0);
}

// A straight base line goes whole whatever windows its cursors give: the line
// is taken through each window's mean at the window's mean field.
TEST(Commands, AStraightBaseLineGoesWholeWithAnyWindows) {
    constexpr int n = 601;
    for (const PointRange ends :
         {PointRange{10, 591}, PointRange{200, 401}, PointRange{300, 302}, PointRange{2, 590}}) {
        std::vector<float> x(n), y(n);
        for (int k = 0; k < n; ++k) {
            x[size_t(k)] = float(3200 + 0.5 * k);
            y[size_t(k)] = float(100 + 2 * (x[size_t(k)] - 3350.0));
        }
        ASSERT_EQ(SubtractLinearBaseLine(x.data(), y.data(), n, ends, 10, "s"), "");
        for (int k = 0; k < n; k += 50)
            EXPECT_NEAR(y[size_t(k)], 0, 1e-3) << ends.First << " " << k;
    }
}
