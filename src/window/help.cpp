// The help viewer: a topic clicked in the tree shows its text, read from the
// help file of the chosen language, in the help box.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include "Kivo1_3.h"
#include "places.h"

namespace {

// Line 0 of the help box is the topic's name, lines 1.. its text.
constexpr int MemoLines = kivo::HelpTopicLines + 1;
// Far more than 500 lines of 128 characters; what lies beyond is never held.
constexpr size_t HelpMaxBytes = size_t(4) << 20;

} // namespace

void TForm1::LoadHelp() {
    HelpMissing = false;
    const QString path = HelpPath(Options.HelpLanguage);
    std::string text;
    if (path.isEmpty() ||
        !kivo::ReadTextFile(QFile::encodeName(path).toStdString(), text, HelpMaxBytes)) {
        HelpMissing = true;
        HelpLines = {};
        return;
    }
    HelpLines = kivo::ReadHelpText(text);
}

void TForm1::Help1Click() {
    Ui.TreeView1->show();
}

void TForm1::English1Click() {
    Options.HelpLanguage = 1;
}

void TForm1::Russian1Click() {
    Options.HelpLanguage = 2;
}

void TForm1::TreeView1MouseDown(Qt::MouseButton, int X, int Y) {
    // Read at every click, so a help file edited meanwhile shows as it is now.
    LoadHelp();
    if (HelpMissing) {
        SetModeLine(QStringLiteral("  File KivoHelp.txt not found! "));
        return;
    }
    QStringList lines = Ui.Memo4->toPlainText().split(QLatin1Char('\n'));
    lines.resize(MemoLines);
    for (int n = 1; n <= View.HelpLinesShown; ++n) lines[n].clear();
    if (const QTreeWidgetItem* node = Ui.TreeView1->itemAt(X, Y)) {
        const QString name = node->text(0);
        std::string key = name.toStdString();
        key.insert(0, 1, '#');
        key = kivo::CutToCharacters(key, kivo::CodePage::Utf8, kivo::HelpLineLength);
        Ui.Memo4->show();
        const std::vector<std::string> topic = kivo::HelpTopic(HelpLines, key);
        View.HelpLinesShown = uint16_t(topic.size());
        if (!topic.empty()) {
            // Decoded together: one line alone may be too short to tell its code page.
            std::string text;
            for (const std::string& line : topic) (text += line) += '\n';
            const QStringList shown = ShowText(text).split(QLatin1Char('\n'));
            for (int n = 1; n <= View.HelpLinesShown; ++n) lines[n] = shown[n - 1];
        }
        lines[0] = name;
    }
    // The box ends with its last line of text, so it scrolls no further.
    while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    Ui.Memo4->setPlainText(lines.join(QLatin1Char('\n')));
}
