// Undo and redo through the keys: every change to the store comes back as it
// was, saved fields byte for byte, and the history keeps its bounds.
#include <QCheckBox>
#include <QTest>

#include "TChart.h"
#include "harness.h"

namespace {

class UndoTest : public FormTest {
protected:
    // A spectrum on a sloping base line, so that "3" changes every point.
    QString Spectrum(const QString& name, double offset, int n = 200) {
        std::vector<float> x, y;
        for (int k = 0; k < n; ++k) {
            const double u = (k - n / 2.0) / 8.0;
            x.push_back(float(3300 + 0.5 * k));
            y.push_back(float(offset + 0.01 * k - 2 * u / ((1 + u * u) * (1 + u * u))));
        }
        kivo::ParamSpec p;
        p.NumPoints = static_cast<uint16_t>(n);
        p.Gain = 2e4;
        p.Modulation = 1;
        p.StandartRuby = 1;
        p.Line1 = name.toStdString();
        WriteFile(name + ".esr", kivo::FormatSpectrum(p, x.data(), y.data()));
        return name + ".esr";
    }
    // Saves every marked spectrum under the names given, in slot order.
    void SaveAs(const QStringList& names) {
        for (const QString& name : names) AnswerFiles({name});
        Key(Qt::Key_F2);
        ASSERT_EQ(PendingAnswers(), 0);
    }
    void ClickBox(int slot) {
        now += 10'000;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }
    void Undo() { Key(Qt::Key_Z, Qt::ControlModifier); }
    void Redo() { Key(Qt::Key_Y, Qt::ControlModifier); }
};

} // namespace

TEST_F(UndoTest, TypicalRoadUndoneAndRedoneToTheByte) {
    ReadFiles({Spectrum("a", 3), Spectrum("b", -1)});
    SaveAs({"a0.esr", "b0.esr"});
    Key(Qt::Key_3);
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    Key(Qt::Key_Escape);
    SaveAs({"a1.esr", "b1.esr"});
    ASSERT_NE(ReadBytes("a1.esr"), ReadBytes("a0.esr"));
    ASSERT_NE(form->Store.Params[1].DblIntegral, 0);

    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Double integration "));
    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Base line "));
    SaveAs({"a2.esr", "b2.esr"});
    EXPECT_EQ(ReadBytes("a2.esr"), ReadBytes("a0.esr"));
    EXPECT_EQ(ReadBytes("b2.esr"), ReadBytes("b0.esr"));

    // A save in between is no step: both redo steps are still there.
    Redo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Redo: Base line "));
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Redo: Double integration "));
    SaveAs({"a3.esr", "b3.esr"});
    EXPECT_EQ(ReadBytes("a3.esr"), ReadBytes("a1.esr"));
    EXPECT_EQ(ReadBytes("b3.esr"), ReadBytes("b1.esr"));
    Redo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Nothing to redo "));
}

TEST_F(UndoTest, DeletionComesBackInItsSlotColourAndName) {
    ReadFiles({Spectrum("s1", 1), Spectrum("s2", 2), Spectrum("s3", 3)});
    const std::vector<float> second(form->Store.SpecY[2].Data(), form->Store.SpecY[2].Data() + 200);
    ClickBox(1);
    ClickBox(3); // only s2 is marked
    Key(Qt::Key_F8);
    ASSERT_EQ(Captions(), (QStringList{"s1", "s3"}));
    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Delete "));
    ASSERT_EQ(form->Store.NumSpec, 3);
    EXPECT_EQ(Captions(), (QStringList{"s1", "s2", "s3"}));
    EXPECT_EQ(form->Store.FileSpectrumName[2], Path("s2.esr"));
    EXPECT_EQ(std::vector<float>(form->Store.SpecY[2].Data(), form->Store.SpecY[2].Data() + 200),
              second);
    // The marks are those before the deletion.
    EXPECT_FALSE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    EXPECT_FALSE(form->Ui.SpecCheck[3]->isChecked());
}

TEST_F(UndoTest, ReadUndoneBringsBackTheSpectraItReplaced) {
    ReadFiles({Spectrum("old", 5)});
    ReadFiles({Spectrum("new1", 1), Spectrum("new2", 2)});
    ASSERT_EQ(form->Store.NumSpec, 2);
    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Read "));
    EXPECT_EQ(Captions(), (QStringList{"old"}));
    EXPECT_EQ(form->Store.NumSpec, 1);
    EXPECT_FALSE(form->Store.SpecX[2].Allocated());
    EXPECT_EQ(form->Store.Params[1].Line1, "old");
    Redo();
    EXPECT_EQ(Captions(), (QStringList{"new1", "new2"}));
    // The first read itself is a step too: undone, nothing is loaded.
    Undo();
    Undo();
    EXPECT_EQ(form->Store.NumSpec, 0);
    EXPECT_TRUE(Captions().isEmpty());
    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Nothing to undo "));
}

TEST_F(UndoTest, PendingPreviewEndsAsEscWouldThenIsUndone) {
    ReadFiles({Spectrum("a", 3)});
    const std::vector<float> read(form->Store.SpecY[1].Data(), form->Store.SpecY[1].Data() + 200);
    Key(Qt::Key_3); // the base-line preview is pending
    Undo();
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Base line "));
    EXPECT_FALSE(form->Work.BaseLineMode);
    EXPECT_EQ(std::vector<float>(form->Store.SpecY[1].Data(), form->Store.SpecY[1].Data() + 200),
              read);
    Redo();
    EXPECT_NE(std::vector<float>(form->Store.SpecY[1].Data(), form->Store.SpecY[1].Data() + 200),
              read);

    // A new command after an undo leaves nothing to redo.
    Undo();
    Key(Qt::Key_8);
    Key(Qt::Key_I, Qt::AltModifier); // inverse
    EXPECT_FALSE(form->Ui.RedoItem->isEnabled());
    EXPECT_EQ(form->Ui.UndoItem->text(), QStringLiteral("Undo Inverse"));
}

TEST_F(UndoTest, CtrlZFoundByItsPlaceUnderARussianLayout) {
    ReadFiles({Spectrum("a", 3)});
    ReadFiles({Spectrum("b", 1)});
    // The key of Z writes "я" there: XKB keycode 52, keysym Cyrillic_ya.
    NativeKey(0x42F, Qt::ControlModifier, 52, 0x6d1, QStringLiteral("\x1a"));
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Undo: Read "));
    EXPECT_EQ(Captions(), (QStringList{"a"}));
}

TEST_F(UndoTest, EntryInProgressKeepsItsKeys) {
    ReadFiles({Spectrum("a", 3), Spectrum("b", 1)});
    Key(Qt::Key_8);
    Key(Qt::Key_G, Qt::AltModifier); // the smoothing numbers are asked for
    ASSERT_TRUE(form->Work.SmoothEntry);
    Undo();
    EXPECT_TRUE(form->Work.SmoothEntry);
    EXPECT_EQ(form->Store.NumSpec, 2);
}

TEST(UndoHistory, OldestStepsGoFirstByCountAndByMemory) {
    UndoHistory h;
    auto step = [](int k, size_t floats) {
        UndoStep s;
        s.Name = QString::number(k);
        SlotState slot;
        slot.X.assign(floats, 1.0f);
        s.Slots.emplace_back(1, std::move(slot));
        return s;
    };
    for (int k = 0; k < 105; ++k) h.Push(step(k, 10));
    EXPECT_EQ(h.Steps(), 100u);
    EXPECT_EQ(h.UndoName(), QStringLiteral("104"));

    // 30 steps of 3.6 MB each: the newest 18 fit under 64 MiB, the oldest went.
    UndoHistory m;
    for (int k = 0; k < 30; ++k) m.Push(step(k, 900'000));
    EXPECT_LE(m.Bytes(), UndoHistory::MaxBytes);
    EXPECT_EQ(m.Steps(), 18u);
    EXPECT_EQ(m.UndoName(), QStringLiteral("29"));
    QString oldest;
    while (m.CanUndo()) {
        UndoStep s = m.TakeUndo();
        oldest = s.Name;
        m.Undone(std::move(s));
    }
    EXPECT_EQ(oldest, QStringLiteral("12"));
    EXPECT_EQ(m.RedoName(), QStringLiteral("12"));
    // A new step drops every redo step.
    m.Push(step(99, 10));
    EXPECT_FALSE(m.CanRedo());
    EXPECT_EQ(m.Steps(), 1u);
}
