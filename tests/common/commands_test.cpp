// The treatments of one spectrum as both programs apply them: what each
// makes of the spectrum and the words that refuse it.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kivo;

TEST(Commands, SmoothingResultNameNoteAndRefusal) {
    struct Case {
        const char* Source;
        int W, M;
        const char* Refusal;
        const char* Note;
    } cases[] = {
        {"/data/run7.esr", 5, 1024, "", "run7 Smoothed 5"},
        {"run7.esr", 0, 2, "", "run7 Smoothed 0"},
        {"/data/run7.esr", 5, 1, "   Fewer than 2 points after smoothing: run7 ", ""},
        {"res2", 9, 0, "   Fewer than 2 points after smoothing: res2 ", ""},
    };
    for (const Case& c : cases) {
        const SmoothingResult r = SmoothingResultOf(c.Source, c.W, c.M);
        EXPECT_EQ(r.Refusal, c.Refusal) << c.Source << " " << c.M;
        EXPECT_EQ(r.Note, c.Note) << c.Source << " " << c.M;
    }
    EXPECT_EQ(ResultName(1), "res1");
    EXPECT_EQ(ResultName(12), "res12");
}

TEST(Commands, NormalisingOnTheIntegralOrSayingWhyNot) {
    const std::string refused = "   s7: no positive double integral, not normalised on it ";
    for (long double integral : {4.0L, 0.0L, -2.0L, (long double)NAN}) {
        std::vector<float> y = {2, -6, 8};
        ParamSpec p;
        p.NumPoints = 3;
        p.DblIntegral = integral;
        const std::string why = NormaliseOnIntegral(y.data(), p, "s7.esr", "s7");
        if (integral > 0) {
            EXPECT_EQ(why, "");
            EXPECT_EQ(y, (std::vector<float>{0.5f, -1.5f, 2}));
            EXPECT_EQ(p.DblIntegral, 1);
            EXPECT_EQ(p.Line2, "s7, Norm on Int, ");
        } else {
            EXPECT_EQ(why, refused) << double(integral);
            EXPECT_EQ(y, (std::vector<float>{2, -6, 8}));
            EXPECT_TRUE(p.Line2.empty());
        }
    }
}

// The base line and the automatic integration average NumAver points at
// each end: a spectrum without room for both windows is left as it was.
TEST(Commands, SpectraTooShortForTheirEndWindows) {
    struct Case {
        int N, NumAver;
        bool Refused;
    } cases[] = {{20, 10, false}, {19, 10, true},       {21, 10, false},    {4, 2, false},
                 {3, 2, true},    {15000, 7500, false}, {14999, 7500, true}};
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
        const std::string why = SubtractLinearBaseLine(
            x.data(), based.data(), c.N, BaseLineStart(c.N, c.NumAver), c.NumAver, "s");
        EXPECT_EQ(why, c.Refused ? words + "no base line subtracted;" : "");
        EXPECT_EQ(based == y, c.Refused);

        ParamSpec p;
        p.NumPoints = uint16_t(c.N);
        p.DblIntegral = 5;
        const ParamSpec before = p;
        const AutoIntegration a = IntegrateAutomatic(x.data(), y.data(), c.NumAver, 1e19, p, "s");
        if (c.Refused) {
            EXPECT_EQ(a.Refusal, words + "not integrated;");
            EXPECT_FALSE(a.Integrated);
            EXPECT_EQ(p, before);
            EXPECT_EQ(a.Result.Left, 1);
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
    r = ReadResult{};
    r.Status = ReadStatus::CannotOpen;
    EXPECT_EQ(ReadRefusal("s4", r, 0), "    FileSpectrum s4 is not prepared properly ");
    EXPECT_EQ(FailureWords(std::length_error("too long")), "too long");
}
