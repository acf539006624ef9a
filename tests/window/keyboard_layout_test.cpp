// Keys are found where they sit on the keyboard, whatever layout is active:
// the codes of single presses, and the modes driven with a Russian layout.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include "TChart.h"
#include "Unit1.h"
#include "harness.h"
#include "keys.h"

namespace {

// A press as X11 reports it: Qt's key, the XKB keycode, the layout's keysym
// and text.
struct Press {
    int key;
    quint32 keycode;
    quint32 keysym;
    const char* text;
};

// Measured under Xvfb with "setxkbmap ru" (ЙЦУКЕН): Qt's key is the upper
// case of the Cyrillic letter the key writes.
const Press RuY{0x41D, 29, 0x6ce, "н"};
const Press RuC{0x421, 54, 0x6d3, "с"};
const Press RuB{0x418, 56, 0x6c9, "и"};
const Press RuX{0x427, 53, 0x6de, "ч"};
const Press RuShift2{Qt::Key_QuoteDbl, 11, 0x22, "\""};
const Press RuPeriodKey{0x42E, 60, 0x6c0, "ю"};
const Press RuSlashKey{Qt::Key_Period, 61, 0x2e, "."}; // writes "." under this layout
const Press Ru5{Qt::Key_5, 14, 0x35, "5"};

int CodeOf(const Press& p, Qt::KeyboardModifiers m = Qt::NoModifier) {
    const QKeyEvent e(QEvent::KeyPress, p.key, m, p.keycode, p.keysym, 0,
                      QString::fromUtf8(p.text));
    return kivo::VirtualKeyOf(e);
}

int CodeOfQtKey(int key, Qt::KeyboardModifiers m = Qt::NoModifier) {
    const QKeyEvent e(QEvent::KeyPress, key, m);
    return kivo::VirtualKeyOf(e);
}

class RussianLayoutTest : public FormTest {
protected:
    void Ru(const Press& p, Qt::KeyboardModifiers m = Qt::NoModifier) {
        NativeKey(p.key, m, p.keycode, p.keysym, QString::fromUtf8(p.text));
    }
    void Load(int n) {
        QStringList names;
        for (int i = 1; i <= n; ++i) {
            names << QStringLiteral("s%1.esr").arg(i);
            WriteSpectrum(names.back(), 200, 3300);
        }
        ReadFiles(names);
        ASSERT_EQ(form->NumSpec, n);
    }
};

} // namespace

TEST(VirtualKeyOf, MainBlockKeysByWhereTheySitUnderEveryLayout) {
    using namespace kivo;
    EXPECT_EQ(CodeOf(RuY), 'Y');
    EXPECT_EQ(CodeOf(RuX, Qt::AltModifier), 'X');
    EXPECT_EQ(CodeOf(RuB, Qt::ShiftModifier), 'B');
    EXPECT_EQ(CodeOf(RuShift2, Qt::ShiftModifier), '2');
    EXPECT_EQ(CodeOf(RuPeriodKey), VK_OEM_PERIOD);
    EXPECT_EQ(CodeOf(RuSlashKey), VK_NONE);
    EXPECT_EQ(CodeOf({0x416, 47, 0x6d6, "ж"}), VK_NONE); // the ";" key
    EXPECT_EQ(CodeOf({Qt::Key_Underscore, 20, 0x5f, "_"}, Qt::ShiftModifier), VK_OEM_MINUS);
    EXPECT_EQ(CodeOf({Qt::Key_Plus, 21, 0x2b, "+"}, Qt::ShiftModifier), VK_OEM_PLUS);
    EXPECT_EQ(CodeOf({Qt::Key_Question, 59, 0x3f, "?"}, Qt::ShiftModifier), VK_OEM_COMMA);
    EXPECT_EQ(CodeOf({Qt::Key_ParenRight, 19, 0x29, ")"}, Qt::ShiftModifier), '0');
    EXPECT_EQ(CodeOf({Qt::Key_M, 58, 0x6d, "m"}), 'M'); // US layout
    EXPECT_EQ(CodeOf({Qt::Key_Q, 24, 0x71, "q"}), 'Q');
    // Outside the main block Qt's key tells.
    EXPECT_EQ(CodeOf({Qt::Key_Return, 36, 0xff0d, "\r"}), VK_RETURN);
    EXPECT_EQ(CodeOf({Qt::Key_5, 84, 0xffb5, "5"}, Qt::KeypadModifier), VK_NUMPAD0 + 5);
    EXPECT_EQ(CodeOf({Qt::Key_F11, 95, 0xffc8, ""}), VK_F11);
}

TEST(VirtualKeyOf, WithoutKeycodesShiftedSymbolsGoBackToTheirKeys) {
    using namespace kivo;
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Exclam, Qt::ShiftModifier), '1');
    EXPECT_EQ(CodeOfQtKey(Qt::Key_At, Qt::ShiftModifier), '2');
    EXPECT_EQ(CodeOfQtKey(Qt::Key_ParenRight, Qt::ShiftModifier), '0');
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Asterisk, Qt::ShiftModifier), '8');
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Asterisk, Qt::KeypadModifier), VK_MULTIPLY);
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Underscore, Qt::ShiftModifier), VK_OEM_MINUS);
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Greater, Qt::ShiftModifier), VK_OEM_PERIOD);
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Plus, Qt::ShiftModifier), VK_OEM_PLUS);
    EXPECT_EQ(CodeOfQtKey(Qt::Key_Y), 'Y');
    EXPECT_EQ(CodeOfQtKey(0x41D), VK_NONE); // a letter of unknown place
}

TEST_F(RussianLayoutTest, YAndAltLettersReachTheModes) {
    Load(1);
    Key(Qt::Key_4); // the digit row writes digits in this layout too
    ASSERT_TRUE(form->Frame15->isVisibleTo(form.get()));
    Ru(RuY);
    EXPECT_EQ(form->TaskCode, 151);
    EXPECT_TRUE(form->Frame14->isVisibleTo(form.get()));
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    // Alt+letter is the panel's, not a menu mnemonic's.
    QKeyEvent claim(QEvent::ShortcutOverride, RuC.key, Qt::AltModifier, RuC.keycode, RuC.keysym, 0,
                    QString::fromUtf8(RuC.text));
    claim.ignore();
    QApplication::sendEvent(form->Frame15->Edit1, &claim);
    EXPECT_TRUE(claim.isAccepted());
    Ru(RuC, Qt::AltModifier);
    EXPECT_EQ(form->TaskCode, 153);
    EXPECT_EQ(form->PickNo, 3);
}

TEST_F(RussianLayoutTest, ASubtractionTypedAndKeptOnRussianKeys) {
    Load(2);
    Key(Qt::Key_3);
    Ru(RuC, Qt::AltModifier);
    ASSERT_TRUE(form->BaseChoicePending);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Choose the base line spectrum  "));
    now += 1000;
    QTest::mouseClick(form->SpecCheck[2], Qt::LeftButton);
    Settle();
    ASSERT_EQ(form->BaseSpec, 2);
    Ru(RuB, Qt::AltModifier);
    ASSERT_TRUE(form->SubtrInput);
    // Shift+2 writes '"', the "." key writes "ю"; the key that writes "."
    // here is the "/" key and adds nothing.
    Ru(RuShift2, Qt::ShiftModifier);
    Ru(RuPeriodKey);
    Ru(RuSlashKey);
    Ru(Ru5);
    EXPECT_EQ(form->EntryText, QStringLiteral("2.5"));
    Key(Qt::Key_Return);
    EXPECT_DOUBLE_EQ(form->SubtrKoeff, 2.5);
    Ru(RuY);
    EXPECT_FALSE(form->SubtrInput);
    EXPECT_EQ(form->NumSpec, 3);
    EXPECT_EQ(form->SpecCheck[3]->text(), QStringLiteral("res1"));
}

TEST_F(RussianLayoutTest, AltXExitsFromTheMainPanelAndFromAMode) {
    Ru(RuX, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());

    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Load(1);
    Key(Qt::Key_3);
    ASSERT_EQ(QApplication::focusWidget(), form->Frame14->Edit1);
    Ru(RuX, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());
}
