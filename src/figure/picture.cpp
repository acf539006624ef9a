#include "picture.h"

#include <QFileInfo>
#include <QSaveFile>

namespace kivo::figure {

std::optional<PictureFormat> FormatOf(const QString& path) {
    const QString ending = QFileInfo(path).suffix().toLower();
    if (ending == QLatin1String("png")) return PictureFormat::Png;
    if (ending == QLatin1String("pdf")) return PictureFormat::Pdf;
    if (ending == QLatin1String("svg")) return PictureFormat::Svg;
    return std::nullopt;
}

QString WrongEnding() {
    return QStringLiteral("the ending must be .png, .pdf or .svg");
}

bool SaveWhole(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kivo::figure
