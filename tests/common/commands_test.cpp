// The treatments of one spectrum as both programs apply them: what each
// makes of the spectrum and the words that refuse it.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <string>

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
