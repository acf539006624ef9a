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
