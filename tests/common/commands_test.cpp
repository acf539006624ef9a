// The treatments of one spectrum as both programs apply them: what each
// makes of the spectrum and the words that refuse it.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <cmath>
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
