// The help viewer: the topic tree, the help box and the two help files,
// the test's own and the ones shipped with the program.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <QTreeWidget>

#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"

namespace {

class HelpTest : public FormTest {
protected:
    QTreeWidgetItem* Node(const QString& name) const {
        const QList<QTreeWidgetItem*> found =
            form->TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.size() == 1 ? found.first() : nullptr;
    }
    void Press(const QPoint& at) {
        QTest::mouseClick(form->TreeView1->viewport(), Qt::LeftButton, {}, at);
        Settle();
    }
    void Click(const QString& name) {
        QTreeWidgetItem* node = Node(name);
        ASSERT_NE(node, nullptr) << name.toStdString();
        Press(form->TreeView1->visualItemRect(node).center());
    }
    QStringList Shown() const { return form->Memo4->toPlainText().split(QLatin1Char('\n')); }
    bool HelpShown() const { return form->Memo4->isVisibleTo(form.get()); }
    void WriteHelp(const QString& name, const QString& text) {
        WriteFile(name, text.toStdString());
    }
    // Every node of the tree, parents before their children.
    QStringList Nodes() const {
        QStringList names;
        for (QTreeWidgetItemIterator it(form->TreeView1); *it; ++it) names << (*it)->text(0);
        return names;
    }
};

const QString SelectModeLine = QStringLiteral(
    "   SELECT MODE         Hot keys are available; mark spec. - Click; visual-n of spec. - "
    "Dbl.Click.");

} // namespace

TEST_F(HelpTest, F1TheHelpLabelAndTheMenuShowTheTree) {
    EXPECT_FALSE(form->TreeView1->isVisibleTo(form.get()));
    Key(Qt::Key_F1);
    EXPECT_TRUE(form->TreeView1->isVisibleTo(form.get()));
    EXPECT_EQ(Nodes(), (QStringList{"Interface", "Spectra choice", "File Formats", "Low Menu",
                                    "BaseLine", "Double Integration", "Move,Scale",
                                    "Comparison of spectra", "Treatment"}));
    // The tree neither takes the keys nor covers the help box.
    EXPECT_EQ(QApplication::focusWidget(), form->Frame11->Edit1);
    EXPECT_LE(form->TreeView1->geometry().bottom(), form->Memo4->y());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->TreeView1->isVisibleTo(form.get()));
    QTest::mouseClick(form->Label5, Qt::LeftButton);
    EXPECT_TRUE(form->TreeView1->isVisibleTo(form.get()));
}

TEST_F(HelpTest, AMissingFileIsReportedAtEveryClick) {
    Key(Qt::Key_F1);
    Click("Interface");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  File KivoHelp.txt not found! "));
    EXPECT_TRUE(form->HelpMissing);
    EXPECT_FALSE(HelpShown());
    // The Russian file is named the same way.
    Menu("&Help", "Russian");
    form->SetModeLine(QStringLiteral("  other"));
    Click("Treatment");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  File KivoHelp.txt not found! "));
}

TEST_F(HelpTest, RussianThenAClickReadsTheOtherFile) {
    WriteHelp("KivoHelpEng.txt", "#Interface\nThe window.\nIts keys.\n#\n###\n");
    // Russian in the old Windows code page shows as Russian too.
    QStringEncoder cp1251("windows-1251");
    WriteFile("KivoHelp.txt",
              QByteArray(cp1251.encode(QStringLiteral("#Interface\r\nОкно программы.\r\n#\r\n")))
                  .toStdString());
    Key(Qt::Key_F1);
    Click("Interface");
    EXPECT_TRUE(HelpShown());
    EXPECT_EQ(Shown(), (QStringList{"Interface", "The window.", "Its keys."}));
    EXPECT_EQ(form->HelpLinesShown, 2);
    EXPECT_EQ(form->ModeLine(), SelectModeLine);

    Menu("&Help", "Russian");
    EXPECT_EQ(form->HelpLanguage, 2);
    EXPECT_EQ(Shown(), (QStringList{"Interface", "The window.", "Its keys."}));
    Click("Interface");
    EXPECT_EQ(Shown(), (QStringList{"Interface", QStringLiteral("Окно программы.")}));

    Menu("&Help", "English");
    // The file is read at the click, so a change made meanwhile shows.
    WriteHelp("KivoHelpEng.txt", "#Interface\nEdited.\n#\n");
    Click("Interface");
    EXPECT_EQ(Shown(), (QStringList{"Interface", "Edited."}));
}

TEST_F(HelpTest, AParentShowsItsOwnTextAndAShortTopicLeavesNothingOfALongOne) {
    QString text = QStringLiteral("#Low Menu\nThe panels.\n#\n#BaseLine\n");
    for (int i = 1; i <= 70; ++i) text += QStringLiteral("base %1\n").arg(i);
    text += QStringLiteral("#\n#Treatment\n") + QString(200, QLatin1Char('t')) + "\n#\n";
    WriteHelp("KivoHelpEng.txt", text);
    Key(Qt::Key_F1);
    Click("Low Menu");
    EXPECT_EQ(Shown(), (QStringList{"Low Menu", "The panels."}));

    // The box holds the name and 59 lines.
    Click("BaseLine");
    ASSERT_EQ(Shown().size(), 60);
    EXPECT_EQ(Shown().back(), QStringLiteral("base 59"));
    EXPECT_EQ(form->HelpLinesShown, 59);

    Click("Treatment");
    EXPECT_EQ(Shown(), (QStringList{"Treatment", QString(128, QLatin1Char('t'))}));
    EXPECT_EQ(form->HelpLinesShown, 1);

    // A topic the file does not have shows its name alone.
    Click("Move,Scale");
    EXPECT_EQ(Shown(), QStringList{"Move,Scale"});
    EXPECT_EQ(form->HelpLinesShown, 0);
}

TEST_F(HelpTest, ATopicRunsToTheEndOfTheHeldLines) {
    WriteHelp("KivoHelpEng.txt", "#Interface\nfirst\n#\n#Treatment\nlast but one\nlast");
    Key(Qt::Key_F1);
    Click("Treatment");
    EXPECT_EQ(Shown(), (QStringList{"Treatment", "last but one", "last"}));
}

TEST_F(HelpTest, AClickBesideTheNodesBlanksTheTextAndKeepsTheRest) {
    WriteHelp("KivoHelpEng.txt", "#Interface\none\ntwo\n#\n");
    Key(Qt::Key_F1);
    Click("Interface");
    ASSERT_EQ(Shown(), (QStringList{"Interface", "one", "two"}));
    // Room below the nodes: the children of "Low Menu" folded away.
    form->TreeView1->collapseItem(Node("Low Menu"));
    const QRect last = form->TreeView1->visualItemRect(Node("Low Menu"));
    const QPoint beside(last.center().x(), last.bottom() + 8);
    ASSERT_LT(beside.y(), form->TreeView1->viewport()->height());
    ASSERT_EQ(form->TreeView1->itemAt(beside), nullptr);
    Press(beside);
    EXPECT_EQ(Shown(), QStringList{"Interface"});
    EXPECT_TRUE(HelpShown());
    EXPECT_EQ(form->ModeLine(), SelectModeLine);

    // It reads the file all the same.
    QFile::remove(Path("KivoHelpEng.txt"));
    Press(beside);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("  File KivoHelp.txt not found! "));
}

TEST_F(HelpTest, TheShippedFilesHaveEveryTopicWithinTheLimits) {
    Key(Qt::Key_F1);
    for (const QString& name :
         {QStringLiteral("KivoHelpEng.txt"), QStringLiteral("KivoHelp.txt")}) {
        SCOPED_TRACE(name.toStdString());
        QFile shipped(QStringLiteral(KIVO_HELP_DIR "/") + name);
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
        const QByteArray bytes = shipped.readAll();
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QStringList lines = QString(utf8.decode(bytes)).split(QLatin1Char('\n'));
        ASSERT_FALSE(utf8.hasError());
        const qsizetype end = lines.indexOf(QStringLiteral("###"));
        ASSERT_GE(end, 0);
        EXPECT_LT(end, 500);
        for (qsizetype i = 0; i < end; ++i) EXPECT_LE(lines[i].size(), 128) << "line " << i + 1;

        ASSERT_TRUE(QFile::copy(shipped.fileName(), Path(name)));
        Menu("&Help", name == QStringLiteral("KivoHelp.txt") ? "Russian" : "English");
        for (const QString& node : Nodes()) {
            SCOPED_TRACE(node.toStdString());
            const qsizetype start = lines.indexOf(QLatin1Char('#') + node);
            ASSERT_GE(start, 0);
            const qsizetype stop = lines.indexOf(QStringLiteral("#"), start);
            ASSERT_GT(stop, start);
            EXPECT_LE(stop - start - 1, 59);
            EXPECT_GE(stop - start - 1, 10) << "a topic that says little";
            // The topic as the viewer shows it: every line of it.
            Click(node);
            EXPECT_EQ(Shown().first(), node);
            EXPECT_EQ(form->HelpLinesShown, stop - start - 1);
            EXPECT_EQ(Shown().mid(1), lines.mid(start + 1, Shown().size() - 1));
            if (name == QStringLiteral("KivoHelp.txt")) {
                EXPECT_TRUE(Shown().join(QString()).contains(QStringLiteral("ы")));
            }
        }
    }
}
