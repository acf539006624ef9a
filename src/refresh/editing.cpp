// Typing into the parameter boxes, and numbers typed into the mode line.
#include <QLabel>
#include <QPlainTextEdit>
#include <string>
#include <utility>
#include <vector>

#include "Kivo1_3.h"
#include "Unit1.h"

namespace {

QString LineOf(const QPlainTextEdit* memo, int n) {
    const QStringList lines = memo->toPlainText().split(QLatin1Char('\n'));
    return n <= lines.size() ? lines.at(n - 1) : QString();
}

} // namespace

void TForm1::Memo1Enter() {
    Mode.MemoEditing = true;
}

void TForm1::Memo1KeyPress(QChar& Key) {
    if (Key.unicode() == kivo::VK_RETURN || Key.unicode() == kivo::VK_ESCAPE) Memo1Exit();
}

void TForm1::Memo1Exit() {
    // Storing moves the focus away from the box, which must not store again.
    if (memoExiting_) return;
    memoExiting_ = true;
    // What was typed belongs to the spectrum the boxes show.
    const int a = View.ShownSpec == 0 ? Store.ActiveSpec : Store.SlotOf(View.ShownSpec);
    if (a != 0) {
        BeginStep(QStringLiteral("Parameters"));
        kivo::ParamSpec& p = Store.Params[a];
        p.Line1 = StoreText(LineOf(Ui.Memo1, 1), p.Line1);
        p.Line2 = StoreText(LineOf(Ui.Memo1, 2), p.Line2);
        std::vector<std::string> lines;
        for (const QString& line : Ui.Memo2->toPlainText().split(QLatin1Char('\n')))
            lines.push_back(line.toStdString());
        // A line that is no number leaves its field as it was.
        QStringList refused;
        for (const std::string& name : kivo::ReadAcquisitionLines(lines, p))
            refused << QString::fromStdString(name);
        if (!refused.isEmpty())
            SetModeLine(QStringLiteral("   Not a number, not taken: ") +
                        refused.join(QStringLiteral(", ")) + QStringLiteral(" "));
    }
    CheckBox1Click(0);
    refresh(0);
    memoExiting_ = false;
}

void TForm1::Label3Edit(int& Key) {
    using namespace kivo;
    SubtrNotice.clear();
    // A value the prompt offers is taken by Enter; what is typed replaces
    // it, and Backspace clears it whole.
    if (std::exchange(Entry.EntryOffered, false) &&
        ((Key >= '0' && Key <= '9') || (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD0 + 9) ||
         Key == VK_BACK || Key == VK_OEM_PLUS || Key == VK_OEM_MINUS || Key == VK_OEM_PERIOD)) {
        Entry.EntryText.clear();
        if (Key == VK_BACK) Key = 0;
    }
    if (Key >= '0' && Key <= '9') {
        Entry.EntryText += QChar(Key);
    } else if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD0 + 9) {
        Entry.EntryText += QChar('0' + (Key - VK_NUMPAD0));
    } else {
        switch (Key) {
        case VK_BACK:
            Entry.EntryText.chop(1);
            break;
        case VK_OEM_PLUS:
            Entry.EntryText += QLatin1Char('+');
            break;
        case VK_OEM_MINUS:
            Entry.EntryText += QLatin1Char('-');
            break;
        case VK_OEM_PERIOD:
            Entry.EntryText += QLatin1Char('.');
            break;
        case VK_SPACE:
            // Only the slices' and the standard's entries take more than one number.
            if (Entry.Typing == TypedNumber::Slices || Entry.Typing == TypedNumber::StandardSpins)
                Entry.EntryText += QLatin1Char(' ');
            break;
        case 'E':
            // A number of spins is written with its exponent.
            if (Entry.Typing == TypedNumber::StandardSpins) Entry.EntryText += QLatin1Char('E');
            break;
        case 'Y':
            FinishLab3Edit();
            break;
        case VK_ESCAPE:
            Work.SubtrInput = false;
            FinishLab3Edit();
            break;
        case VK_RETURN: {
            if (Entry.Typing != TypedNumber::None) {
                TakeTypedNumber();
                return;
            }
            if (Work.SubtrInput) {
                Entry.SubtrKoeff = EntryNumber(Entry.EntryText.toStdString());
                SubtrSpec(0);
                Ui.Frame14->Label5->show();
            }
            if (Work.SmoothEntry) {
                if (!Work.RestrictNumberDue) {
                    Entry.NumSmoothIn = kivo::EntryCount(Entry.EntryText.toStdString());
                    Work.RestrictNumberDue = true;
                    Entry.PromptText =
                        Entry.PromptText + Entry.EntryText + QStringLiteral(", Num Restrict =");
                } else {
                    Entry.NumRestrictIn = kivo::EntryCount(Entry.EntryText.toStdString());
                    SmoothSpec(0);
                    Work.RestrictNumberDue = false;
                    Entry.PromptText = QStringLiteral("   Smoothing, Num Smoothing =");
                    Entry.NumSmooth = Entry.NumSmoothIn;
                    Entry.NumRestrict = Entry.NumRestrictIn;
                    Entry.NumSmoothIn = 0;
                    Entry.NumRestrictIn = 0;
                }
            }
            Entry.EntryText.clear();
            Ui.Frame16->Label12->show();
            refresh(1);
            break;
        }
        default:
            break;
        }
    }
    // What a subtraction pass could not do stays in view behind the prompt.
    SetModeLine(Entry.PromptText + Entry.EntryText + SubtrNotice);
}

void TForm1::FinishLab3Edit() {
    Entry.EntryText.clear();
    Entry.PromptText = QStringLiteral("   SELECT MODE") + Options.HotKeysHint;
    refresh(0);
}

void TForm1::Frame16Label12Click() {
    SubtrNotice.clear();
    FinishLab3Edit();
    SetModeLine(Entry.PromptText + Entry.EntryText + SubtrNotice);
}
