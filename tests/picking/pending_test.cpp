// A previewed base line or subtraction goes only into the spectra it was
// computed from, whatever command ends it: ticks, "All spectra", F8, F3.
#include <QCheckBox>
#include <QTest>

#include "TLabel.h"
#include "harness.h"

namespace {

class PendingTest : public FormTest {
protected:
    // An .esr file of n points, y = offset + slope * k on a rising field.
    QString Spectrum(const QString& name, double offset, double slope, int n = 60,
                     double gain = 1) {
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            x.push_back(float(3300 + k));
            y.push_back(float(offset + slope * k));
        }
        kivo::ParamSpec p;
        p.NumPoints = static_cast<uint16_t>(n);
        p.Gain = gain;
        p.Modulation = 1;
        p.StandartRuby = 1;
        WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
        return name + ".esr";
    }
    void ClickBox(int slot) {
        now += 10'000; // never the second click of a double click
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    // Every point of a slot still reads offset + slope * (k - 1).
    void ExpectUntouched(int slot, double offset, double slope) {
        ASSERT_EQ(form->Store.Params[slot].NumPoints, 60);
        for (int k = 1; k <= 60; ++k)
            ASSERT_FLOAT_EQ(form->Store.SpecY[slot][k], float(offset + slope * (k - 1)))
                << "slot " << slot << " point " << k;
    }
    // A flat spectrum is all base line: the correction leaves zeros.
    void ExpectCorrected(int slot) {
        for (int k = 1; k <= form->Store.Params[slot].NumPoints; ++k)
            ASSERT_NEAR(form->Store.SpecY[slot][k], 0.0, 1e-3) << "slot " << slot << " point " << k;
    }
};

} // namespace

TEST_F(PendingTest, BaseLineGoesIntoBothMarkedSpectra) {
    ReadFiles({Spectrum("a", 5, 0), Spectrum("b", -2, 0)});
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    ExpectCorrected(1);
    ExpectCorrected(2);
    EXPECT_FALSE(form->Work.BaseLineMode);
}

TEST_F(PendingTest, BaseLineSparesWhatWasMarkedOrUnmarkedAfterThePreview) {
    ReadFiles({Spectrum("a", 5, 0), Spectrum("b", -2, 0)});
    ClickBox(2); // b unmarked: only a is previewed
    Key(Qt::Key_3);
    ClickBox(2); // b marked while the preview of a is pending
    Key(Qt::Key_Escape);
    ExpectCorrected(1);
    ExpectUntouched(2, -2, 0);

    // Both previewed, b unmarked before the commit: b stays as it was.
    Key(Qt::Key_3);
    ClickBox(2);
    Key(Qt::Key_Escape);
    ExpectUntouched(2, -2, 0);

    // "All spectra" marks b after a preview of a alone.
    Key(Qt::Key_3);
    QTest::mouseClick(form->Ui.Label13, Qt::LeftButton);
    Settle();
    ASSERT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    Key(Qt::Key_Escape);
    ExpectUntouched(2, -2, 0);

    // What was saved is what is stored.
    AnswerFiles({"b-saved.esr"});
    ClickBox(1); // only b marked
    Key(Qt::Key_F2);
    kivo::ParamSpec p;
    kivo::PointBuffer x, y;
    x.Allocate();
    y.Allocate();
    ASSERT_EQ(
        kivo::ReadSpectrumFile(Path("b-saved.esr").toStdString(), kivo::KindEsr, p, x, y).Status,
        kivo::ReadStatus::Ok);
    EXPECT_FLOAT_EQ(y[60], -2.0f);
}

TEST_F(PendingTest, DeletionDuringTheBaseLineLeavesTheSurvivorAsItWas) {
    ReadFiles({Spectrum("a", 5, 0), Spectrum("b", -2, 0)});
    ClickBox(2);
    Key(Qt::Key_3);
    Key(Qt::Key_F8); // deletes a, the only previewed spectrum
    ASSERT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(form->Ui.SpecCheck[1]->text(), QStringLiteral("b"));
    ExpectUntouched(1, -2, 0);
    EXPECT_FALSE(form->Work.BaseLineMode);
}

TEST_F(PendingTest, DeletingTheUnpreviewedKeepsTheCorrectionOfTheOthers) {
    ReadFiles({Spectrum("a", 5, 0), Spectrum("b", -2, 0), Spectrum("c", 1, 0)});
    ClickBox(3);
    Key(Qt::Key_3); // a and b previewed
    ClickBox(1);
    ClickBox(2);
    ClickBox(3); // only c marked
    Key(Qt::Key_F8);
    // a and b were unmarked when their preview was committed: unchanged,
    // and closed up in order.
    ASSERT_EQ(form->Store.NumSpec, 2);
    ExpectUntouched(1, 5, 0);
    ExpectUntouched(2, -2, 0);
}

TEST_F(PendingTest, ReadingDuringTheBaseLineLoadsTheNewFileAsItIs) {
    ReadFiles({Spectrum("a", 5, 0)});
    const QString next = Spectrum("n", 7, 0);
    Key(Qt::Key_3);
    ReadFiles({next});
    ASSERT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(form->Ui.SpecCheck[1]->text(), QStringLiteral("n"));
    ExpectUntouched(1, 7, 0);
    EXPECT_FALSE(form->Work.BaseLineMode);

    // A cancelled read leaves the base line pending; Esc then commits it.
    Key(Qt::Key_3);
    Answer(std::nullopt);
    Key(Qt::Key_F3);
    EXPECT_TRUE(form->Work.BaseLineMode);
    Key(Qt::Key_Escape);
    ExpectCorrected(1);
}

namespace {

class PendingSubtractionTest : public PendingTest {
protected:
    // base, s1, s2 loaded; base chosen; the coefficient typed and previewed.
    void Preview(const QString& koeff, bool markS2) {
        ReadFiles({Spectrum("base", 1, 0), Spectrum("s1", 5, 0.5), Spectrum("s2", -2, 1)});
        if (!markS2) ClickBox(3);
        Key(Qt::Key_3);
        form->Mode.BaseChoicePending = true;
        ClickBox(1);
        ASSERT_EQ(form->Store.BaseSpec, 1);
        Key(Qt::Key_B, Qt::AltModifier);
        for (QChar c : koeff)
            Key(c == '.' ? Qt::Key_Period : Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        Key(Qt::Key_Return);
    }
};

} // namespace

TEST_F(PendingSubtractionTest, OnlyThePreviewedSpectraGetAResult) {
    Preview("2", false);
    ClickBox(3); // s2 marked after the preview
    Key(Qt::Key_Y);
    ASSERT_EQ(form->Store.NumSpec, 4);
    EXPECT_EQ(form->Store.FileSpectrumName[4], QStringLiteral("res1"));
    EXPECT_FLOAT_EQ(form->Store.SpecY[4][1], 3.0f); // s1 - 2 * base
    EXPECT_EQ(form->Store.Params[4].Line2, ", s1 - 2*base, ");
    ExpectUntouched(3, -2, 1);
}

TEST_F(PendingSubtractionTest, ALongCoefficientIsWrittenRounded) {
    Preview("0.98765432", true);
    Key(Qt::Key_Y);
    ASSERT_EQ(form->Store.NumSpec, 5);
    EXPECT_EQ(form->Store.Params[4].Line2, ", s1 - 0.987654*base, ");
    EXPECT_NEAR(form->Store.SpecY[4][1], 5 - 0.98765432, 1e-6);
}

TEST_F(PendingSubtractionTest, DeletionCommitsThePreviewFirstAndDeletesWhatWasMarked) {
    Preview("1", false);
    Key(Qt::Key_F8); // deletes base and s1, the marked ones
    // The result of s1 was made before the deletion and survives it.
    ASSERT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(Captions(), (QStringList{"s2", "res1"}));
    ExpectUntouched(1, -2, 1);
    EXPECT_FLOAT_EQ(form->Store.SpecY[2][60], 5 + 0.5 * 59 - 1);
    EXPECT_FALSE(form->Work.SubtrInput);
}

TEST_F(PendingSubtractionTest, ReadingReplacesWithoutAnyResultLanding) {
    Preview("1", true);
    const QString next = Spectrum("n", 7, -1);
    ReadFiles({next});
    ASSERT_EQ(form->Store.NumSpec, 1);
    ExpectUntouched(1, 7, -1);
    EXPECT_TRUE(form->Store.Params[1].Line2.empty());
    EXPECT_FALSE(form->Work.SubtrInput);
}

TEST_F(PendingSubtractionTest, YWithoutAPreviewSubtractsNothing) {
    ReadFiles({Spectrum("base", 1, 0), Spectrum("s1", 5, 0.5)});
    Key(Qt::Key_3);
    form->Mode.BaseChoicePending = true;
    ClickBox(1);
    Key(Qt::Key_B, Qt::AltModifier);
    Key(Qt::Key_1);
    Key(Qt::Key_Y); // no Enter: nothing was previewed
    EXPECT_EQ(form->Store.NumSpec, 2);
    ExpectUntouched(2, 5, 0.5);
}

TEST_F(PendingSubtractionTest, RefreshCommitsThePreviewWithItsOwnBase) {
    Preview("2", false);
    Key(Qt::Key_F4); // forgets the base choice, then commits what is pending
    EXPECT_EQ(form->Store.BaseSpec, 0);
    ASSERT_EQ(form->Store.NumSpec, 4);
    EXPECT_FLOAT_EQ(form->Store.SpecY[4][1], 3.0f);
    EXPECT_EQ(form->Store.Params[4].Line2, ", s1 - 2*base, ");
    EXPECT_FALSE(form->Work.SubtrInput);
}
