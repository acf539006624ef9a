// The curve of a series of spectra in a window of its own, drawn by the
// figure code as kivo-batch draws it: a picture of the curve when the
// command ran, with a button that exports it for print.
#pragma once

#include <QDialog>

#include "TYPEKIVO1_3.h"

class QLabel;
class QPushButton;

class SeriesWindow : public QDialog {
    Q_OBJECT
public:
    // title: what the curve is of; note: why it has no straight line, if so.
    SeriesWindow(const kivo::SeriesCurve& curve, const kivo::FigureSettings& look,
                 const QString& title, QWidget* parent);
    const kivo::SeriesCurve& Curve() const { return curve_; }

    QLabel* Picture;
    QPushButton* Export; // asks for the file, then the figure's choices

private:
    kivo::SeriesCurve curve_;
};
