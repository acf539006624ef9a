// The treatment panel through its keys: reference-line calibration, the
// smoothing entry and its commit, and the point tools.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <functional>

#include "TChart.h"
#include "Unit1.h"
#include "harness.h"

namespace {

class TreatmentTest : public FormTest {
protected:
    QString Spectrum(const QString& name, int n, double x0, double step,
                     const std::function<double(double)>& f) {
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            x.push_back(float(x0 + k * step));
            y.push_back(float(f(x0 + k * step)));
        }
        kivo::ParamSpec p;
        p.NumPoints = static_cast<uint16_t>(n);
        WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
        return name + ".esr";
    }
    void ClickBox(int slot) {
        now += 10'000;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    // Walks the current cursor to a point with the arrows (steps of 10, then 1).
    void CursorTo(int target) {
        const int cursor = form->Pick.PickNo;
        while (std::abs(form->Pick.PickIndex[cursor] - target) >= 10)
            Key(form->Pick.PickIndex[cursor] < target ? Qt::Key_Right : Qt::Key_Left);
        Key(Qt::Key_Minus);
        Key(Qt::Key_Minus);
        Key(Qt::Key_Minus);
        Key(Qt::Key_Minus); // step 1
        while (form->Pick.PickIndex[cursor] != target)
            Key(form->Pick.PickIndex[cursor] < target ? Qt::Key_Right : Qt::Key_Left);
        form->Pick.CursorStep = 10;
    }
    void Type(const QString& text) {
        for (QChar c : text)
            Key(c == '-' ? Qt::Key_Minus : Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        Key(Qt::Key_Return);
    }
    // The point nearest a field.
    int PointAt(int slot, double field) const {
        int best = 1;
        for (int k = 1; k <= form->Store.Params[slot].NumPoints; ++k)
            if (std::abs(form->Store.SpecX[slot][k] - field) <
                std::abs(form->Store.SpecX[slot][best] - field))
                best = k;
        return best;
    }
};

// A first-derivative line of half width 2 G.
std::function<double(double)> Lines(std::vector<double> centres) {
    return [centres](double b) {
        double y = 0;
        for (double c : centres) {
            const double u = (b - c) / 2;
            y -= 100 * u / ((1 + u * u) * (1 + u * u));
        }
        return y;
    };
}

} // namespace

TEST_F(TreatmentTest, CalibrationOnMnLinesMapsTheirCentresToTheReference) {
    ReadFiles({Spectrum("mn", 1024, 3100, 0.25, Lines({3190, 3280})),
               Spectrum("other", 1024, 3101, 0.25, Lines({3191, 3281}))});
    Key(Qt::Key_8);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  Treatment  "));
    ASSERT_EQ(QApplication::focusWidget(), form->Ui.Frame16->Edit1);
    Key(Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(form->Pick.TaskCode, 162);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  Treatment       Click mouse in appropriate "
                                               "position to shift the line"));
    EXPECT_EQ(form->Pick.PickIndex[1], 10);
    EXPECT_EQ(form->Pick.PickIndex[2], 100);
    EXPECT_EQ(form->Pick.PickIndex[3], 914);
    EXPECT_EQ(form->Pick.PickIndex[4], 1014);
    CursorTo(PointAt(1, 3180));
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Pick.PickIndex[2], form->Pick.PickIndex[1] + 50); // 12.5 G on: past the line
    Key(Qt::Key_Return);
    CursorTo(PointAt(1, 3270));
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Pick.PickIndex[4], form->Pick.PickIndex[3] + 50);
    Key(Qt::Key_Return);

    EXPECT_EQ(form->Pick.TaskCode, 0);
    EXPECT_EQ(form->Mode.RefLineKind, 0);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  Treatment  "));
    // 3235 G, halfway between the lines, goes to 3196 + 45 / 90 * 86.76.
    const int mid = 541; // 3100 + 540 * 0.25 = 3235
    EXPECT_NEAR(form->Store.SpecX[1][mid], 3239.38, 2e-3);
    // The other spectrum's lines were found by field: its own centres land
    // on the reference too.
    const auto c3 = kivo::RangeExtrema(form->Store.SpecX[2].Data(), form->Store.SpecY[2].Data(),
                                       PointAt(2, 3190), PointAt(2, 3202));
    EXPECT_NEAR(c3.Centre, 3196, 0.01);
    EXPECT_EQ(form->Store.Params[1].Line2, "mn, Mn(3-4) Fld, ");
    EXPECT_EQ(form->Ui.Chart1->PointColour(form->View.AuxSeries[5], 0), QColor(255, 0, 0));
    EXPECT_DOUBLE_EQ(form->Ui.Chart1->PointX(form->View.AuxSeries[6], 0), double(3196.0f) + 86.76f);

    // Again: the note stands once.
    Key(Qt::Key_Escape);
    Key(Qt::Key_8);
    Key(Qt::Key_M, Qt::AltModifier);
    for (int k = 0; k < 4; ++k) Key(Qt::Key_Return);
    EXPECT_EQ(form->Store.Params[1].Line2, "mn, Mn(3-4) Fld, ");
}

TEST_F(TreatmentTest, TheMnExampleCalibratedAndSaved) {
    const QString example = QStringLiteral(KIVO_EXAMPLES_DIR "/mn_sextet.esr");
    WriteFile("mn.esr", [&] {
        QFile f(example);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll().toStdString();
    }());
    ReadFiles({"mn.esr"});
    // Lines 3 and 4 of the sextet stand near 3303 and 3390 G on this sweep.
    const auto centre = [&](double lo, double hi) {
        return kivo::RangeExtrema(form->Store.SpecX[1].Data(), form->Store.SpecY[1].Data(),
                                  PointAt(1, lo), PointAt(1, hi))
            .Centre;
    };
    const double c3 = centre(3290, 3320), c4 = centre(3375, 3405);
    Key(Qt::Key_8);
    Key(Qt::Key_M, Qt::AltModifier);
    CursorTo(PointAt(1, c3 - 8));
    Key(Qt::Key_Return);
    CursorTo(PointAt(1, c3 + 8));
    Key(Qt::Key_Return);
    CursorTo(PointAt(1, c4 - 8));
    Key(Qt::Key_Return);
    CursorTo(PointAt(1, c4 + 8));
    Key(Qt::Key_Return);
    AnswerFiles({"mn-calibrated.esr"});
    Key(Qt::Key_F2);
    ReadFiles({"mn-calibrated.esr"});
    EXPECT_NEAR(centre(3186, 3206), 3196, 0.01);
    EXPECT_NEAR(centre(3272, 3292), 3282.76, 0.01);
    EXPECT_EQ(form->Store.Params[1].Line2.substr(form->Store.Params[1].Line2.size() - 13),
              "Mn(3-4) Fld, ");
}

TEST_F(TreatmentTest, SmoothingMakesNewSpectraOfWhatWasPreviewed) {
    auto noisy = [](double b) { return std::sin(b) * 5; };
    ReadFiles({Spectrum("a", 50, 3300, 1, noisy), Spectrum("b", 50, 3300, 1, noisy),
               Spectrum("c", 50, 3300, 1, noisy), Spectrum("d", 50, 3300, 1, noisy)});
    ClickBox(4);
    Key(Qt::Key_8);
    Key(Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Smoothing, Num Smoothing ="));
    Type("5");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Smoothing, Num Smoothing =5, Num Restrict ="));
    Key(Qt::Key_I, Qt::AltModifier); // taken by the entry: nothing is inverted
    Type("0");
    EXPECT_EQ(form->Ui.Chart1->PointCount(ViewState::PointSeries1), 150);
    ClickBox(4); // d marked after the preview: it gets no result
    Key(Qt::Key_Y);
    ASSERT_EQ(form->Store.NumSpec, 7);
    EXPECT_EQ(Captions(), (QStringList{"a", "b", "c", "d", "res1", "res2", "res3"}));
    EXPECT_EQ(form->Store.Params[5].Line2,
              ", a Smoothed 5, "); // "res1" has no name before an ending
    EXPECT_EQ(form->Store.Params[7].Line2, ", c Smoothed 5, ");
    float mean = 0;
    for (int k = 1; k <= 5; ++k) mean += form->Store.SpecY[1][18 + k];
    EXPECT_FLOAT_EQ(form->Store.SpecY[5][21], mean / 5);
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][21], float(std::sin(3320.0) * 5)); // the source stays
    for (int i = 1; i <= 7; ++i) EXPECT_TRUE(form->Ui.SpecCheck[i]->isChecked()) << i;
}

TEST_F(TreatmentTest, ElevenMarkedAreSmoothedInPlaceAndF8CommitsFirst) {
    QStringList names;
    for (int i = 1; i <= 11; ++i)
        names << Spectrum(QStringLiteral("s%1").arg(i), 30, 3300, 1, [](double b) { return b; });
    ReadFiles(names);
    Key(Qt::Key_8);
    Key(Qt::Key_G, Qt::AltModifier);
    Type("0");
    Type("3");           // blocks of 3: 10 points remain
    Key(Qt::Key_Escape); // Esc in the entry commits as Y does
    ASSERT_EQ(form->Store.NumSpec, 11);
    EXPECT_EQ(form->Store.Params[11].NumPoints, 9); // 9 * 3 + 1 <= 30, 10 * 3 + 1 > 30
    EXPECT_FLOAT_EQ(form->Store.SpecX[11][1], 3301);
    EXPECT_EQ(form->Store.Params[11].Line2, "s11, s11 Smoothed 0, ");

    // A preview pending when F8 deletes: it goes into its own spectra first.
    Key(Qt::Key_8);
    Key(Qt::Key_G, Qt::AltModifier);
    Type("0");
    Type("2");
    for (int i = 2; i <= 11; ++i) ClickBox(i); // only s1 marked now
    Key(Qt::Key_F8);
    // s1's result went to a new slot (one spectrum marked) before s1 went.
    ASSERT_EQ(form->Store.NumSpec, 11);
    EXPECT_EQ(form->Ui.SpecCheck[11]->text(), QStringLiteral("res1"));
    EXPECT_EQ(form->Store.Params[11].NumPoints, 4);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 9); // s2, unmarked: not smoothed again
    EXPECT_FALSE(form->Work.SmoothEntry);
}

// The typed counts are 16-bit, as the mode line has always held them: -1 is
// 65535, a window wider than any spectrum, or a block that never fits.
TEST_F(TreatmentTest, TypedSmoothingCountsWrapToSixteenBits) {
    const struct {
        const char *W, *R;
        int Made;         // points of the new spectrum, 0 for none
        const char* Note; // the end of its Line2
    } cases[] = {
        {"-1", "0", 40, "a Smoothed 65535, "},
        {"40000", "0", 40, "a Smoothed 40000, "},
        {"4", "0", 40, "a Smoothed 4, "},
        {"0", "-1", 0, ""},
        {"0", "65535", 0, ""},
        {"99999", "13", 2, "a Smoothed 0, "}, // no 16-bit count: 0; 2 blocks of 13
    };
    ReadFiles({Spectrum("a", 40, 3300, 1, [](double b) { return (b - 3300) * (b - 3300); })});
    double sum = 0;
    for (int k = 1; k <= 40; ++k) sum += form->Store.SpecY[1][k];
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.W) + "," + c.R);
        Key(Qt::Key_8);
        Key(Qt::Key_G, Qt::AltModifier);
        Type(c.W);
        Type(c.R);
        Key(Qt::Key_Y);
        if (c.Made == 0) {
            EXPECT_EQ(form->Store.NumSpec, 1);
            EXPECT_TRUE(form->ModeLine().contains("Fewer than 2 points after smoothing: a "));
            continue;
        }
        ASSERT_EQ(form->Store.NumSpec, 2);
        EXPECT_EQ(form->Store.Params[2].NumPoints, c.Made);
        const std::string& note = form->Store.Params[2].Line2;
        EXPECT_EQ(note.substr(note.size() - std::strlen(c.Note)), c.Note);
        const bool whole = std::string(c.W) != "4" && c.Made == 40;
        // A window over the whole spectrum gives its mean everywhere.
        if (whole) {
            EXPECT_NEAR(form->Store.SpecY[2][1], sum / 40, 1e-3);
            EXPECT_NEAR(form->Store.SpecY[2][40], sum / 40, 1e-3);
        } else {
            EXPECT_LT(form->Store.SpecY[2][1], sum / 40);
        }
        ClickBox(1);
        Key(Qt::Key_F8); // the result goes; the source, left alone, is marked again
    }
}

TEST_F(TreatmentTest, PointTools) {
    ReadFiles({Spectrum("a", 6, 1, 1, [](double b) { return b * 10; }),
               Spectrum("b", 6, 1, 1, [](double b) { return b; })});
    form->Store.SpecX[1][4] = 2.5f; // one backward step in a
    form->Store.SpecX[2][2] = 0.5f; // two in b: 1, 0.5, 3, 2.9, 5, 6
    form->Store.SpecX[2][4] = 2.9f;
    Key(Qt::Key_8);
    Key(Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(form->Ui.Label2->text(), QStringLiteral("  I mist = 3"));
    EXPECT_EQ(form->Store.Params[1].NumPoints, 5);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 4);
    EXPECT_TRUE(form->Ui.Frame16->isVisibleTo(form.get()));

    const float y3 = form->Store.SpecY[1][3];
    Key(Qt::Key_I, Qt::AltModifier);
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][3], -y3);
    Key(Qt::Key_I, Qt::AltModifier);
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][3], y3);
    Key(Qt::Key_I, Qt::AltModifier | Qt::ShiftModifier); // not exactly Alt
    EXPECT_FLOAT_EQ(form->Store.SpecY[1][3], y3);

    // Measure: in points, then in levels after F11.
    Key(Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("    Tool measure, vertical - F11 "));
    Key(Qt::Key_Left); // cursor 1 to point 1 (field 1)
    Key(Qt::Key_Return);
    Key(Qt::Key_Return); // cursor 2 on the last point (field 6)
    EXPECT_EQ(form->Ui.Label12->text(), QStringLiteral("1, 6,  Delta= 5"));
    EXPECT_EQ(form->Pick.TaskCode, 168); // measure again at once
    Key(Qt::Key_F11);
    form->Pick.PickLevel[1] = 5;
    Key(Qt::Key_Return);
    form->Pick.PickLevel[2] = 2;
    Key(Qt::Key_Return);
    EXPECT_TRUE(form->Ui.Label12->text().endsWith(QStringLiteral(" Delta= 3")));
    EXPECT_TRUE(form->Ui.Label2->text().isEmpty());
}

TEST_F(TreatmentTest, DeletePointsRemovesTheRunFromTheFirstCursor) {
    ReadFiles({Spectrum("a", 200, 3000, 1, [](double b) { return b; })});
    Key(Qt::Key_8);
    Key(Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(form->Pick.PickIndex[1], 10);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Pick.PickIndex[2], 11);
    Key(Qt::Key_Right); // cursor 2 to point 21
    Key(Qt::Key_Return);
    ASSERT_EQ(form->Store.Params[1].NumPoints, 189); // points 10..20 gone, 21 kept
    EXPECT_FLOAT_EQ(form->Store.SpecX[1][9], 3008);
    EXPECT_FLOAT_EQ(form->Store.SpecX[1][10], 3020);
    EXPECT_TRUE(form->Ui.Frame16->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame16->Edit1);
    EXPECT_EQ(form->Pick.TaskCode, 0);
}
