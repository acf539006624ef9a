// Files handed to the window from outside: named on kivo's command line or
// dropped on it. Either is read as the same selection in the open dialog is.
#include <QCheckBox>
#include <QProcess>

#include "harness.h"

namespace {

class FilesGivenTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        WriteSpectrum("a.esr", 40);
        WriteSpectrum("-b.esr", 30);
        for (const char* f : {"coal_bes3t.DSC", "coal_bes3t.DTA", "points.txt"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_EXAMPLES_DIR "/") + f, Path(f)));
    }
    // Each loaded spectrum as "caption points", then what the read said, a
    // message a line.
    QStringList Loaded() const {
        QStringList lines;
        for (int i = 1; i <= form->Store.NumSpec; ++i)
            lines << form->Ui.SpecCheck[i]->text() + '\t' +
                         QString::number(form->Store.Params[i].NumPoints);
        const QString line = form->ModeLine().trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1String("SELECT MODE")))
            lines << form->Ui.Label3->toolTip().split('\n', Qt::SkipEmptyParts);
        return lines;
    }
};

} // namespace

// kivo --check loads the files given as F3 loads the same selection, names a
// refused one the same way, and says so in its status.
TEST_F(FilesGivenTest, TheCommandLineReadsAsOneSelectionOfTheDialog) {
    const struct {
        QStringList Args;
        QStringList Dialog; // the same files chosen in the dialog
        int Exit;
    } cases[] = {
        {{"a.esr", "coal_bes3t.DSC", "coal_bes3t.DTA", "points.txt"},
         {"a.esr", "coal_bes3t.DSC", "coal_bes3t.DTA", "points.txt"},
         0},
        {{"a.esr", "nothere.esr", "--", "-b.esr"}, {"a.esr", "nothere.esr", "-b.esr"}, 1},
        {{"a.esr", "gone.esr", "points.txt", "nothere.esr"},
         {"a.esr", "gone.esr", "points.txt", "nothere.esr"},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.join(' ').toStdString());
        QProcess kivo;
        kivo.setWorkingDirectory(dir_->path());
        kivo.start(QStringLiteral(KIVO_PROGRAM), QStringList{"--check"} + c.Args);
        ASSERT_TRUE(kivo.waitForFinished(60000));
        const QStringList printed =
            QString::fromLocal8Bit(kivo.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(kivo.exitCode(), c.Exit);
        ReadFiles(c.Dialog);
        EXPECT_EQ(printed, Loaded());
        EXPECT_GE(form->Store.NumSpec, 2);
    }
    QProcess odd;
    odd.start(QStringLiteral(KIVO_PROGRAM), {"--nonsense"});
    ASSERT_TRUE(odd.waitForFinished(60000));
    EXPECT_EQ(odd.exitCode(), 2);
    EXPECT_TRUE(odd.readAllStandardError().contains("kivo: unknown option --nonsense\n"));
}

// Dropped files replace the loaded spectra; with Ctrl they join them, as "5"
// does. A preview left pending is committed into its own spectrum first.
TEST_F(FilesGivenTest, DroppedFilesReplaceOrWithCtrlJoinTheLoaded) {
    DropFiles({"a.esr", "coal_bes3t.DTA"});
    EXPECT_EQ(Captions(), (QStringList{"a", "coal_bes3t"}));
    Key(Qt::Key_3); // a base line previewed on a
    Key(Qt::Key_Return);
    const float before = form->Store.SpecY[1][20];
    DropFiles({"points.txt"}, Qt::ControlModifier);
    EXPECT_EQ(Captions(), (QStringList{"a", "coal_bes3t", "points"}));
    EXPECT_NE(form->Store.SpecY[1][20], before); // the base line went into a
    DropFiles({"-b.esr"});
    EXPECT_EQ(Loaded(), (QStringList{"-b\t30"}));
}
