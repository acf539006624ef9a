// Numbers typed into the mode line, and parameters typed into the panel.
#include <QCheckBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>

#include "TChart.h"
#include "Unit1.h"
#include "harness.h"
#include "keys.h"

namespace {

class EntryTest : public FormTest {
protected:
    // A key as the user presses it, mapped as the panels map it.
    void Type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, modifiers);
        int code = kivo::VirtualKeyOf(e);
        form->Label3Edit(code);
    }
    void StartSubtraction() {
        form->Work.SubtrInput = true;
        form->Entry.PromptText =
            QStringLiteral("   Subtraction (According Standart - Enter), koeff = ");
        form->Entry.EntryText.clear();
    }
    void StartSmoothing() {
        form->Work.SmoothEntry = true;
        form->Entry.PromptText = QStringLiteral("   Smoothing, Num Smoothing =");
        form->Entry.EntryText.clear();
    }
};

// Replaces line n (1-based) of a box as if the user typed it there.
void Retype(QPlainTextEdit* memo, int n, const QString& text) {
    QTextCursor c(memo->document()->findBlockByNumber(n - 1));
    c.select(QTextCursor::LineUnderCursor);
    c.removeSelectedText();
    c.insertText(text);
}

} // namespace

TEST_F(EntryTest, KeypadAndMainKeyboardBuildTheFactor) {
    StartSubtraction();
    Type(Qt::Key_1, Qt::KeypadModifier);
    Type(Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   Subtraction (According Standart - Enter), koeff = 12"));
    Type(Qt::Key_Period);
    Type(Qt::Key_5);
    EXPECT_EQ(form->Entry.EntryText, QStringLiteral("12.5"));
    Type(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(form->Entry.SubtrKoeff, 12.5);
    EXPECT_TRUE(form->Entry.EntryText.isEmpty());
    EXPECT_TRUE(form->Work.SubtrInput); // still previewing
    EXPECT_TRUE(form->Ui.Frame14->Label5->isVisibleTo(form->Ui.Frame14));
    EXPECT_TRUE(form->Ui.Frame16->Label12->isVisibleTo(form->Ui.Frame16));
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   Subtraction (According Standart - Enter), koeff = "));
}

TEST_F(EntryTest, EditingKeysAndKeysThatDoNothing) {
    StartSubtraction();
    Type(Qt::Key_Minus);
    Type(Qt::Key_0);
    Type(Qt::Key_Period);
    Type(Qt::Key_7);
    Type(Qt::Key_7);
    Type(Qt::Key_Backspace);
    Type(Qt::Key_Plus, Qt::KeypadModifier); // keypad + - . are not in the table
    Type(Qt::Key_Minus, Qt::KeypadModifier);
    Type(Qt::Key_Period, Qt::KeypadModifier);
    Type(Qt::Key_A);
    EXPECT_EQ(form->Entry.EntryText, QStringLiteral("-0.7"));
    Type(Qt::Key_Equal); // the main keyboard's =/+ key
    EXPECT_EQ(form->Entry.EntryText, QStringLiteral("-0.7+"));
    Type(Qt::Key_Return); // not a number: factor 0
    EXPECT_DOUBLE_EQ(form->Entry.SubtrKoeff, 0);
    for (int i = 0; i < 3; ++i) Type(Qt::Key_Backspace); // on an empty entry
    EXPECT_TRUE(form->Entry.EntryText.isEmpty());
    Type(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(form->Entry.SubtrKoeff, 0);
}

TEST_F(EntryTest, SmoothingTakesTwoNumbersAndStartsAgain) {
    StartSmoothing();
    Type(Qt::Key_3);
    Type(Qt::Key_Return);
    EXPECT_TRUE(form->Work.RestrictNumberDue);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Smoothing, Num Smoothing =3, Num Restrict ="));
    Type(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Smoothing, Num Smoothing =3, Num Restrict =5"));
    Type(Qt::Key_Return);
    EXPECT_EQ(form->Entry.NumSmooth, 3);
    EXPECT_EQ(form->Entry.NumRestrict, 5);
    EXPECT_EQ(form->Entry.NumSmoothIn, 0);
    EXPECT_FALSE(form->Work.RestrictNumberDue);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Smoothing, Num Smoothing ="));
    // An empty entry and a number too large for the field give 0.
    Type(Qt::Key_Return);
    for (Qt::Key k : {Qt::Key_9, Qt::Key_9, Qt::Key_9, Qt::Key_9, Qt::Key_9}) Type(k);
    Type(Qt::Key_Return);
    EXPECT_EQ(form->Entry.NumSmooth, 0);
    EXPECT_EQ(form->Entry.NumRestrict, 0);
}

TEST_F(EntryTest, EscEndsTheSubtractionWithoutCommittingAndYFinishes) {
    StartSubtraction();
    form->Ui.Frame11->hide();
    form->Ui.Frame14->show();
    Type(Qt::Key_2);
    Type(Qt::Key_Escape);
    EXPECT_FALSE(form->Work.SubtrInput);
    EXPECT_TRUE(form->Entry.EntryText.isEmpty());
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Mode.SelectMode);
    EXPECT_TRUE(form->ModeLine().startsWith(QStringLiteral("   SELECT MODE         Hot keys")));

    StartSmoothing();
    Type(Qt::Key_Y);
    EXPECT_FALSE(form->Work.SmoothEntry); // committed by the full refresh
    EXPECT_EQ(form->Entry.PromptText, QStringLiteral("   SELECT MODE") + form->Options.HotKeysHint);

    StartSubtraction();
    form->Ui.Frame16->Label12->show();
    QTest::mouseClick(form->Ui.Frame16->Label12, Qt::LeftButton); // "To Finish - press Y"
    EXPECT_FALSE(form->Work.SubtrInput);
    EXPECT_EQ(form->ModeLine(), form->Entry.PromptText);
}

namespace {

class PanelEditTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        kivo::ParamSpec p;
        p.Line1 = "Sample A";
        p.Line2 = "\xCE\xE1\xF0\xE0\xE7\xE5\xF6"; // code page 1251
        p.ScanRange = 99.6;
        p.Gain = 12345;
        p.Modulation = 1.234;
        p.Power = 19.996;
        p.StandartRuby = 0.12345;
        p.NumPoints = 3;
        const float x[] = {3300, 3301, 3302}, y[] = {1, -1, 2};
        WriteFile("a.esr", kivo::FormatSpectrum(p, x, y));
        ReadFiles({"a.esr"});
        ASSERT_EQ(form->Store.NumSpec, 1);
        ASSERT_FALSE(form->Ui.Memo2->isHidden());
    }
    void Enter(QPlainTextEdit* memo) {
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        Settle();
        ASSERT_EQ(QApplication::focusWidget(), memo);
    }
    void Leave() {
        form->Ui.Frame11->Edit1->setFocus(Qt::MouseFocusReason);
        Settle();
    }
};

} // namespace

TEST_F(PanelEditTest, LeavingUntouchedBoxesStoresTheShownValues) {
    Enter(form->Ui.Memo2);
    EXPECT_TRUE(form->Mode.MemoEditing);
    Leave();
    EXPECT_FALSE(form->Mode.MemoEditing);
    const kivo::ParamSpec& p = form->Store.Params[1];
    EXPECT_DOUBLE_EQ(p.ScanRange, 100);
    EXPECT_DOUBLE_EQ(p.Gain, 12300);
    EXPECT_DOUBLE_EQ(p.Modulation, 1.23);
    EXPECT_DOUBLE_EQ(p.Power, 20);
    EXPECT_NEAR(double(p.StandartRuby), 0.123, 1e-15);
    EXPECT_EQ(p.Line1, "Sample A");
    EXPECT_EQ(p.Line2, "\xCE\xE1\xF0\xE0\xE7\xE5\xF6"); // the same bytes
    EXPECT_EQ(form->ModeLine(), QStringLiteral(" "));   // nothing to report
}

TEST_F(PanelEditTest, TypedPowerIsStoredAndShownAgain) {
    Enter(form->Ui.Memo2);
    Retype(form->Ui.Memo2, 5, QStringLiteral("10.00 mW"));
    Leave();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Power, 10);
    EXPECT_EQ(form->Ui.Memo2->toPlainText().split('\n').at(4), QStringLiteral(" 10.00 mW"));
}

TEST_F(PanelEditTest, CompactGainsReadBack) {
    form->Store.Params[1].Gain = 0.00234;
    form->Parameters(1);
    EXPECT_EQ(form->Ui.Memo2->toPlainText().split('\n').at(2), QStringLiteral(" 2.34E-3"));
    Enter(form->Ui.Memo2);
    Leave();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Gain, 0.00234);
    Enter(form->Ui.Memo2);
    Retype(form->Ui.Memo2, 3, QStringLiteral("5.00E12"));
    Leave();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Gain, 5e12);
}

TEST_F(PanelEditTest, ALineThatIsNoNumberKeepsItsValueAndSaysSo) {
    Enter(form->Ui.Memo2);
    Retype(form->Ui.Memo2, 4, QStringLiteral("1.5x G"));
    Retype(form->Ui.Memo2, 3, QStringLiteral(""));
    Retype(form->Ui.Memo2, 5, QStringLiteral(" 7.5 mW"));
    Leave();
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Modulation, 1.234);
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Gain, 12300); // as the file held it
    EXPECT_DOUBLE_EQ(form->Store.Params[1].Power, 7.5);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Not a number, not taken: Gain, Modulation "));
}

TEST_F(PanelEditTest, EnterInTheTextBoxStoresTheLinesAndF2SavesThem) {
    Enter(form->Ui.Memo1);
    Retype(form->Ui.Memo1, 1, QStringLiteral("Sample A, 77 K"));
    Retype(form->Ui.Memo1, 2,
           QString::fromUtf8("\xD0\x9E\xD0\xB1\xD1\x80\xD0\xB0\xD0\xB7\xD0\xB5\xD1\x86 2"));
    QTest::keyClick(form->Ui.Memo1, Qt::Key_Return);
    Settle();
    EXPECT_FALSE(form->Mode.MemoEditing);
    EXPECT_EQ(form->Ui.Memo1->toPlainText().count('\n'), 1); // Enter broke no line
    EXPECT_EQ(form->Store.Params[1].Line1, "Sample A, 77 K");
    // Edited text keeps the code page the line had.
    EXPECT_EQ(form->Store.Params[1].Line2, "\xCE\xE1\xF0\xE0\xE7\xE5\xF6 2");
    Answer(QStringList{Path("b.esr")});
    Key(Qt::Key_F2);
    const std::string saved = ReadBytes("b.esr");
    EXPECT_EQ(saved.substr(0, 27), "Sample A, 77 K\r\n\xCE\xE1\xF0\xE0\xE7\xE5\xF6 2\r\n");
}

TEST_F(PanelEditTest, DigitsTypedIntoABoxStayThere) {
    Enter(form->Ui.Memo1);
    QTest::keyClick(form->Ui.Memo1, Qt::Key_5); // not the comparison read
    Settle();
    EXPECT_TRUE(form->Ui.Memo1->toPlainText().contains(QLatin1Char('5')));
    EXPECT_EQ(Asked().size(), 1u);
    QTest::keyClick(form->Ui.Memo1, Qt::Key_Escape); // Esc stores like Enter
    Settle();
    EXPECT_FALSE(form->Mode.MemoEditing);
    EXPECT_NE(form->Store.Params[1].Line1.find('5'), std::string::npos);
}

TEST(StoreText, KeepsBytesOrCodePage) {
    const std::string cp866 = "\x8E\xA1\xE0\xA0\xA7\xA5\xE6";
    EXPECT_EQ(StoreText(ShowText(cp866), cp866), cp866);
    EXPECT_EQ(StoreText(ShowText(cp866) + QStringLiteral("!"), cp866), cp866 + "!");
    // A sign the old code page cannot hold makes the line UTF-8.
    const QString check = ShowText(cp866) + QChar(0x2713);
    EXPECT_EQ(StoreText(check, cp866), check.toStdString());
    EXPECT_EQ(StoreText(QStringLiteral("plain"), ""), "plain");
    // The DOS converter swaps some control characters: such a line is kept
    // in UTF-8, where it shows as typed.
    const QString control = QStringLiteral("a") + QChar(0x7F);
    EXPECT_EQ(ShowText(StoreText(control, cp866)), control);
}

TEST_F(PanelEditTest, AClickOnABoxThatEndsAnEditIsOneClick) {
    now += 1000; // long after the read ticked the box
    Enter(form->Ui.Memo2);
    QTest::keyClick(form->Ui.Memo2, Qt::Key_0);
    // The edit ends and the box is clicked in the same millisecond.
    QTest::mouseClick(form->Ui.SpecCheck[1], Qt::LeftButton);
    Settle();
    EXPECT_FALSE(form->Mode.MemoEditing);
    EXPECT_FALSE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_TRUE(form->Store.NoneMarked);
    EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[1]));
}

TEST_F(PanelEditTest, TheBoxARefreshTicksIsNoFirstClick) {
    now += 1000;
    QTest::mouseClick(form->Ui.SpecCheck[1], Qt::LeftButton); // nothing marked now
    Settle();
    ASSERT_TRUE(form->Store.NoneMarked);
    now += 1000;
    Enter(form->Ui.Memo2);
    QTest::keyClick(form->Ui.Memo2, Qt::Key_0);
    // Ending the edit refreshes, which ticks box 1 again; the click at once
    // after it is a click of its own, not the second of a double click.
    QTest::mouseClick(form->Ui.SpecCheck[1], Qt::LeftButton);
    Settle();
    EXPECT_FALSE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[1]));
}
