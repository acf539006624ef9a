// The other slices of a series typed on the mode line after a read that took
// every k-th: replaced where the read put them, refused out of range or
// beyond the room, and the offer ended or refused by what comes between.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <sstream>

#include "TLabel.h"
#include "harness.h"
#include "spectrometer_writer.h"

namespace {

const QString Prompt = QStringLiteral("  Other slices, first last step: ");
const QString Taken =
    QStringLiteral("    FileSpectrum coal_power: slices 1 to 31 step 2 taken, 16 of 31 ");

class SlicesTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        for (const char* ending : {".DSC", ".DTA", ".YGF"}) {
            const QString name = QStringLiteral("coal_power") + QLatin1String(ending);
            ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_EXAMPLES_DIR "/") + name, Path(name)));
        }
        WriteSpectrum("a.esr", 40);
        WriteSpectrum("b.esr", 40);
        kivo::SpectrumRead read;
        kivo::PrepareSpectrumRead(Path("coal_power.DSC").toStdString(), read);
        kivo::ReadSpectrum(read);
        ASSERT_TRUE(read.Series);
        series = read.Series;
    }

    // The caption slice number of the example gets.
    QString Slice(int number) const {
        kivo::ParamSpec p;
        std::vector<float> x(kivo::MaxPoints), y(kivo::MaxPoints);
        return QString::fromStdString(
            kivo::ReadSeriesSlice(*series, number, p, x.data(), y.data()).Caption);
    }

    // "a 1 3 b": the captions of a, of slices 1 and 3, of b.
    QStringList Expected(const std::string& boxes) const {
        QStringList out;
        std::istringstream in(boxes);
        for (std::string w; in >> w;)
            out << (std::isdigit(static_cast<unsigned char>(w[0])) ? Slice(std::stoi(w))
                                                                   : QString::fromStdString(w));
        return out;
    }

    void Type(const std::string& text) {
        for (char c : text)
            Key(c == ' '   ? Qt::Key_Space
                : c == '-' ? Qt::Key_Minus
                           : Qt::Key(Qt::Key_0 + (c - '0')));
    }

    void ClickBox(int slot) {
        now += 1000;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }

    // One action of a script: "type:1 5 2", "back" (the entry cleared),
    // "Enter", "Esc", "tick5", "F8", "^Z", "^Y", "all".
    void Do(const std::string& action) {
        if (action.rfind("type:", 0) == 0) return Type(action.substr(5));
        if (action == "back") {
            for (int k = 0; k < 12; ++k) Key(Qt::Key_Backspace);
        } else if (action == "Enter") {
            Key(Qt::Key_Return);
        } else if (action == "Esc") {
            Key(Qt::Key_Escape);
        } else if (action.rfind("tick", 0) == 0) {
            ClickBox(std::stoi(action.substr(4)));
        } else if (action == "F8") {
            Key(Qt::Key_F8);
        } else if (action == "^Z" || action == "^Y") {
            Key(action == "^Z" ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
        } else if (action == "all") {
            now += 1000;
            QTest::mouseClick(form->Ui.Label13, Qt::LeftButton);
            Settle();
        } else {
            ADD_FAILURE() << "no action " << action;
        }
    }

    std::shared_ptr<const kivo::SpectrometerFiles> series;
};

} // namespace

TEST_F(SlicesTest, TypedSlicesReplaceTheReadsOwnAndNothingElse) {
    struct Case {
        const char* name;
        std::vector<std::string> actions;
        const char* boxes; // the captions after them
        QString modeLine;  // the mode line after them; null: not checked
    } cases[] = {
        {"the default as read",
         {},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         Taken + Prompt + "1 31 2"},
        {"a choice in the read's slots, closed up",
         {"back", "type:5 9 2", "Enter"},
         "a 5 7 9 b",
         QStringLiteral("    FileSpectrum coal_power: slices 5 to 9 step 2 taken, 3 of 31 ")},
        {"more than the read took: the free slots too",
         {"back", "type:1 18 1", "Enter"},
         "a 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 b 17 18",
         QStringLiteral("    FileSpectrum coal_power: slices 1 to 18 step 1 taken, 18 of 31 ")},
        {"beyond the room",
         {"back", "type:1 19 1", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   19 slices, 18 slots for them: '1 19 1' " + Prompt + "1 19 1"},
        {"first below 1",
         {"back", "type:0 31 2", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not slices of 1 to 31: '0 31 2' " + Prompt + "0 31 2"},
        {"last beyond the file",
         {"back", "type:2 32 3", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not slices of 1 to 31: '2 32 3' " + Prompt + "2 32 3"},
        {"first after last",
         {"back", "type:9 8 1", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not slices of 1 to 31: '9 8 1' " + Prompt + "9 8 1"},
        {"no step",
         {"back", "type:1 31 0", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not a step: '1 31 0' " + Prompt + "1 31 0"},
        {"two numbers",
         {"back", "type:1 31", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not first, last and step: '1 31' " + Prompt + "1 31"},
        {"four numbers",
         {"back", "type:1 31 2 4", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         "   Not first, last and step: '1 31 2 4' " + Prompt + "1 31 2 4"},
        {"a refusal keeps the offer",
         {"back", "type:0 4 1", "Enter", "back", "type:2 6 2", "Enter"},
         "a 2 4 6 b",
         QString()},
        {"a tick between",
         {"tick2", "tick17", "back", "type:3 7 2", "Enter"},
         "a 3 5 7 b",
         QString()},
        {"F8 of one slice ends the offer",
         {"all", "tick3", "F8", "Enter"},
         "a 1 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         QString()},
        {"Esc ends the offer",
         {"Esc", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         QString()},
        {"undo ends the offer and takes back the read", {"^Z", "Enter"}, "", QString()},
        {"redo brings the read back without the offer",
         {"^Z", "^Y", "Enter"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         QString()},
        {"one undo step takes back the choice",
         {"back", "type:5 9 2", "Enter", "^Z"},
         "a 1 3 5 7 9 11 13 15 17 19 21 23 25 27 29 31 b",
         QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartForm();
        AnswerFiles({"a.esr", "coal_power.DSC", "b.esr"});
        Key(Qt::Key_F3);
        ASSERT_EQ(form->Store.NumSpec, 18);
        const uint32_t a = form->Store.SpecId[1], b = form->Store.SpecId[18];
        for (const std::string& action : c.actions) Do(action);
        EXPECT_EQ(Captions(), Expected(c.boxes));
        if (!c.modeLine.isNull()) {
            EXPECT_EQ(form->ModeLine(), c.modeLine);
        }
        // The other files' spectra are never replaced.
        if (form->Store.NumSpec > 0) {
            EXPECT_EQ(form->Store.SpecId[1], a);
            EXPECT_EQ(form->Store.SlotOf(b), Captions().indexOf(QStringLiteral("b")) + 1);
        }
    }
}

TEST_F(SlicesTest, F2ProposesTheChosenSlicesNames) {
    AnswerFiles({"a.esr", "coal_power.DSC", "b.esr"});
    Key(Qt::Key_F3);
    for (int k = 0; k < 12; ++k) Key(Qt::Key_Backspace);
    Type("4 12 4");
    Key(Qt::Key_Return);
    ASSERT_EQ(form->Store.NumSpec, 5);
    for (int k = 0; k < 5; ++k) Answer(std::nullopt);
    Key(Qt::Key_F2);
    ASSERT_EQ(Asked().size(), 6u);
    EXPECT_EQ(Asked()[2].FileName, Path("coal_power-004.esr"));
    EXPECT_EQ(Asked()[3].FileName, Path("coal_power-008.esr"));
    EXPECT_EQ(Asked()[4].FileName, Path("coal_power-012.esr"));
    EXPECT_DOUBLE_EQ(form->Store.Params[3].Power, series->Values[7]);
}

// A step typed near the largest int takes the one slice it names: the run of
// slices ends there, never wraps round to numbers below the first.
TEST_F(SlicesTest, AStepNearTheLargestIntTakesOneSlice) {
    kivo_examples::KnownSeries s;
    s.First = kivo_examples::DerivativeLine(16, 3300, 3400);
    s.Unit = "s";
    for (int k = 1; k <= 2000; ++k) {
        s.Signals.push_back(s.First.Signal);
        s.Values.push_back(k);
    }
    const kivo_examples::Bes3tFiles f = kivo_examples::Bes3tSeries(s, {'F', false, false, false});
    WriteFile(QStringLiteral("many.DSC"), f.Dsc);
    WriteFile(QStringLiteral("many.DTA"), f.Dta);
    AnswerFiles({"many.DSC"});
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 20);
    Do("back");
    Type("2000 2000 2147483600");
    Key(Qt::Key_Return);
    EXPECT_EQ(Captions(), QStringList{QStringLiteral("many 2000 s")});
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral(
                  "    FileSpectrum many: slices 2000 to 2000 step 2147483600 taken, 1 of 2000 "));
}

// A column file longer than a slot: averaged on reading, its other points
// offered as a series' slices are, and the typed window read again into the
// read's own slots as one step.
TEST_F(SlicesTest, ALongSweepOffersItsPointsAndTheTypedOnesReplaceIt) {
    constexpr int rows = 40000;
    std::ostringstream text;
    text.precision(9);
    text << "field first second\n";
    auto field = [](int row) { return float(3000 + 0.015 * (row - 1)); };
    for (int row = 1; row <= rows; ++row)
        text << field(row) << ' ' << row % 7 << ' ' << -(row % 5) << '\n';
    WriteFile("long.dat", text.str());
    AnswerFiles({"a.esr", "long.dat", "b.esr"});
    Key(Qt::Key_F3);
    ASSERT_EQ(form->Store.NumSpec, 4);
    const QString points = QStringLiteral("  Points first last step: ");
    EXPECT_EQ(form->ModeLine(), "    FileSpectrum long long: 40000 points averaged by 3 to 13334 " +
                                    points + "1 40000 3");
    EXPECT_EQ(form->Store.Params[2].NumPoints, 13334);
    const uint32_t a = form->Store.SpecId[1], b = form->Store.SpecId[4];
    const uint32_t first = form->Store.SpecId[2];
    // Too many points at step 1: refused, the offer kept.
    Do("back");
    Do("type:1 40000 1");
    Do("Enter");
    EXPECT_EQ(form->ModeLine(),
              "   step 1 gives 40000 points, not 2 to 15000 " + points + "1 40000 1");
    Do("back");
    Do("type:10001 25000 1");
    Do("Enter");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("    FileSpectrum long long: 40000 points, 10001 "
                                               "to 25000 averaged by 1 to 15000 "));
    EXPECT_EQ(Captions(), (QStringList{"a", "long-1", "long-2", "b"}));
    EXPECT_EQ(form->Store.SpecId[1], a);
    EXPECT_EQ(form->Store.SpecId[4], b);
    EXPECT_NE(form->Store.SpecId[2], first);
    for (int slot : {2, 3}) {
        ASSERT_EQ(form->Store.Params[slot].NumPoints, 15000);
        EXPECT_EQ(form->Store.SpecX[slot][1], field(10001));
        EXPECT_EQ(form->Store.SpecX[slot][15000], field(25000));
    }
    EXPECT_EQ(form->Store.SpecY[2][1], float(10001 % 7));
    EXPECT_EQ(form->Store.SpecY[3][2], float(-(10002 % 5)));
    // One step back: the averaged spectra of the read.
    Do("^Z");
    EXPECT_EQ(form->Store.Params[2].NumPoints, 13334);
    EXPECT_EQ(form->Store.SpecId[2], first);
}
