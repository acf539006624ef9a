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

SeriesFigure::SeriesFigure(const SeriesCurve& c)
    : Labels{QString::fromStdString(c.XLabel), QString::fromStdString(c.YLabel)},
      x_(c.X.begin(), c.X.end()), y_(c.Y.begin(), c.Y.end()),
      lineX_(c.LineX.begin(), c.LineX.end()), lineY_(c.LineY.begin(), c.LineY.end()) {
    if (x_.empty()) return;
    Curves.push_back({QStringLiteral("slices"), x_.data(), y_.data(), int(x_.size()), true});
    if (!lineX_.empty())
        Curves.push_back({QStringLiteral("linear"), lineX_.data(), lineY_.data(), 2, false});
}

} // namespace kivo::figure
