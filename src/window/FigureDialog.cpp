#include "FigureDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <algorithm>

std::function<bool(FigureDialog&)> FigureDialog::Answer;

namespace {

using kivo::LimitOf;
using kivo::Parameter;

QDoubleSpinBox* Number(Parameter which, int decimals, double step, double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    const kivo::ParameterLimit& limit = LimitOf(which);
    box->setRange(limit.Min, limit.Max);
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setValue(value);
    return box;
}

QComboBox* Choice(const QStringList& items, int current, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

} // namespace

FigureDialog::FigureDialog(const kivo::FigureSettings& shown, const QStringList& captions,
                           QWidget* parent)
    : QDialog(parent), captions_(captions) {
    setObjectName(QStringLiteral("FigureDialog"));
    setWindowTitle(QStringLiteral("Figure for print"));
    Width = Number(Parameter::FigureCm, 2, 0.1, shown.WidthCm, this);
    Height = Number(Parameter::FigureCm, 2, 0.1, shown.HeightCm, this);
    FontPt = Number(Parameter::FontPt, 1, 0.5, shown.FontPt, this);
    LinePt = Number(Parameter::LinePt, 2, 0.05, shown.LinePt, this);
    Dpi = new QSpinBox(this);
    Dpi->setRange(int(LimitOf(Parameter::Dpi).Min), int(LimitOf(Parameter::Dpi).Max));
    Dpi->setSingleStep(100);
    Dpi->setValue(int(shown.Dpi));
    Palette =
        Choice({QStringLiteral("colour-blind safe, then dashes"), QStringLiteral("black, dashes")},
               int(shown.Palette), this);
    Legend = Choice({QStringLiteral("in a free corner"), QStringLiteral("outside, on the right"),
                     QStringLiteral("none")},
                    int(shown.Legend), this);
    Stack = Number(Parameter::StackStep, 2, 0.1, shown.Stack, this);
    Stack->setSpecialValueText(QStringLiteral("none: overlaid"));
    Unit = Choice({QStringLiteral("G"), QStringLiteral("mT")}, int(shown.Unit), this);
    SignalValues = new QCheckBox(QStringLiteral("values on the signal axis"), this);
    SignalValues->setChecked(shown.SignalValues);
    // A stack has no signal scale to give.
    auto stacked = [this](double step) { SignalValues->setEnabled(step == 0); };
    connect(Stack, &QDoubleSpinBox::valueChanged, this, stacked);
    stacked(shown.Stack);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Width, cm (8.5 one column, 17.8 two)"), Width);
    form->addRow(QStringLiteral("Height, cm"), Height);
    form->addRow(QStringLiteral("Text, pt"), FontPt);
    form->addRow(QStringLiteral("Lines, pt"), LinePt);
    form->addRow(QStringLiteral("PNG resolution, dpi"), Dpi);
    form->addRow(QStringLiteral("Colours"), Palette);
    form->addRow(QStringLiteral("Legend"), Legend);
    form->addRow(QStringLiteral("Stack step, largest amplitudes"), Stack);
    form->addRow(QStringLiteral("Field in"), Unit);
    form->addRow(SignalValues);
    GScale = new QCheckBox(QStringLiteral("g scale along the top"), this);
    GScale->setChecked(shown.GScale);
    form->addRow(GScale);
    Labels = Choice({QStringLiteral("in words: Magnetic field, G"),
                     QStringLiteral("ISO: B / G, the symbols in italics")},
                    int(shown.Labels), this);
    form->addRow(QStringLiteral("Axis names"), Labels);
    QStringList marks;
    for (double g : shown.MarkG) marks << QString::number(g, 'g', 10);
    MarkG = new QLineEdit(marks.join(QLatin1Char(' ')), this);
    MarkG->setPlaceholderText(QStringLiteral("none; e.g. 2.0036"));
    form->addRow(QStringLiteral("Mark g at"), MarkG);
    LegendTexts = new QPlainTextEdit(captions.join(QLatin1Char('\n')), this);
    LegendTexts->setLineWrapMode(QPlainTextEdit::NoWrap);
    LegendTexts->setTabChangesFocus(true);
    const int rows = int(std::clamp<qsizetype>(captions.size(), 2, 6));
    LegendTexts->setFixedHeight(LegendTexts->fontMetrics().lineSpacing() * (rows + 1));
    form->addRow(QStringLiteral("Legend, a line a curve"), LegendTexts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

bool FigureDialog::Execute() {
    if (Answer) return Answer(*this);
    return exec() == QDialog::Accepted;
}

kivo::FigureSettings FigureDialog::Choices() const {
    kivo::FigureSettings f;
    f.WidthCm = Width->value();
    f.HeightCm = Height->value();
    f.FontPt = FontPt->value();
    f.LinePt = LinePt->value();
    f.Dpi = Dpi->value();
    f.Palette = kivo::FigurePalette(Palette->currentIndex());
    f.Legend = kivo::LegendPlace(Legend->currentIndex());
    f.Stack = Stack->value();
    f.Unit = kivo::FieldUnit(Unit->currentIndex());
    f.SignalValues = SignalValues->isChecked();
    f.GScale = GScale->isChecked();
    f.Labels = kivo::AxisLabelStyle(Labels->currentIndex());
    const kivo::ParameterLimit& limit = LimitOf(Parameter::MarkedG);
    for (const QString& word : MarkG->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        double g = 0;
        if (kivo::ReadLimited(word.toStdString(), limit, g) == kivo::OptionFault::None)
            f.MarkG.push_back(g);
    }
    return f;
}

QString FigureDialog::MarkFault() const {
    const kivo::ParameterLimit& limit = LimitOf(Parameter::MarkedG);
    for (const QString& word : MarkG->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        double g = 0;
        if (kivo::ReadLimited(word.toStdString(), limit, g) != kivo::OptionFault::None)
            return QStringLiteral("g '%1' is not a number from %2 to %3")
                .arg(word)
                .arg(limit.Min)
                .arg(limit.Max);
    }
    return {};
}

QStringList FigureDialog::Legends() const {
    const QStringList lines = LegendTexts->toPlainText().split(QLatin1Char('\n'));
    QStringList legends = captions_;
    for (qsizetype k = 0; k < legends.size() && k < lines.size(); ++k)
        if (!lines[k].trimmed().isEmpty()) legends[k] = lines[k];
    return legends;
}
