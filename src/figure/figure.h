// A figure of ESR spectra for print: drawn from the spectra's own fields and
// signals to a size in cm, with its text and lines in pt, as PDF or SVG
// (vectors of exactly that size, the font embedded or named with a generic
// family) or as PNG at a resolution. The window's export and kivo-batch both
// draw with it; it needs a QGuiApplication but no display.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

#include "TYPEKIVO1_3.h"
#include "picture.h"

namespace kivo::figure {

// A curve as it is drawn.
struct Trace {
    double Offset = 0;        // added to every signal value
    double Low = 0, High = 0; // its signal range, offset included
    QColor Colour;
    QList<qreal> Dashes; // in line widths; empty for a solid line
};

// A tick of an axis: where it stands on the page and its label.
struct Tick {
    double At = 0;
    QString Text;
};

// Where everything goes, in pt from the page's top left.
struct Arrangement {
    QSizeF Page;
    QRectF Plot;                       // the frame around the curves
    double UnitPerG = 1;               // the chosen field unit: 1 for G, 0.1 for mT
    double FieldFrom = 0, FieldTo = 1; // the field axis, in the chosen unit
    double SignalFrom = 0, SignalTo = 1;
    std::vector<Tick> FieldTicks, SignalTicks; // no signal ticks without signal values
    std::vector<double> FieldMinorTicks;       // unlabelled, between the field ticks
    QString SignalFactor;                      // "×10⁴" when the signal labels are scaled
    QString FieldLabel, SignalLabel;
    std::vector<Tick> GTicks; // the g scale along the top; none without one
    QString GLabel;           // "g (9.4012 GHz)"
    // Labels hold italic runs between asterisks and raised ones in ^{...}.
    bool Iso = false;                // the labels in ISO style
    double MarkGHz = 0;              // the frequency of the g marks: the first curve's that has one
    std::vector<Tick> GMarks;        // the g values marked inside the frame's top
    std::vector<QRectF> GMarkLabels; // where each mark's label stands, its baseline the bottom
    std::vector<Trace> Traces;       // one per curve, in the order given
    QRectF Legend;                   // empty when there is none
    int LegendRows = 0;              // its entries run down its columns
    bool CaptionsBeside = false;     // stacked: each caption right of the frame at its curve
    // The page position of a field (in G) and a signal value.
    QPointF PageOf(double field, double signal) const;
};

// The arrangement of the curves for the settings: the field in the chosen
// unit over the curves' whole range, the signal over theirs with a margin,
// ticks far enough apart for their labels, the legend where no curve runs
// (a free corner, else outside right), or the stacked curves' captions.
Arrangement Arrange(const std::vector<Curve>& curves, const FigureSettings& settings);

// The curves drawn in the format given; empty, with the reason, when there
// is no curve, a g mark cannot be placed, or the drawing fails. With labels,
// the curves' "fields" are the X values, in no field unit.
QByteArray DrawFigure(PictureFormat format, const std::vector<Curve>& curves,
                      const FigureSettings& settings, QString& error,
                      const AxisLabels* labels = nullptr);

// The same written to path whole; nothing is written when it is not drawn.
// False with the reason.
bool WriteFigure(const QString& path, PictureFormat format, const std::vector<Curve>& curves,
                 const FigureSettings& settings, QString& error,
                 const AxisLabels* labels = nullptr);

} // namespace kivo::figure
