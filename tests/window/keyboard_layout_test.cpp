// Keys are found where they sit on the keyboard, whatever layout is active:
// the codes of single presses, the modes driven with the key data of a
// Russian layout, and on a real X server whose layout setxkbmap switches.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
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
const Press RuX{0x427, 53, 0x6de, "ч"};
const Press RuShift2{Qt::Key_QuoteDbl, 11, 0x22, "\""};
const Press RuPeriodKey{0x42E, 60, 0x6c0, "ю"};
const Press RuSlashKey{Qt::Key_Period, 61, 0x2e, "."}; // writes "." under this layout

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
    void Load() {
        WriteSpectrum(QStringLiteral("s.esr"), 200, 3300);
        ReadFiles({QStringLiteral("s.esr")});
        ASSERT_EQ(form->Store.NumSpec, 1);
    }
};

// The X11 tests, run by tests/window/xvfb_run under a private Xvfb and
// skipped elsewhere, strike keys with xdotool by their XKB keycodes: "4",
// Y, C, F and X of a US keyboard.
constexpr const char* Key4 = "13";
constexpr const char* KeyY = "29";
constexpr const char* AltC = "alt+54";
constexpr const char* AltF = "alt+41";
constexpr const char* AltX = "alt+53";

class X11KeyboardTest : public RussianLayoutTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (tests/window/xvfb_run)";
        RussianLayoutTest::SetUp();
        qApp->installEventFilter(&seen_);
    }
    void TearDown() override {
        qApp->removeEventFilter(&seen_);
        RussianLayoutTest::TearDown();
    }

    void Layout(const char* name) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QLatin1String(name)}), 0);
        // The client learns of the new keymap through the event queue.
        Wait([] { return false; }, 300);
    }
    // Strikes a key on the X server; true when the window then shows it.
    bool Strike(const char* keys, const std::function<bool()>& done, int ms = 3000) {
        seen_.key = 0;
        if (QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("key"), QLatin1String(keys)}) != 0)
            return false;
        return Wait(done, ms);
    }
    static bool Wait(const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            if (done()) return true;
        }
        return done();
    }
    // Qt's key of the last press that reached a control, modifiers left out.
    struct Seen : QObject {
        int key = 0;
        bool eventFilter(QObject* watched, QEvent* e) override {
            if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
                const int k = static_cast<QKeyEvent*>(e)->key();
                if (k < Qt::Key_Escape) key = k;
            }
            return false;
        }
    } seen_;

    bool InPanel(const TFrame1* frame) const { return frame->isVisibleTo(form.get()); }
};

} // namespace

TEST(VirtualKeyOf, MainBlockKeysByWhereTheySitUnderEveryLayout) {
    using namespace kivo;
    EXPECT_EQ(CodeOf(RuY), 'Y');
    EXPECT_EQ(CodeOf(RuX, Qt::AltModifier), 'X');
    EXPECT_EQ(CodeOf(RuC, Qt::ShiftModifier), 'C');
    EXPECT_EQ(CodeOf(RuShift2, Qt::ShiftModifier), '2');
    EXPECT_EQ(CodeOf(RuPeriodKey), VK_OEM_PERIOD);
    EXPECT_EQ(CodeOf(RuSlashKey), VK_NONE);
    EXPECT_EQ(CodeOf({0x416, 47, 0x6d6, "ж"}), VK_NONE); // the ";" key
    EXPECT_EQ(CodeOf({Qt::Key_Underscore, 20, 0x5f, "_"}, Qt::ShiftModifier), VK_OEM_MINUS);
    EXPECT_EQ(CodeOf({Qt::Key_Plus, 21, 0x2b, "+"}, Qt::ShiftModifier), VK_OEM_PLUS);
    EXPECT_EQ(CodeOf({0x411, 59, 0x6c2, "б"}), VK_OEM_COMMA);
    EXPECT_EQ(CodeOf({Qt::Key_Question, 16, 0x3f, "?"}, Qt::ShiftModifier), '7');
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
    Load();
    Key(Qt::Key_4); // the digit row writes digits in this layout too
    ASSERT_TRUE(form->Ui.Frame15->isVisibleTo(form.get()));
    Ru(RuY);
    EXPECT_EQ(form->Pick.TaskCode, 151);
    EXPECT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    Key(Qt::Key_Escape);
    Key(Qt::Key_4);
    // Alt+letter is the panel's, not a menu mnemonic's.
    QKeyEvent claim(QEvent::ShortcutOverride, RuC.key, Qt::AltModifier, RuC.keycode, RuC.keysym, 0,
                    QString::fromUtf8(RuC.text));
    claim.ignore();
    QApplication::sendEvent(form->Ui.Frame15->Edit1, &claim);
    EXPECT_TRUE(claim.isAccepted());
    Ru(RuC, Qt::AltModifier);
    EXPECT_EQ(form->Pick.TaskCode, 153);
    EXPECT_EQ(form->Pick.PickNo, 3);
}

TEST_F(RussianLayoutTest, AltXExitsFromTheMainPanelAndFromAMode) {
    Ru(RuX, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());

    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Load();
    Key(Qt::Key_3);
    ASSERT_EQ(QApplication::focusWidget(), form->Ui.Frame14->Edit1);
    Ru(RuX, Qt::AltModifier);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(X11KeyboardTest, ModesTakeTheirKeysUnderRussianAndUsLayouts) {
    Load();
    // "ru,us": Russian active with a Latin group beside it, where the
    // shortcuts would look up "File"'s mnemonic F on the key that writes "а".
    for (const char* layout : {"ru", "us", "ru,us"}) {
        SCOPED_TRACE(layout);
        Layout(layout);
        ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Ui.Frame15); }));
        EXPECT_FALSE(Strike(
            AltF, [] { return QApplication::activePopupWidget() != nullptr; }, 300));
        ASSERT_TRUE(Strike(KeyY, [this] { return form->Pick.TaskCode == 151; }));
        // The press came as the layout writes it: Cyrillic "н" or Latin "y".
        EXPECT_EQ(seen_.key, layout[0] == 'r' ? 0x41D : int(Qt::Key_Y));
        EXPECT_TRUE(InPanel(form->Ui.Frame14));
        ASSERT_TRUE(Strike("Escape", [this] { return InPanel(form->Ui.Frame11); }));
        ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Ui.Frame15); }));
        EXPECT_TRUE(Strike(AltC, [this] { return form->Pick.TaskCode == 153; }));
        EXPECT_EQ(form->Pick.PickNo, 3);
        ASSERT_TRUE(Strike("Escape", [this] { return InPanel(form->Ui.Frame11); }));
    }
}

TEST_F(X11KeyboardTest, AltXExitsUnderARussianLayout) {
    Layout("ru");
    Load();
    ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Ui.Frame15); }));
    EXPECT_TRUE(Strike(AltX, [this] { return !form->isVisible(); }));
}

// A press on the chart places the cursor and leaves the keys with the mode:
// Right walks that cursor on and Enter accepts it, as if nothing was clicked.
TEST_F(X11KeyboardTest, AClickOnTheChartKeepsTheKeysWithTheMode) {
    Layout("us");
    Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_TRUE(Strike("3", [this] { return form->Pick.TaskCode == TaskBaseLine; }));
    const QPoint at = form->Ui.Chart1->mapToGlobal(
        QPoint(form->Ui.Chart1->width() / 3, form->Ui.Chart1->height() / 2));
    const int before = form->Pick.PickIndex[1];
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("mousemove"), QString::number(at.x()),
                           QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")}),
        0);
    ASSERT_TRUE(Wait([&] { return form->Pick.PickIndex[1] != before; }, 3000));
    const int clicked = form->Pick.PickIndex[1];
    EXPECT_TRUE(Strike("Right", [&] { return form->Pick.PickIndex[1] != clicked; }));
    EXPECT_TRUE(Strike("Return", [this] { return form->Pick.PickNo == 2; }));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame14->Edit1);
}
