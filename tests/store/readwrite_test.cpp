// Reading spectrum files into slots and saving the marked spectra, through
// the window's keys and dialogs.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"
#include "spectrometer_writer.h"

namespace {

const QString NotFound = QStringLiteral("    FileSpectrum  is not found ");

// Ten header lines whose values are all missing.
const std::string BareHeader = "l1\r\nl2\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n";

QString NotPrepared(const QString& shortName) {
    return QStringLiteral("    FileSpectrum ") + shortName +
           QStringLiteral(" is not prepared properly ");
}

} // namespace

TEST_F(FormTest, ReadFillsSlotsInDialogOrderAllMarked) {
    WriteSpectrum("b.esr", 100, 3300);
    WriteSpectrum("a.esr", 50, 3200);
    ReadFiles({"b.esr", "a.esr"});
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(Captions(), (QStringList{"b", "a"}));
    EXPECT_EQ(form->Store.Params[1].NumPoints, 100);
    EXPECT_EQ(form->Store.Params[2].NumPoints, 50);
    EXPECT_EQ(form->Store.FileSpectrumName[1], Path("b.esr"));
    EXPECT_TRUE(form->Ui.SpecCheck[1]->isChecked());
    EXPECT_TRUE(form->Ui.SpecCheck[2]->isChecked());
    EXPECT_EQ(form->Store.NumMarked, 2);
    EXPECT_EQ(form->Store.ActiveSpec, 1);
    EXPECT_TRUE(form->Mode.SpectraLoaded);
    EXPECT_TRUE(form->Ui.Label13->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Ui.Memo1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Mode.AddMode);
    // Both lines drawn, the others empty.
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[1]), 100);
    EXPECT_TRUE(form->Ui.Chart1->Active(form->View.SpecSeries[2]));
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.SpecSeries[3]), 0);
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
}

TEST_F(FormTest, ReadWithoutAddModeReplacesTheLoadedSpectra) {
    WriteSpectrum("a.esr", 40);
    WriteSpectrum("b.esr", 40);
    WriteSpectrum("c.esr", 40);
    ReadFiles({"a.esr", "b.esr", "c.esr"});
    ReadFiles({"c.esr"});
    EXPECT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(Captions(), QStringList{"c"});
    EXPECT_FALSE(form->Store.SpecX[2].Allocated());
    EXPECT_FALSE(form->Ui.Chart1->Active(form->View.SpecSeries[3]));
}

TEST_F(FormTest, AddModeReadAppendsAfterTheLoadedSlots) {
    for (const char* n : {"a.esr", "b.esr", "c.esr", "d.esr", "e.esr"}) WriteSpectrum(n, 30);
    ReadFiles({"a.esr", "b.esr"});
    ASSERT_EQ(form->Store.NumSpec, 2);
    form->Mode.AddMode = true;
    ReadFiles({"c.esr", "d.esr", "e.esr"});
    EXPECT_EQ(form->Store.NumSpec, 5);
    EXPECT_EQ(Captions(), (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(form->Store.FileSpectrumName[5], Path("e.esr"));
    EXPECT_FALSE(form->Mode.AddMode); // the refresh ends the comparison read
}

TEST_F(FormTest, CancelledReadChangesNothing) {
    WriteSpectrum("a.esr", 30);
    WriteSpectrum("b.esr", 30);
    ReadFiles({"a.esr", "b.esr"});
    Answer(std::nullopt);
    Key(Qt::Key_F3);
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(form->ModeLine(), NotFound);
    EXPECT_EQ(Captions(), (QStringList{"a", "b"}));
    EXPECT_EQ(form->Store.Params[2].NumPoints, 30);

    // The chosen file vanished before it could be read.
    form->Mode.AddMode = true;
    Answer(QStringList{Path("gone.esr")});
    Key(Qt::Key_F3);
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(form->ModeLine(), NotFound);
    EXPECT_FALSE(form->Mode.AddMode);
}

TEST_F(FormTest, FailingFilesLeaveNoGapAndTheOthersLoad) {
    WriteSpectrum("a.esr", 30);
    WriteFile("bad.esr", "only a header\r\nSpectr:\r\n3300.000  1.0E+0000\r\n");
    WriteSpectrum("c.esr", 30);
    WriteFile("d.txt", "free text\r\nSpectr:\r\n1 3300.000 1.5\r\n2 3301.000 -2.5\r\n");
    ReadFiles({"a.esr", "bad.esr", "missing.esr", "c.esr", "d.txt"});
    EXPECT_EQ(form->Store.NumSpec, 3);
    EXPECT_EQ(Captions(), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(form->Store.FileSpectrumName[2], Path("c.esr"));
    EXPECT_EQ(form->Store.Params[3].NumPoints, 2);
    EXPECT_FLOAT_EQ(form->Store.SpecY[3][2], -2.5f);
    EXPECT_EQ(form->Store.Params[3].PhaseSign, 1);
    EXPECT_TRUE(form->Store.Params[3].Line1.empty());
    for (int i = 4; i <= kivo::MaxSpec; ++i) EXPECT_FALSE(form->Store.SpecX[i].Allocated()) << i;
}

// Qt shows a name that is not UTF-8 with U+FFFD for its stray bytes; the
// file is found by what the dialog showed, read and saved over.
TEST_F(FormTest, ANameThatIsNotUtf8IsTheFileTheDialogShowed) {
    WriteSpectrum("model.esr", 30);
    const std::string dir = QFile::encodeName(dir_->path()).toStdString();
    ASSERT_TRUE(kivo_examples::WriteBytes(dir + "/bad\xFF.esr", ReadBytes("model.esr")));
    const QString shown = Path(QFile::decodeName(QByteArray("bad\xFF.esr")));
    ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
    Answer(QStringList{shown});
    Key(Qt::Key_F3);
    EXPECT_EQ(form->Store.NumSpec, 1) << form->ModeLine().toStdString();
    EXPECT_EQ(form->Store.Params[1].NumPoints, 30);
    Answer(QStringList{shown});
    Key(Qt::Key_F2);
    // No third name was made: the save went to the file that was read.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad\xFF.esr", "model.esr"}));
    std::filesystem::remove(dir + "/bad\xFF.esr"); // Qt cannot name it to remove it
}

TEST_F(FormTest, FailureMessagesNameTheFileAndTheLine) {
    WriteFile("one.esr", "l1\r\nl2\r\nSpectr:\r\n3300.000 1.0\r\n");
    ReadFiles({"one.esr"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("one") + QStringLiteral("no Spectr: line "));
    EXPECT_EQ(form->Store.NumSpec, 0);

    WriteFile("nomark.txt", "1 3300 1\r\n2 3301 2\r\n3 3302 3\r\n");
    ReadFiles({"nomark.txt"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("nomark") + QStringLiteral("no Spectr: line "));

    WriteFile("garbage.esr", BareHeader + "Spectr:\r\n3300.000 1.0\r\n3301.000 x2\r\n3302.0 3\r\n");
    ReadFiles({"garbage.esr"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("garbage") + QStringLiteral("line 13 "));
    EXPECT_EQ(form->Store.NumSpec, 0);
    EXPECT_FALSE(form->Store.SpecX[1].Allocated());
}

TEST_F(FormTest, EndingsAreTakenWithoutRegardToCaseAndUnknownOnesRefused) {
    WriteSpectrum("UPPER.ESR", 30);
    WriteSpectrum("cols.xyz", 30);
    WriteSpectrum("other.esx", 30);
    ReadFiles({"cols.xyz", "UPPER.ESR", "other.esx"});
    EXPECT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(Captions(), QStringList{"UPPER"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("cols") + NotPrepared("other"));
    // A name too short to carry an ending is named whole.
    WriteSpectrum("ab", 30);
    ReadFiles({"ab"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("ab"));
}

TEST_F(FormTest, NoMoreThanTwentySpectra) {
    QStringList names;
    for (int i = 1; i <= 18; ++i) {
        names << QStringLiteral("s%1.esr").arg(i);
        WriteSpectrum(names.back(), 10 + i);
    }
    ReadFiles(names);
    ASSERT_EQ(form->Store.NumSpec, 18);
    form->Mode.AddMode = true;
    for (const char* n : {"x1.esr", "x2.esr", "x3.esr", "x4.esr"}) WriteSpectrum(n, 12);
    ReadFiles({"x1.esr", "x2.esr", "x3.esr", "x4.esr"});
    EXPECT_EQ(form->Store.NumSpec, 20);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  number of spec. is limited 20;"));
    EXPECT_EQ(Captions().last(), QStringLiteral("x2"));
    EXPECT_EQ(form->Store.FileSpectrumName[20], Path("x2.esr"));
}

TEST_F(FormTest, TooLongAFileLoadsItsFirstPointsAndSaysSo) {
    std::string text = BareHeader + "Spectr:\r\n";
    for (int k = 0; k < kivo::MaxPoints + 1; ++k)
        text += std::to_string(3000 + k * 0.01) + " " + std::to_string(k % 7) + "\r\n";
    WriteFile("long.esr", text);
    ReadFiles({"long.esr"});
    ASSERT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(form->Store.Params[1].NumPoints, kivo::MaxPoints);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral(
                  "    FileSpectrum long has more than 15000 points; the first 15000 are read "));
}

TEST_F(FormTest, AReadClearsTheBaseMarkACancelledOneKeepsIt) {
    WriteSpectrum("a.esr", 30);
    WriteSpectrum("b.esr", 30);
    ReadFiles({"a.esr", "b.esr"});
    form->Store.BaseSpec = 2;
    form->DrawBox(2);
    Answer(std::nullopt);
    Key(Qt::Key_F3);
    EXPECT_EQ(form->ModeLine(), NotFound);
    EXPECT_EQ(form->Store.BaseSpec, 2);
    EXPECT_EQ(form->Ui.SpecCheck[2]->text(), QStringLiteral("b   B"));
    EXPECT_EQ(form->Ui.SpecCheck[2]->width(), 120);

    ReadFiles({"b.esr", "a.esr"});
    EXPECT_EQ(form->Store.BaseSpec, 0);
    EXPECT_EQ(Captions(), (QStringList{"b", "a"}));
    EXPECT_EQ(form->Ui.SpecCheck[2]->width(), 80);
}

TEST_F(FormTest, SavingWithNothingMarkedAsksNothing) {
    WriteSpectrum("a.esr", 30);
    ReadFiles({"a.esr"});
    form->Ui.SpecCheck[1]->setChecked(false);
    Key(Qt::Key_F2);
    EXPECT_EQ(Asked().size(), 1u); // only the read's dialog
}

TEST_F(FormTest, SavingAsksOncePerMarkedSpectrumInSlotOrder) {
    for (const char* n : {"a.esr", "b.esr", "c.esr"}) WriteSpectrum(n, 30);
    ReadFiles({"a.esr", "b.esr", "c.esr"});
    form->Ui.SpecCheck[2]->setChecked(false);
    Answer(QStringList{Path("first.esr")});
    Answer(QStringList{Path("third.esr")});
    Key(Qt::Key_F2);
    ASSERT_EQ(Asked().size(), 3u);
    EXPECT_EQ(Asked()[1].Dialog, QStringLiteral("SaveDialog1"));
    EXPECT_EQ(Asked()[1].FileName, Path("a.esr"));
    EXPECT_EQ(Asked()[2].FileName, Path("c.esr"));
    EXPECT_EQ(Captions(), (QStringList{"first", "b", "third"}));
    EXPECT_EQ(form->Store.FileSpectrumName[3], Path("third.esr"));
    EXPECT_EQ(ReadBytes("third.esr"), ReadBytes("c.esr"));

    // A cancelled dialog skips that spectrum only.
    form->Ui.SpecCheck[2]->setChecked(true);
    Answer(std::nullopt);
    Answer(QStringList{Path("second.esr")});
    Answer(QStringList{Path("last.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(Captions(), (QStringList{"first", "second", "last"}));
    EXPECT_FALSE(QFile::exists(Path("first.esr")) && ReadBytes("first.esr").empty());
}

TEST_F(FormTest, ReadThenSaveKeepsEveryByteOfTheTextLines) {
    // "Образец" in code page 1251 and "проба" in code page 866.
    const std::string cp1251 = "\xCE\xE1\xF0\xE0\xE7\xE5\xF6 7, 77 K";
    const std::string cp866 = "\xAF\xE0\xAE\xA1\xA0 \xF1 0.5";
    std::string text = cp1251 + "\r\n" + cp866 + "\r\n";
    text += "ScanRange  =   \xF1  100  TimeScan =       4 min\r\n";
    text += "Gain =           2.00E+0004  Modulation=    1.000\r\n";
    text += "Power =       20.00 mW,  Experim.time=  4.0\r\n";
    text += "Number  of Points=     3  Delta points= 1.00000000000000E+0000\r\n";
    text += "SumLeft1=  0.12345   SumRight1=  0.54321\r\n";
    text += "SumLeft2=   1234   SumRight2=   4321\r\n";
    text += "Standart (Ruby)=1.500 Other Standart=0.000\r\n";
    text += "Num. particles=  1.234E+0015  Dbl.Integral= 5555.00000\r\n";
    text += "Spectr:\r\n3300.000  1.000000E+0000\r\n3301.000 -2.000000E+0000\r\n3302.000  "
            "3.000000E+0000\r\n";
    WriteFile("cyr.esr", text);
    ReadFiles({"cyr.esr"});
    ASSERT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(form->Store.Params[1].Line1, cp1251);
    EXPECT_EQ(form->Store.Params[1].Line2, cp866);
    Answer(QStringList{Path("saved.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(ReadBytes("saved.esr"), text);
}

TEST_F(FormTest, AFailedSaveLeavesTheOldFileAndSaysSo) {
    WriteSpectrum("a.esr", 30);
    ReadFiles({"a.esr"});
    const std::string before = ReadBytes("a.esr");
    Answer(QStringList{Path("no/such/dir/x.esr")});
    Key(Qt::Key_F2);
    EXPECT_TRUE(form->ModeLine().startsWith(QStringLiteral("    FileSpectrum x is not saved: ")))
        << form->ModeLine().toStdString();
    EXPECT_EQ(form->Store.FileSpectrumName[1], Path("a.esr"));
    EXPECT_EQ(Captions(), QStringList{"a"});
    EXPECT_EQ(ReadBytes("a.esr"), before);
}

TEST_F(FormTest, SavingTheBaseSpectrumKeepsItsMark) {
    WriteSpectrum("a.esr", 30);
    WriteSpectrum("b.esr", 30);
    ReadFiles({"a.esr", "b.esr"});
    form->Ui.SpecCheck[1]->setChecked(false);
    form->Store.BaseSpec = 2;
    form->DrawBox(2);
    Answer(QStringList{Path("renamed.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(form->Ui.SpecCheck[2]->text(), QStringLiteral("renamed   B"));
}

TEST_F(FormTest, EveryRefusedFileOfASelectionIsNamed) {
    WriteFile("empty.esr", "");
    WriteSpectrum("good.esr", 30);
    WriteFile("no_marker.esr", BareHeader + "3300 1\r\n3301 2\r\n");
    ReadFiles({"empty.esr", "good.esr", "no_marker.esr"});
    EXPECT_EQ(Captions(), QStringList{"good"});
    EXPECT_EQ(form->ModeLine(), NotPrepared("empty") + QStringLiteral("empty ") +
                                    NotPrepared("no_marker") + QStringLiteral("no Spectr: line "));
    EXPECT_EQ(form->Ui.Label3->toolTip(),
              QStringLiteral("FileSpectrum empty is not prepared properly empty\n"
                             "FileSpectrum no_marker is not prepared properly no Spectr: line"));

    // A cut file does not hide a refusal before it, nor a bad point line
    // after the last point that fits pass for a long file.
    std::string longText = BareHeader + "Spectr:\r\n";
    for (int k = 0; k < kivo::MaxPoints; ++k) longText += std::to_string(3000 + k) + " 1\r\n";
    WriteFile("full.esr", longText + "End of data\r\n");
    WriteFile("long.esr", longText + "3 1\r\n");
    ReadFiles({"empty.esr", "long.esr", "full.esr"});
    EXPECT_EQ(Captions(), QStringList{"long"});
    EXPECT_EQ(form->ModeLine(),
              NotPrepared("empty") + QStringLiteral("empty ") +
                  QStringLiteral("    FileSpectrum long has more than 15000 points; the first "
                                 "15000 are read ") +
                  NotPrepared("full") + QStringLiteral("line 15012 "));

    // A later message replaces the list and its tooltip.
    ReadFiles({"good.esr"});
    EXPECT_EQ(form->ModeLine(), QStringLiteral(" "));
    EXPECT_TRUE(form->Ui.Label3->toolTip().isEmpty());
}

TEST_F(FormTest, MessagesThatDoNotFitAreCutAndAllListedInTheTooltip) {
    QStringList names;
    for (int i = 1; i <= 20; ++i) {
        names << QStringLiteral("a_rather_long_name_of_a_refused_file_%1.asc").arg(i);
        WriteFile(names.back(), "x");
    }
    ReadFiles(names);
    // The mode line holds every message and shows what the part of it above
    // the lower panel holds, the last line cut.
    EXPECT_TRUE(form->ModeLine().endsWith(NotPrepared("a_rather_long_name_of_a_refused_file_20") +
                                          QStringLiteral("no data line ")))
        << form->ModeLine().toStdString();
    const QStringList shown = form->Ui.Label3->ShownLines();
    const QString line = shown.join(QString());
    EXPECT_TRUE(line.startsWith(NotPrepared("a_rather_long_name_of_a_refused_file_1")))
        << line.toStdString();
    EXPECT_TRUE(line.endsWith(QChar(0x2026))) << line.toStdString();
    EXPECT_LE(form->Ui.Label3->y() + shown.size() * form->Ui.Label3->fontMetrics().lineSpacing(),
              form->Ui.Frame11->y());
    const QStringList tip = form->Ui.Label3->toolTip().split(QLatin1Char('\n'));
    ASSERT_EQ(tip.size(), 20);
    EXPECT_EQ(tip.last(), (NotPrepared("a_rather_long_name_of_a_refused_file_20") +
                           QStringLiteral("no data line"))
                              .trimmed());
}

TEST_F(FormTest, AReadThatLoadsNothingLeavesThePanelEmpty) {
    WriteSpectrum("a.esr", 30, 3300, "Sample A");
    ReadFiles({"a.esr"});
    ASSERT_TRUE(form->Ui.Memo1->isVisibleTo(form.get()));
    WriteFile("bad.esr", "nothing");
    ReadFiles({"bad.esr"});
    EXPECT_EQ(form->Store.NumSpec, 0);
    EXPECT_TRUE(form->Ui.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(form->Ui.Memo2->toPlainText().isEmpty());
    EXPECT_FALSE(form->Ui.Memo1->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Ui.Memo3->isVisibleTo(form.get()));
}

TEST_F(FormTest, AHugeFileIsRefusedByItsSize) {
    // A spectrum file and a column file alike, without reading them.
    for (const char* name : {"huge.esr", "huge.dat"}) {
        WriteFile(name, "");
        ASSERT_TRUE(QFile::resize(Path(name), qint64(kivo::MaxFileBytes) + 1)); // sparse
        WriteSpectrum("a.esr", 30);
        ReadFiles({name, "a.esr"});
        EXPECT_EQ(Captions(), QStringList{"a"});
        EXPECT_EQ(form->ModeLine(), QStringLiteral("    FileSpectrum huge is too large to be a "
                                                   "spectrum: 67108865 bytes, more than 64 MB "));
    }
}

TEST_F(FormTest, AFileNamedOnlyByItsEndingShowsItsWholeName) {
    WriteSpectrum(".esr", 30);
    ReadFiles({".esr"});
    EXPECT_EQ(Captions(), QStringList{".esr"});
}

TEST_F(FormTest, ASaveThatFailsKeepsTheOldFileAndASaveThatWorksClearsTheFailure) {
    WriteSpectrum("a.esr", 30);
    ReadFiles({"a.esr"});
    WriteFile("old.esr", "old bytes\r\n");
    // The temporary file of old.esr cannot be made.
    ASSERT_TRUE(QDir(dir_->path()).mkdir(QString::fromStdString(kivo::SaveTempPath("old.esr"))));
    Answer(QStringList{Path("old.esr")});
    Key(Qt::Key_F2);
    EXPECT_TRUE(
        form->ModeLine().startsWith(QStringLiteral("    FileSpectrum old is not saved: cannot ")))
        << form->ModeLine().toStdString();
    EXPECT_EQ(ReadBytes("old.esr"), "old bytes\r\n");
    EXPECT_EQ(Captions(), QStringList{"a"});

    Answer(QStringList{Path("new.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("    FileSpectrum new saved "));
    EXPECT_EQ(ReadBytes("new.esr"), ReadBytes("a.esr"));

    // Without a failure standing, a save leaves the mode line alone.
    form->SetModeLine(QStringLiteral("   SELECT MODE"));
    Answer(QStringList{Path("newer.esr")});
    Key(Qt::Key_F2);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   SELECT MODE"));
}

TEST_F(FormTest, AColumnFileLoadsOneSpectrumPerSignalColumn) {
    WriteSpectrum("a.esr", 30);
    std::string dat = "Field Signal1 Signal2\r\n";
    for (int r = 0; r < 40; ++r) {
        // Appended piece by piece: GCC 12 warns falsely on such a sum of strings.
        dat += std::to_string(3400 - r);
        dat += ' ';
        dat += std::to_string(r);
        dat += ' ';
        dat += std::to_string(2 * r);
        dat += "\r\n";
    }
    WriteFile("run.dat", dat);
    WriteFile("bad.ASC", "1 2\n3 4x\n");
    WriteFile("one.dat", "1\n2\n3\n");
    ReadFiles({"a.esr", "run.dat", "bad.ASC", "one.dat"});
    ASSERT_EQ(form->Store.NumSpec, 3);
    EXPECT_EQ(Captions(), (QStringList{"a", "run-1", "run-2"}));
    EXPECT_EQ(form->Store.FileSpectrumName[3], Path("run-2.esr"));
    EXPECT_EQ(form->Store.Params[2].NumPoints, 40);
    EXPECT_FLOAT_EQ(form->Store.SpecX[2][1], 3361); // the falling field turned round
    EXPECT_FLOAT_EQ(form->Store.SpecY[3][1], 78);
    EXPECT_TRUE(form->ModeLine().contains(
        QStringLiteral("FileSpectrum bad is not prepared properly line 2")));
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("FileSpectrum one has a single column")));

    // Twenty signal columns: the slots end at 20 and the later file is told so.
    std::string wide = "h\n";
    for (int r = 0; r < 30; ++r) {
        wide += std::to_string(3000 + r);
        for (int c = 1; c < 20; ++c) {
            wide += ' ';
            wide += std::to_string((r * c) % 7);
        }
        wide += "\n";
    }
    WriteFile("wide.dat", wide);
    ReadFiles({"a.esr", "wide.dat", "a.esr"});
    EXPECT_EQ(form->Store.NumSpec, 20);
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("number of spec. is limited 20;")));
}

// Names typed into the real open dialog are read in the order they were
// typed, every time, whatever order the dialog's list holds them in.
TEST_F(FormTest, TypedNamesAreReadInTheirOrderEveryTime) {
    const QStringList names = {"x", "a", "b", "c", "d"};
    QString typed;
    for (const QString& n : names) {
        WriteSpectrum(n + ".esr", 30);
        typed += '"' + n + ".esr\" ";
    }
    const TFileDialog::Answerer answer = TFileDialog::Answer;
    TFileDialog::Answer = nullptr;
    form->Ui.OpenDialog1.InitialDir = dir_->path();
    for (int run = 0; run < 5; ++run) {
        QTimer typing;
        QObject::connect(&typing, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* box =
                dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!box) return;
            typing.stop();
            box->setText(typed);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        typing.start(10);
        Key(Qt::Key_F3);
        EXPECT_EQ(Captions(), names) << "run " << run;
    }
    TFileDialog::Answer = answer;
}
