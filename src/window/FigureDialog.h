// The choices of a picture for print: its size in cm, text and lines in pt,
// the PNG's resolution, the colours, the legend, a stack, the field unit and
// whether the signal axis has values. Tests answer it through Answer.
#pragma once

#include <QDialog>
#include <functional>

#include "TYPEKIVO1_3.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

class FigureDialog : public QDialog {
    Q_OBJECT
public:
    FigureDialog(const kivo::FigureSettings& shown, QWidget* parent);

    // Shows the dialog; false when it was cancelled.
    bool Execute();
    // The choices as the controls hold them.
    kivo::FigureSettings Choices() const;

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
};
