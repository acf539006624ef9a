// The limits of the treatment parameters: the options file, kivo-batch's
// command line and the window's mode-line entry take and refuse the same
// values, below, at and above each limit.
#include <QKeyEvent>

#include "command_line.h"
#include "harness.h"
#include "keys.h"

namespace {

using kivo::Parameter;

struct Case {
    Parameter Which;
    const char* Text;
    bool Taken;
    double Value;        // of the text
    double ModeLine = 0; // the count the mode line takes, 16-bit as it always was
};

const Case kCases[] = {
    {Parameter::NumAver, "1", false, 1},
    {Parameter::NumAver, "2", true, 2},
    {Parameter::NumAver, "7500", true, 7500},
    {Parameter::NumAver, "7501", false, 7501},
    {Parameter::KoeCu, "9.9e-301", false, 9.9e-301},
    {Parameter::KoeCu, "1e-300", true, 1e-300},
    {Parameter::KoeCu, "1e300", true, 1e300},
    {Parameter::KoeCu, "1.1e300", false, 1.1e300},
    {Parameter::KoeCu, "1e400", false, 0},
    {Parameter::SmoothingNumber, "-1", false, -1, 65535},
    {Parameter::SmoothingNumber, "0", true, 0, 0},
    {Parameter::SmoothingNumber, "40000", true, 40000, 40000},
    {Parameter::SmoothingNumber, "65535", true, 65535, 65535},
    {Parameter::SmoothingNumber, "65536", false, 65536, 0},
    {Parameter::RestrictNumber, "-32768", false, -32768, 32768},
    {Parameter::RestrictNumber, "-32769", false, -32769, 0},
    {Parameter::RestrictNumber, "0", true, 0, 0},
    {Parameter::RestrictNumber, "65535", true, 65535, 65535},
    {Parameter::RestrictNumber, "65536", false, 65536, 0},
};

class LimitsTest : public FormTest {
protected:
    // Line 12 or 13 of an options file holding the text; whether it was taken.
    bool FromOptionsFile(const Case& c, double& v) {
        const int at = c.Which == Parameter::NumAver ? 12 : 13;
        std::string text;
        for (int line = 1; line <= kivo::OptionLineCount; ++line)
            text += std::string(kivo::OptionKeys[line - 1]) + (line == at ? c.Text : "20") + "\r\n";
        kivo::OptionsFile o;
        const kivo::OptionsReadResult r = kivo::ReadOptionsText(text, o);
        v = at == 12 ? o.NumAver : o.KoeCu;
        return r.Faults[size_t(at - 1)] == kivo::OptionFault::None;
    }
    bool FromCommandLine(const Case& c, double& v) {
        static const char* const options[] = {"--numaver", "--koecu", "--smooth", "--smooth"};
        const QString text = QString::fromLatin1(c.Text);
        const QString value = c.Which == Parameter::SmoothingNumber  ? text + ",3"
                              : c.Which == Parameter::RestrictNumber ? "3," + text
                                                                     : text;
        const kivo::batch::CommandLine line =
            kivo::batch::ParseCommandLine({"kivo-batch", options[int(c.Which)], value, "a.esr"});
        if (line.What != kivo::batch::CommandLine::Action::Run) return false;
        const kivo::batch::Plan& p = line.Work;
        const kivo::batch::Step s = p.Steps.empty() ? kivo::batch::Step{} : p.Steps[0];
        const double values[] = {double(p.NumAver), p.KoeCu, double(s.W), double(s.R)};
        v = values[int(c.Which)];
        return true;
    }
    // The two numbers of a smoothing typed on the mode line.
    double FromModeLine(const Case& c) {
        form->Work.SmoothEntry = true;
        const bool first = c.Which == Parameter::SmoothingNumber;
        TypeLine(first ? c.Text : "3");
        TypeLine(first ? "3" : c.Text);
        EXPECT_EQ(first ? form->Entry.NumRestrict : form->Entry.NumSmooth, 3);
        return first ? form->Entry.NumSmooth : form->Entry.NumRestrict;
    }
    void TypeLine(const std::string& text) {
        for (char ch : text) Type(ch == '-' ? Qt::Key_Minus : Qt::Key(Qt::Key_0 + (ch - '0')));
        Type(Qt::Key_Return);
    }
    void Type(Qt::Key key) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        int code = kivo::VirtualKeyOf(e);
        form->Label3Edit(code);
    }
};

} // namespace

TEST_F(LimitsTest, EveryReaderTakesAndRefusesTheSameValues) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(kivo::LimitOf(c.Which).Name) + " " + c.Text);
        double v = -99;
        EXPECT_EQ(FromCommandLine(c, v), c.Taken);
        EXPECT_TRUE(!c.Taken || v == c.Value) << v;
        if (c.Which == Parameter::NumAver || c.Which == Parameter::KoeCu) {
            v = -99;
            EXPECT_EQ(FromOptionsFile(c, v), c.Taken);
            EXPECT_EQ(v, c.Taken ? c.Value : (c.Which == Parameter::NumAver ? 10 : 1.725e19));
        } else {
            EXPECT_EQ(FromModeLine(c), c.ModeLine);
        }
    }
}
