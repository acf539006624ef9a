// The help viewer: the topic tree, the help box and the help files, the
// test's own and the two shipped with the program.
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTreeWidget>
#include <optional>
#include <utility>

#include "Unit1.h"
#include "harness.h"

namespace {

const QString NotFound = QStringLiteral("  File KivoHelp.txt not found! ");

class HelpTest : public FormTest {
protected:
    QTreeWidgetItem* Node(const QString& name) const {
        return form->Ui.TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    void Press(const QPoint& at) {
        QTest::mouseClick(form->Ui.TreeView1->viewport(), Qt::LeftButton, {}, at);
        Settle();
    }
    void Click(const QString& name) {
        Press(form->Ui.TreeView1->visualItemRect(Node(name)).center());
    }
    QStringList Shown() const { return form->Ui.Memo4->toPlainText().split(QLatin1Char('\n')); }
    // Every line of the topic is one line in the box, and a column of its
    // text stands at one place in all of them, as the tables need.
    void ExpectColumnsKept() const {
        constexpr int column = 40;
        std::optional<int> x;
        for (QTextBlock b = form->Ui.Memo4->document()->begin(); b.isValid(); b = b.next()) {
            form->Ui.Memo4->document()->documentLayout()->blockBoundingRect(b); // lays it out
            EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
            if (b.length() <= column) continue;
            QTextCursor at(b);
            at.setPosition(b.position() + column);
            const int here = form->Ui.Memo4->cursorRect(at).x();
            EXPECT_EQ(here, x.value_or(here)) << b.text().toStdString();
            x = here;
        }
    }
    // A help file shipped with the program, line by line.
    static QStringList ShippedLines(const QString& name) {
        QFile shipped(QStringLiteral(KIVO_HELP_DIR "/") + name);
        EXPECT_TRUE(shipped.open(QIODevice::ReadOnly)) << name.toStdString();
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(shipped.readAll());
        EXPECT_FALSE(utf8.hasError()) << name.toStdString();
        return text.split(QLatin1Char('\n'));
    }
    QStringList Nodes() const {
        QStringList names;
        for (QTreeWidgetItemIterator it(form->Ui.TreeView1); *it; ++it) names << (*it)->text(0);
        return names;
    }
};

} // namespace

TEST_F(HelpTest, F1ShowsTheTopicsAndAMissingFileIsSaidAtEveryClick) {
    Key(Qt::Key_F1);
    ASSERT_TRUE(form->Ui.TreeView1->isVisibleTo(form.get()));
    EXPECT_EQ(Nodes(), (QStringList{"Interface", "Spectra choice", "File Formats", "Low Menu",
                                    "BaseLine", "Double Integration", "Move,Scale",
                                    "Comparison of spectra", "Treatment", "Simulation"}));
    // The tree takes no keys and leaves the help box below it free.
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
    EXPECT_LE(form->Ui.TreeView1->geometry().bottom(), form->Ui.Memo4->y());
    // With the spectra's boxes on the chart, every topic still lies above them.
    QStringList names;
    for (int i = 1; i <= 6; ++i) {
        names << QStringLiteral("s%1.esr").arg(i);
        WriteSpectrum(names.back(), 40);
    }
    ReadFiles(names);
    Key(Qt::Key_F1);
    for (QTreeWidgetItemIterator it(form->Ui.TreeView1); *it; ++it) {
        const QRect r = form->Ui.TreeView1->visualItemRect(*it);
        const QPoint at = form->Ui.TreeView1->viewport()->mapTo(
            form->Ui.Client, QPoint(r.left() + 5, r.center().y()));
        const QWidget* top = form->Ui.Client->childAt(at);
        EXPECT_TRUE(top && form->Ui.TreeView1->isAncestorOf(top)) << (*it)->text(0).toStdString();
    }
    Click("Interface");
    EXPECT_EQ(form->ModeLine(), NotFound);
    EXPECT_FALSE(form->Ui.Memo4->isVisibleTo(form.get()));
    Menu("&Help", "Russian");
    form->SetModeLine(QStringLiteral("  other"));
    Click("Treatment");
    EXPECT_EQ(form->ModeLine(), NotFound);
}

TEST_F(HelpTest, RussianThenAClickReadsTheOtherFile) {
    WriteFile("KivoHelpEng.txt", "#Interface\nThe window.\nIts keys.\n#\n###\n");
    // Russian in the old Windows code page shows as Russian too.
    QStringEncoder cp1251("windows-1251");
    const QByteArray russian =
        cp1251.encode(QStringLiteral("#Interface\r\nОкно программы.\r\n#\r\n"));
    WriteFile("KivoHelp.txt", russian.toStdString());
    Key(Qt::Key_F1);
    Click("Interface");
    EXPECT_TRUE(form->Ui.Memo4->isVisibleTo(form.get()));
    EXPECT_EQ(Shown(), (QStringList{"Interface", "The window.", "Its keys."}));
    Menu("&Help", "Russian");
    EXPECT_EQ(Shown(), (QStringList{"Interface", "The window.", "Its keys."}));
    Click("Interface");
    EXPECT_EQ(Shown(), (QStringList{"Interface", QStringLiteral("Окно программы.")}));
}

TEST_F(HelpTest, EachNodeShowsItsOwnTopicWithinTheBoxsLimits) {
    QString text = QStringLiteral("#Low Menu\nThe panels.\n#\n#BaseLine\n");
    for (int i = 1; i <= 70; ++i) text += QStringLiteral("base %1\n").arg(i);
    // The last topic runs to the end of the file.
    text += QStringLiteral("#\n#Treatment\n") + QString(200, QLatin1Char('t')) + "\nlast";
    WriteFile("KivoHelpEng.txt", text.toStdString());
    Key(Qt::Key_F1);
    Click("Low Menu");
    EXPECT_EQ(Shown(), (QStringList{"Low Menu", "The panels."}));
    Click("BaseLine");
    ASSERT_EQ(Shown().size(), 60);
    EXPECT_EQ(Shown().back(), QStringLiteral("base 59"));
    // A shorter topic leaves nothing of the longer one.
    Click("Treatment");
    EXPECT_EQ(Shown(), (QStringList{"Treatment", QString(128, QLatin1Char('t')), "last"}));
    Click("Move,Scale"); // not in the file: its name alone
    EXPECT_EQ(Shown(), QStringList{"Move,Scale"});
}

TEST_F(HelpTest, AClickBesideTheNodesBlanksTheTextAndReadsTheFile) {
    WriteFile("KivoHelpEng.txt", "#Interface\none\ntwo\n#\n");
    Key(Qt::Key_F1);
    Click("Interface");
    ASSERT_EQ(Shown(), (QStringList{"Interface", "one", "two"}));
    // Room below the nodes: the children of "Low Menu" folded away.
    form->Ui.TreeView1->collapseItem(Node("Low Menu"));
    const QPoint beside =
        form->Ui.TreeView1->visualItemRect(Node("Low Menu")).bottomLeft() + QPoint(40, 8);
    ASSERT_EQ(form->Ui.TreeView1->itemAt(beside), nullptr);
    Press(beside);
    EXPECT_EQ(Shown(), QStringList{"Interface"});
    EXPECT_TRUE(form->Ui.Memo4->isVisibleTo(form.get()));
    QFile::remove(Path("KivoHelpEng.txt"));
    Press(beside);
    EXPECT_EQ(form->ModeLine(), NotFound);
}

TEST_F(HelpTest, TheShippedFilesHaveEveryTopicWithinTheLimits) {
    Key(Qt::Key_F1);
    for (const char* language : {"English", "Russian"}) {
        const QString name = QLatin1String(language) == QLatin1String("English")
                                 ? QStringLiteral("KivoHelpEng.txt")
                                 : QStringLiteral("KivoHelp.txt");
        SCOPED_TRACE(name.toStdString());
        const QStringList lines = ShippedLines(name);
        const qsizetype end = lines.indexOf(QStringLiteral("###"));
        ASSERT_GE(end, 0);
        EXPECT_LT(end, 500);
        for (qsizetype i = 0; i < end; ++i) EXPECT_LE(lines[i].size(), 128) << "line " << i + 1;

        ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_HELP_DIR "/") + name, Path(name)));
        Menu("&Help", QLatin1String(language));
        for (const QString& node : Nodes()) {
            SCOPED_TRACE(node.toStdString());
            const qsizetype start = lines.indexOf(QLatin1Char('#') + node);
            const qsizetype stop = lines.indexOf(QStringLiteral("#"), start);
            ASSERT_GE(start, 0);
            EXPECT_LE(stop - start - 1, 59);
            EXPECT_GE(stop - start - 1, 10) << "a topic that says little";
            Click(node);
            EXPECT_EQ(form->View.HelpLinesShown, stop - start - 1);
            EXPECT_EQ(Shown(), QStringList{node} + lines.mid(start + 1, Shown().size() - 1));
            ExpectColumnsKept();
        }
    }
}

TEST_F(HelpTest, BothFilesListEveryMenuWithItsItems) {
    // In the list of menus a menu's row starts with its name, and its items
    // are named on that row or on the lines indented under it.
    auto plain = [](QString caption) {
        caption.remove(QLatin1Char('&'));
        return caption.split(QStringLiteral("  "), Qt::SkipEmptyParts).value(0).trimmed();
    };
    for (const auto& [name, heading] :
         {std::pair{"KivoHelpEng.txt", "Menus:"}, std::pair{"KivoHelp.txt", "Меню:"}}) {
        SCOPED_TRACE(name);
        QStringList list = ShippedLines(QLatin1String(name));
        const qsizetype start = list.indexOf(QString::fromUtf8(heading));
        ASSERT_GE(start, 0);
        list = list.mid(start + 1, list.indexOf(QString(), start) - start - 1);
        for (const QAction* top : form->menuBar()->actions()) {
            const QString menu = plain(top->text());
            QString row;
            bool inRow = false;
            for (const QString& line : list) {
                if (!line.startsWith(QStringLiteral("  ")))
                    inRow = line.startsWith(' ' + menu + ' ');
                if (inRow) row += line;
            }
            EXPECT_FALSE(row.isEmpty()) << menu.toStdString();
            // The lines of About tell who made the program; they do nothing.
            if (!top->menu() || menu == QStringLiteral("About")) continue;
            for (const QAction* item : top->menu()->actions())
                EXPECT_TRUE(row.contains(plain(item->text())))
                    << menu.toStdString() << " / " << plain(item->text()).toStdString();
        }
    }
}

// Every Alt command of a panel's table is named in both help files.
TEST_F(HelpTest, BothFilesNameEveryPanelCommand) {
    for (const char* name : {"KivoHelpEng.txt", "KivoHelp.txt"}) {
        const QString text = ShippedLines(QLatin1String(name)).join(QLatin1Char('\n'));
        for (const std::vector<PanelCommand>* table :
             {&IntegrationCommands(), &TreatmentCommands()})
            for (const PanelCommand& c : *table)
                EXPECT_TRUE(text.contains(KeyText(c))) << name << " " << c.Caption;
    }
}
