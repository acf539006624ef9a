// Where the window finds what is installed beside it, and files handed to it
// by the desktop: dropped on the window.
#include "places.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "Kivo1_3.h"

QString DataDir() {
    const QDir program(QCoreApplication::applicationDirPath());
    const QString dir = QDir::cleanPath(program.filePath(QStringLiteral(KIVO_DATA_FROM_BIN)));
    return QFileInfo(dir).isDir() ? dir : QString();
}

QString ExamplesDir() {
    const QString data = DataDir();
    const QString dir =
        data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("examples"));
    return !dir.isEmpty() && QFileInfo(dir).isDir() ? dir : QString();
}

QString HelpPath(uint8_t language) {
    const QString name =
        language == 2 ? QStringLiteral("KivoHelp.txt") : QStringLiteral("KivoHelpEng.txt");
    for (const QString& dir :
         {QDir::currentPath(), QCoreApplication::applicationDirPath(), DataDir()}) {
        if (dir.isEmpty()) continue;
        QString path = QDir(dir).filePath(name);
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

namespace {

// The local files among what is dragged; none when anything else is.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        files << url.toLocalFile();
    }
    return files;
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // With Ctrl held the files join the loaded spectra, as "5" adds them.
    OpenFiles(files, event->modifiers().testFlag(Qt::ControlModifier));
}
