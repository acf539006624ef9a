// The keys of the modes under a Russian and a US layout on a real X server:
// the layout is switched with setxkbmap and the keys are struck with xdotool
// by their keycodes. Run by tests/window/xvfb_run under a private Xvfb; on
// any other platform these tests are skipped.
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProcess>

#include "Unit1.h"
#include "harness.h"

namespace {

// XKB keycodes of the keys struck: "4", Y, C, F and X of a US keyboard.
constexpr const char* Key4 = "13";
constexpr const char* KeyY = "29";
constexpr const char* AltC = "alt+54";
constexpr const char* AltF = "alt+41";
constexpr const char* AltX = "alt+53";

class X11KeyboardTest : public FormTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server (tests/window/xvfb_run)";
        FormTest::SetUp();
        qApp->installEventFilter(&seen_);
    }
    void TearDown() override {
        qApp->removeEventFilter(&seen_);
        FormTest::TearDown();
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

    void Load() {
        WriteSpectrum(QStringLiteral("s.esr"), 200, 3300);
        ReadFiles({QStringLiteral("s.esr")});
        ASSERT_EQ(form->NumSpec, 1);
    }
    bool InPanel(const TFrame1* frame) const { return frame->isVisibleTo(form.get()); }
};

} // namespace

TEST_F(X11KeyboardTest, ModesTakeTheirKeysUnderRussianAndUsLayouts) {
    Load();
    // "ru,us": Russian active with a Latin group beside it, where the
    // shortcuts would look up "File"'s mnemonic F on the key that writes "а".
    for (const char* layout : {"ru", "us", "ru,us"}) {
        SCOPED_TRACE(layout);
        Layout(layout);
        ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Frame15); }));
        EXPECT_FALSE(Strike(
            AltF, [] { return QApplication::activePopupWidget() != nullptr; }, 300));
        ASSERT_TRUE(Strike(KeyY, [this] { return form->TaskCode == 151; }));
        // The press came as the layout writes it: Cyrillic "н" or Latin "y".
        EXPECT_EQ(seen_.key, layout[0] == 'r' ? 0x41D : int(Qt::Key_Y));
        EXPECT_TRUE(InPanel(form->Frame14));
        ASSERT_TRUE(Strike("Escape", [this] { return InPanel(form->Frame11); }));
        ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Frame15); }));
        EXPECT_TRUE(Strike(AltC, [this] { return form->TaskCode == 153; }));
        EXPECT_EQ(form->PickNo, 3);
        ASSERT_TRUE(Strike("Escape", [this] { return InPanel(form->Frame11); }));
    }
}

TEST_F(X11KeyboardTest, AltXExitsUnderARussianLayout) {
    Layout("ru");
    Load();
    ASSERT_TRUE(Strike(Key4, [this] { return InPanel(form->Frame15); }));
    EXPECT_TRUE(Strike(AltX, [this] { return !form->isVisible(); }));
}
