#include "figure_files.h"

#include <QColor>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cmath>

namespace {

QString Output(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

double Linear(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

QSizeF PdfPageSize(const QString& path) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"))
            .match(Output(QStringLiteral("pdfinfo"), {path}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

std::vector<std::pair<QString, bool>> PdfFonts(const QString& path) {
    std::vector<std::pair<QString, bool>> fonts;
    // name, type (one or two words), encoding, then emb sub uni as yes/no.
    const QRegularExpression row(
        QStringLiteral("^(\\S+)\\s.*\\s(yes|no)\\s+(yes|no)\\s+(yes|no)\\s"));
    const QStringList lines =
        Output(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines.mid(2)) {
        const QRegularExpressionMatch m = row.match(line);
        if (m.hasMatch()) fonts.emplace_back(m.captured(1), m.captured(2) == QLatin1String("yes"));
    }
    return fonts;
}

SvgFigure ReadSvg(const QString& path) {
    SvgFigure svg;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return svg;
    QXmlStreamReader xml(&file);
    std::vector<std::pair<QString, QString>> groups; // stroke and dashes of each open group
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("g"))
            groups.pop_back();
        if (token != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes at = xml.attributes();
        if (at.hasAttribute(QLatin1String("font-family")))
            svg.FontFamilies << at.value(QLatin1String("font-family")).toString();
        const auto name = xml.name();
        if (name == QLatin1String("svg")) {
            svg.Width = at.value(QLatin1String("width")).toString();
            svg.Height = at.value(QLatin1String("height")).toString();
            svg.ViewBox = at.value(QLatin1String("viewBox")).toString();
        } else if (name == QLatin1String("g")) {
            groups.emplace_back(at.value(QLatin1String("stroke")).toString(),
                                at.value(QLatin1String("stroke-dasharray")).toString());
        } else if (name == QLatin1String("polyline")) {
            SvgFigure::Line line;
            if (!groups.empty()) std::tie(line.Stroke, line.Dashes) = groups.back();
            for (const QString& pair : at.value(QLatin1String("points"))
                                           .toString()
                                           .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const QStringList xy = pair.split(QLatin1Char(','));
                if (xy.size() == 2) line.Points.emplace_back(xy[0].toDouble(), xy[1].toDouble());
            }
            svg.Lines.push_back(line);
        } else if (name == QLatin1String("text")) {
            const QString fill = at.value(QLatin1String("fill")).toString();
            svg.Texts.push_back(
                {xml.readElementText(QXmlStreamReader::IncludeChildElements), fill});
        }
    }
    if (xml.hasError()) return {};
    return svg;
}

std::vector<SvgFigure::Line> SvgFigure::Curves() const {
    std::vector<Line> curves;
    for (const Line& l : Lines)
        if (l.Points.size() > 2) curves.push_back(l);
    return curves;
}

QStringList SvgFigure::TextContents() const {
    QStringList texts;
    for (const Text& t : Texts) texts << t.Content;
    return texts;
}

double ContrastOnWhite(const QString& colour) {
    const QColor c(colour);
    const double l =
        0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
    return 1.05 / (l + 0.05);
}
