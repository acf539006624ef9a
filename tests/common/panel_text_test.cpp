// The short number forms of the parameter panel, the treatment history line
// and the code-page guess for old text lines.
#include <gtest/gtest.h>

#include <cmath>

#include "TYPEKIVO1_3.h"

using namespace kivo;

TEST(CompactForms, MatchThePanelExamples) {
    EXPECT_EQ(FormatCompactGain(12345), " 1.23E4");
    EXPECT_EQ(FormatCompactGain(20000), " 2.00E4");
    EXPECT_EQ(FormatCompactGain(0), " 0.00E0");
    EXPECT_EQ(FormatCompactGain(1), " 1.00E0");
    EXPECT_EQ(FormatCompactGain(9.99e9), " 9.99E9");
    EXPECT_EQ(FormatCompactParticles(1.2346e15), " 1.235E+15");
    EXPECT_EQ(FormatCompactParticles(0), " 0.000E+00");
    EXPECT_EQ(FormatCompactParticles(3.5e-7), " 3.500E-07");
    EXPECT_EQ(FormatCompactParticles(-2e21), "-2.000E+21");
}

TEST(CompactForms, GainReadsBackToThreeDigitsOverEveryRange) {
    // Gains below 1, above 1e10 and negative cannot drop the exponent's
    // sign and leading digits the way 1..9.99e9 can; they must still read back.
    for (double exponent = -12; exponent <= 14; exponent += 0.37) {
        for (double sign : {1.0, -1.0}) {
            const double gain = sign * std::pow(10.0, exponent);
            const std::string text = FormatCompactGain(gain);
            double back = 0;
            ASSERT_TRUE(ReadNumber(text, back)) << text;
            EXPECT_NEAR(back / gain, 1.0, 5e-3) << gain << " shown as " << text;
        }
    }
    EXPECT_EQ(FormatCompactGain(0.002), " 2.00E-3");
    EXPECT_EQ(FormatCompactGain(5e12), " 5.00E12");
    EXPECT_EQ(FormatCompactGain(-300), "-3.00E2");
}

TEST(TreatmentNotes, HistoryStartsWithTheFileNameAndKeepsOneCopyOfATag) {
    std::string line2;
    AppendTreatmentNote(line2, "s1.esr", 125, "");
    AppendTreatmentNote(line2, "s1.esr", 125, "");
    AppendTreatmentNote(line2, "s1.esr", 127, "");
    EXPECT_EQ(line2, "s1, Norm on Int, Centr-3300G, ");
    AppendTreatmentNote(line2, "s1.esr", 125, "");
    EXPECT_EQ(line2, "s1, Centr-3300G, Norm on Int, ");
}

TEST(TreatmentNotes, TagsAreThirteenCharacters) {
    for (int code : {124, 125, 127, 128, 129, 1211, 161, 162, 163, 164}) {
        std::string line2 = "x";
        AppendTreatmentNote(line2, "a.esr", code, "ignored");
        EXPECT_EQ(line2.size(), 14u) << code << ": " << line2;
        EXPECT_EQ(line2.substr(line2.size() - 2), ", ") << code;
    }
    std::string ruby = "x";
    AppendTreatmentNote(ruby, "a.esr", 161, "");
    EXPECT_EQ(ruby, "x Field Ruby, ");
}

TEST(TreatmentNotes, CallerTextsAppendEveryTimeAndOldTextStays) {
    std::string line2 = "from the spectrometer";
    AppendTreatmentNote(line2, "s2.esr", 143, "-0.5*base");
    AppendTreatmentNote(line2, "s2.esr", 143, "-0.5*base");
    AppendTreatmentNote(line2, "s2.esr", 166, "Sm 3/5");
    EXPECT_EQ(line2, "from the spectrometer-0.5*base, -0.5*base, Sm 3/5, ");
}

TEST(TreatmentNotes, ShortNamesAndLongTexts) {
    std::string line2;
    AppendTreatmentNote(line2, "abc", 129, "");
    EXPECT_EQ(line2, "abc, Norm on Amp, ");
    std::string long2;
    AppendTreatmentNote(long2, "q.esr", 166, std::string(300, 'z'));
    EXPECT_EQ(long2, "q, " + std::string(255, 'z') + ", ");
    // The history stays one line of the file, whatever a name holds.
    std::string broken;
    AppendTreatmentNote(broken, "two\nlines.esr", 143, "a\r\nb");
    EXPECT_EQ(broken, "two lines, a  b, ");
}

TEST(CodePages, OldCyrillicTextIsToldApart) {
    EXPECT_EQ(GuessCodePage("Sample 7, 77 K"), CodePage::Utf8);
    EXPECT_EQ(GuessCodePage("\xD0\x9E\xD0\xB1\xD1\x80\xD0\xB0\xD0\xB7\xD0\xB5\xD1\x86"),
              CodePage::Utf8); // "Образец" in UTF-8
    EXPECT_EQ(GuessCodePage("\xCE\xE1\xF0\xE0\xE7\xE5\xF6 7"), CodePage::Cp1251); // "Образец"
    EXPECT_EQ(GuessCodePage("\x8E\xA1\xE0\xA0\xA7\xA5\xE6 7"), CodePage::Cp866); // "Образец"
    EXPECT_EQ(GuessCodePage("\xAF\xE0\xAE\xA1\xA0"), CodePage::Cp866);           // "проба"
    EXPECT_EQ(GuessCodePage("\xEF\xF0\xEE\xE1\xE0"), CodePage::Cp1251);          // "проба"
    // Byte runs shaped like UTF-8 that are not: a surrogate, overlong forms,
    // a code point past U+10FFFF.
    for (const char* notUtf8 :
         {"\xED\xB3\xB3", "\xE0\x80\xAF", "\xF0\x80\x80\x80", "\xF4\x90\x80\x80", "\xC0\xAF"})
        EXPECT_NE(GuessCodePage(notUtf8), CodePage::Utf8) << notUtf8;
    EXPECT_EQ(GuessCodePage("\xED\x9F\xBF\xF4\x8F\xBF\xBF"), CodePage::Utf8); // the last ones
}

TEST(AcquisitionBox, CharactersAreCountedNotBytesAndRefusedFieldsKept) {
    ParamSpec p;
    p.ScanRange = 100;
    p.Power = 20;
    p.StandartRuby = 1.5L;
    // "±" is one character of two bytes; a short box keeps the fields it lacks.
    const std::vector<std::string> typed{"",
                                         "\xC2\xB1\xC2\xB1"
                                         "7",
                                         "1e3", "2 G", "\xC2\xB1 mW"};
    EXPECT_EQ(ReadAcquisitionLines(typed, p), (std::vector<std::string>{"Power", "StandartRuby"}));
    EXPECT_EQ(p.ScanRange, 7);
    EXPECT_EQ(p.Gain, 1000);
    EXPECT_EQ(p.Modulation, 2);
    EXPECT_EQ(p.Power, 20);
    EXPECT_EQ(p.StandartRuby, 1.5L);
}
