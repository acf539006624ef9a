// The choices of a picture for print: its size in cm, text and lines in pt,
// the PNG's resolution, the colours, the legend and its texts, a stack, the
// field unit, whether the signal axis has values, the axes' names and the g
// values marked. Tests answer it through Answer.
#pragma once

#include <QDialog>
#include <functional>

#include "TYPEKIVO1_3.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

class FigureDialog : public QDialog {
    Q_OBJECT
public:
    // captions: the legend's texts offered, a line a curve.
    FigureDialog(const kivo::FigureSettings& shown, const QStringList& captions, QWidget* parent);

    // Shows the dialog; false when it was cancelled.
    bool Execute();
    // The choices as the controls hold them; the g values typed that are
    // numbers within their limits.
    kivo::FigureSettings Choices() const;
    // Why the g values typed cannot be marked: "g '2.5x' is not a number
    // from 0.5 to 10"; empty when they can.
    QString MarkFault() const;
    // The legend's texts: each curve's line, its caption where the line is
    // empty or missing.
    QStringList Legends() const;

    // The seam for tests: when set, it is called with the dialog instead of
    // showing it, may change its controls, and answers true for OK.
    static std::function<bool(FigureDialog&)> Answer;

    QDoubleSpinBox* Width;
    QDoubleSpinBox* Height;
    QDoubleSpinBox* FontPt;
    QDoubleSpinBox* LinePt;
    QSpinBox* Dpi;
    QComboBox* Palette;
    QComboBox* Legend;
    QDoubleSpinBox* Stack;
    QComboBox* Unit;
    QCheckBox* SignalValues;
    QCheckBox* GScale;
    QComboBox* Labels;
    QLineEdit* MarkG;
    QPlainTextEdit* LegendTexts;

private:
    QStringList captions_;
};
