// Work kept between key presses lands on the spectrum it was made on: the
// cursors follow the active spectrum by field, commits read the boxes, moves
// follow their spectrum, a typed parameter is stored before the next command,
// undo brings back the marks, and a failed command is taken back whole.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>
#include <functional>
#include <new>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

class FollowTest : public FormTest {
protected:
    // n points from x0 in steps of `step`, y = f(field); gain, modulation and
    // ruby 1, so a subtraction's factor is 1.
    QString Spectrum(const QString& name, int n, double x0, double step,
                     const std::function<double(double)>& f) {
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            x.push_back(float(x0 + k * step));
            y.push_back(float(f(x0 + k * step)));
        }
        kivo::ParamSpec p;
        p.Line1 = name.toStdString();
        p.NumPoints = static_cast<uint16_t>(n);
        p.Gain = p.Modulation = 1;
        p.StandartRuby = 1;
        WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
        return name + ".esr";
    }
    void ClickBox(int slot, qint64 gap = 10'000) {
        now += gap;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    void DoubleClickBox(int slot) {
        ClickBox(slot);
        ClickBox(slot, 100);
    }
    void Press(Qt::Key key, int times = 1, Qt::KeyboardModifiers m = Qt::NoModifier) {
        for (int i = 0; i < times; ++i) Key(key, m);
    }
    std::vector<float> Xs(int slot) const {
        return {form->Store.SpecX[slot].Data(),
                form->Store.SpecX[slot].Data() + form->Store.Params[slot].NumPoints};
    }
    std::vector<float> Ys(int slot) const {
        return {form->Store.SpecY[slot].Data(),
                form->Store.SpecY[slot].Data() + form->Store.Params[slot].NumPoints};
    }
    double DrawnCursor(int k) const { return form->Ui.Chart1->PointX(form->View.AuxSeries[k], 0); }
    // Peak to peak of a slot between two fields.
    double PeakToPeak(int slot, double lo, double hi) const {
        double top = -1e300, bottom = 1e300;
        for (int k = 1; k <= form->Store.Params[slot].NumPoints; ++k) {
            const double x = form->Store.SpecX[slot][k], y = form->Store.SpecY[slot][k];
            if (x < lo || x > hi) continue;
            top = std::max(top, y);
            bottom = std::min(bottom, y);
        }
        return top - bottom;
    }
};

// First-derivative lines of half width 2 G and height 100.
std::function<double(double)> Lines(std::vector<double> centres, double slope = 0) {
    return [centres, slope](double b) {
        double y = slope * (b - 3000);
        for (double c : centres) {
            const double u = (b - c) / 2;
            y -= 100 * u / ((1 + u * u) * (1 + u * u));
        }
        return y;
    };
}

} // namespace

// Cursors placed on one spectrum, then a tick that makes another one active:
// the cut is made where the chart shows the cursors.
TEST_F(FollowTest, RestrictionCutsWhereTheCursorsAreShownAfterATick) {
    ReadFiles({Spectrum("a", 300, 3000, 1.5, Lines({3200})),
               Spectrum("b", 500, 3020, 0.8, Lines({3200}))});
    ClickBox(1); // b alone is marked, and active
    Press(Qt::Key_6);
    Press(Qt::Key_R, 1, Qt::AltModifier);
    Press(Qt::Key_Right, 5);
    Press(Qt::Key_Return);
    ClickBox(1); // a marked again: now the active spectrum
    EXPECT_EQ(form->Store.ActiveSpec, 1);
    Press(Qt::Key_Left, 5);
    const double lo = DrawnCursor(1), hi = DrawnCursor(2);
    EXPECT_NEAR(lo, 3060, 1.5); // where b's point 51 stood, on a's grid
    Press(Qt::Key_Return);
    Press(Qt::Key_Escape);
    ASSERT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(form->Store.Params[1].NumPoints, 300); // a was not marked when the cut began
    const std::vector<float> x = Xs(2);
    ASSERT_GE(x.size(), 2u);
    EXPECT_GE(x.front(), lo - 1e-3);
    EXPECT_LT(x.front(), lo + 0.8);
    EXPECT_LE(x.back(), hi + 1e-3);
    EXPECT_GT(x.back(), hi - 0.8);
}

// Normalising on a component and aligning on it read each spectrum only
// within its own points, on the range the cursors show.
TEST_F(FollowTest, ComponentCommandsUseTheShownRangeOnEverySpectrum) {
    for (const Qt::Key command : {Qt::Key_A, Qt::Key_B}) {
        ReadFiles({Spectrum("short", 300, 3150, 0.5, Lines({3220})),
                   Spectrum("long", 1000, 3000, 0.6, Lines({3220}))});
        ClickBox(1);
        Press(Qt::Key_6);
        Press(command, 1, Qt::AltModifier);
        Press(Qt::Key_Right, 20); // cursor 1 to 3126 G on the long one
        Press(Qt::Key_Return);
        ClickBox(1);
        ASSERT_EQ(form->Store.ActiveSpec, 1);
        const std::vector<float> longBefore = Xs(2);
        const double lo = DrawnCursor(1), hi = DrawnCursor(2);
        Press(Qt::Key_Return);
        if (command == Qt::Key_A) {
            // Each spectrum's line is 1 from peak to peak in the range shown.
            EXPECT_NEAR(PeakToPeak(1, lo, hi), 1, 1e-5);
            EXPECT_NEAR(PeakToPeak(2, lo, hi), 1, 1e-5);
        } else {
            // Both lines stand at 3220 G: nothing to shift.
            const std::vector<float> x = Xs(2);
            EXPECT_NEAR(x.front(), longBefore.front(), 0.6);
        }
        Press(Qt::Key_Escape);
    }
}

// A calibration whose last cursor is accepted after the sample was ticked:
// the lines are those the cursors enclose, carried by field to the sample.
TEST_F(FollowTest, CalibrationAfterATickFindsTheLinesOnEverySpectrum) {
    const std::vector<double> mn = {3029.05, 3462.96};
    ReadFiles({Spectrum("sample", 700, 2990, 0.75, Lines({mn[0], 3350, mn[1]})),
               Spectrum("mn", 1000, 3000, 0.5, Lines(mn))});
    ClickBox(1);
    Press(Qt::Key_8);
    Press(Qt::Key_L, 1, Qt::AltModifier);
    Press(Qt::Key_Return); // the first line from 3004.5 G
    Press(Qt::Key_Right, 3);
    Press(Qt::Key_Return); // to 3044.5 G
    Press(Qt::Key_Return); // the second from 3444.5 G
    ClickBox(1);
    Press(Qt::Key_Return);
    for (int slot : {1, 2}) {
        const std::vector<float> x = Xs(slot);
        EXPECT_NEAR(x.front(), slot == 1 ? 2990 : 3000, 0.5) << slot;
        EXPECT_NEAR(x.back() - x.front(), slot == 1 ? 699 * 0.75 : 999 * 0.5, 0.5) << slot;
    }
}

// A double click shows or hides a line and leaves the box as it was: the
// base line and the subtraction commit into it as into any marked spectrum.
TEST_F(FollowTest, CommitsAfterADoubleClickTreatTheMarkedSpectrum) {
    ReadFiles({Spectrum("a", 200, 3100, 1, Lines({3200}, 0.5)),
               Spectrum("b", 200, 3100, 1, Lines({3200}, 0.5))});
    Press(Qt::Key_3);
    DoubleClickBox(2);
    EXPECT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    Press(Qt::Key_Escape);
    for (int slot : {1, 2}) EXPECT_NEAR(Ys(slot).front(), 0, 0.5) << slot; // slope taken off

    ReadFiles({Spectrum("a", 200, 3100, 1, Lines({3200})), Spectrum("b", 200, 3100, 1, Lines({})),
               Spectrum("base", 200, 3100, 1, Lines({}, 0.1))});
    Press(Qt::Key_3);
    Press(Qt::Key_C, 1, Qt::AltModifier);
    ClickBox(3); // the base spectrum
    Press(Qt::Key_B, 1, Qt::AltModifier);
    Press(Qt::Key_1);
    Press(Qt::Key_Return); // previewed for a and b
    DoubleClickBox(1);
    Press(Qt::Key_Y);
    EXPECT_EQ(Captions(), (QStringList{"a", "b", "base   B", "res1", "res2"}));

    // A base choice pending when a typed parameter is stored chooses nothing.
    ReadFiles({Spectrum("a", 200, 3100, 1, Lines({3200}, 0.5)),
               Spectrum("b", 200, 3100, 1, Lines({3200}, 0.5))});
    Press(Qt::Key_3);
    DoubleClickBox(2);
    Press(Qt::Key_C, 1, Qt::AltModifier);
    QTest::mouseClick(form->Ui.Memo1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(form->Ui.Memo1, Qt::Key_Return);
    Settle();
    EXPECT_EQ(Captions(), (QStringList{"a", "b"}));
    EXPECT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    EXPECT_NEAR(Ys(2).front(), 0, 0.5);
}

// Moves made in move and scale belong to their spectrum: a new spectrum in
// the slot has none, and closing the slots up takes each move along.
TEST_F(FollowTest, SavedAsPlottedWithTheMovesOfEachSpectrum) {
    ReadFiles({Spectrum("a", 100, 3300, 1, Lines({3350}))});
    Press(Qt::Key_6);
    Press(Qt::Key_Right, 3);
    ReadFiles({Spectrum("n", 100, 3300, 1, Lines({3350}))});
    Press(Qt::Key_6);
    Answer(std::nullopt);
    QTest::mouseClick(form->Ui.Frame12->Label10, Qt::LeftButton);
    EXPECT_FLOAT_EQ(Xs(1).front(), 3300); // never moved

    ReadFiles({Spectrum("a", 100, 3300, 1, Lines({3350})), Spectrum("b", 100, 3300, 1, Lines({})),
               Spectrum("c", 100, 3300, 1, Lines({}))});
    ClickBox(1);
    ClickBox(3); // b alone
    Press(Qt::Key_6);
    Press(Qt::Key_Right, 3);
    const double moved = form->View.XShift;
    ASSERT_GT(moved, 1);
    ClickBox(1);
    ClickBox(2); // a alone, to be deleted
    Press(Qt::Key_F8);
    ASSERT_EQ(Captions(), (QStringList{"b", "c"}));
    Press(Qt::Key_6);
    Answer(std::nullopt);
    Answer(std::nullopt);
    QTest::mouseClick(form->Ui.Frame12->Label10, Qt::LeftButton);
    EXPECT_NEAR(Xs(1).front(), 3300 + moved, 1e-3); // b, moved
    EXPECT_FLOAT_EQ(Xs(2).front(), 3300);           // c, never moved
}

// Typing into a parameter box and then pressing a command key: the typed
// value is stored first, and the command acts on the updated spectrum.
TEST_F(FollowTest, ATypedParameterIsStoredBeforeTheNextCommand) {
    for (const Qt::Key command : {Qt::Key_F8, Qt::Key_F2, Qt::Key_F4}) {
        ReadFiles({Spectrum("a", 50, 3300, 1, Lines({})), Spectrum("b", 50, 3300, 1, Lines({}))});
        ClickBox(2); // a alone is marked
        QTest::mouseClick(form->Ui.Memo1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        Settle();
        ASSERT_EQ(QApplication::focusWidget(), form->Ui.Memo1);
        QTest::keyClick(form->Ui.Memo1, Qt::Key_End);
        QTest::keyClicks(form->Ui.Memo1, QStringLiteral(" 77 K"));
        if (command == Qt::Key_F2) Answer(QStringList{Path("a-saved.esr")});
        Press(command);
        if (command == Qt::Key_F8) {
            // b stays, drawn.
            ASSERT_EQ(Captions(), QStringList{"b"});
            EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[1]));
            EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[1]) > 0, true);
        } else {
            EXPECT_EQ(form->Store.Params[1].Line1, "a 77 K");
        }
        if (command == Qt::Key_F2) {
            EXPECT_NE(ReadBytes("a-saved.esr").find("a 77 K"), std::string::npos);
        }
    }
}

// Undo and redo bring back the marks of the state they restore.
TEST_F(FollowTest, UndoAndRedoBringBackTheMarksOfTheirState) {
    ReadFiles({Spectrum("a", 50, 3300, 1, [](double b) { return std::sin(b); })});
    Press(Qt::Key_8);
    Press(Qt::Key_G, 1, Qt::AltModifier);
    Press(Qt::Key_3);
    Press(Qt::Key_Return);
    Press(Qt::Key_0);
    Press(Qt::Key_Return);
    Press(Qt::Key_Y);
    ASSERT_EQ(Captions(), (QStringList{"a", "res1"}));
    Press(Qt::Key_Z, 1, Qt::ControlModifier);
    Press(Qt::Key_Y, 1, Qt::ControlModifier);
    ASSERT_EQ(Captions(), (QStringList{"a", "res1"}));
    EXPECT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    EXPECT_GT(form->Ui.Chart1->PointCount(form->View.SpecSeries[2]), 0);

    ReadFiles({Spectrum("c", 50, 3300, 1, Lines({})), Spectrum("d", 50, 3300, 1, Lines({}))});
    for (int round = 0; round < 2; ++round) {
        Press(Qt::Key_Z, 1, Qt::ControlModifier);
        EXPECT_EQ(Captions(), (QStringList{"a", "res1"}));
        for (int slot : {1, 2}) EXPECT_TRUE(form->Ui.SpecCheck[slot]->isChecked()) << slot;
        Press(Qt::Key_Y, 1, Qt::ControlModifier);
        EXPECT_EQ(Captions(), (QStringList{"c", "d"}));
        for (int slot : {1, 2}) EXPECT_TRUE(form->Ui.SpecCheck[slot]->isChecked()) << slot;
    }

    // The boxes the undo ticks are no choice of a base spectrum pending.
    ClickBox(2);
    Press(Qt::Key_3);
    Press(Qt::Key_C, 1, Qt::AltModifier); // "Choose the base line spectrum"
    Press(Qt::Key_F8);
    Press(Qt::Key_Z, 1, Qt::ControlModifier);
    EXPECT_EQ(Captions(), (QStringList{"c", "d"}));
    EXPECT_TRUE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_FALSE(form->Ui.SpecCheck[2]->isChecked());
}

// A command that fails half-way leaves nothing of itself: the spectra as
// they were, the history as it was, and the failure named.
TEST_F(FollowTest, AFailedCommandIsTakenBackWhole) {
    ReadFiles({Spectrum("a", 50, 3300, 1, Lines({3320})), Spectrum("b", 60, 3290, 1, Lines({}))});
    Press(Qt::Key_3);
    Press(Qt::Key_Escape); // a step to keep in the history
    const std::vector<float> ax = Xs(1), bx = Xs(2), ay = Ys(1);
    const size_t steps = form->Store.Undo.UndoSteps();
    const QString last = form->Store.Undo.UndoName();
    Press(Qt::Key_6);
    Press(Qt::Key_Right, 3);
    // Save as plotted moves both spectra, then its save dialog runs out of memory.
    TFileDialog::Answer = [](const TFileDialog&) -> std::optional<QStringList> {
        throw std::bad_alloc();
    };
    Press(Qt::Key_W, 1, Qt::AltModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Frame12Edit1KeyDown failed: out of memory "));
    ASSERT_EQ(form->Store.NumSpec, 2);
    EXPECT_TRUE(Xs(1) == ax && Ys(1) == ay && Xs(2) == bx);
    EXPECT_EQ(form->Store.Undo.UndoSteps(), steps);
    EXPECT_EQ(form->Store.Undo.UndoName(), last);
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
}
