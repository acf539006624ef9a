// What the tests read back of a figure file: a PDF through poppler's
// pdfinfo and pdffonts, an SVG as XML.
#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// pdfinfo's page size in pt; empty when it cannot be read.
QSizeF PdfPageSize(const QString& path);
// pdffonts' fonts: each name and whether it is embedded.
std::vector<std::pair<QString, bool>> PdfFonts(const QString& path);

struct SvgFigure {
    QString Width, Height, ViewBox; // of the root
    QStringList FontFamilies;       // every font-family given, in any element
    struct Text {
        QString Content, Fill;
    };
    std::vector<Text> Texts;
    // A polyline with the stroke of its group.
    struct Line {
        QString Stroke, Dashes;
        std::vector<QPointF> Points;
    };
    std::vector<Line> Lines;
    // The lines of more than two points: the curves, not the ticks.
    std::vector<Line> Curves() const;
    QStringList TextContents() const;
};
SvgFigure ReadSvg(const QString& path);

// The relative luminance contrast of a colour against white (1 to 21).
double ContrastOnWhite(const QString& colour);
