#include "SeriesWindow.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "figure.h"

SeriesWindow::SeriesWindow(const kivo::SeriesCurve& curve, const kivo::FigureSettings& look,
                           const QString& title, QWidget* parent)
    : QDialog(parent), curve_(curve) {
    setObjectName(QStringLiteral("SeriesWindow"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    // The print figure at the screen's resolution, the size chosen for print.
    kivo::FigureSettings screen = look;
    screen.Dpi = std::max(96.0, double(logicalDpiX()));
    const kivo::figure::SeriesFigure figure(curve_);
    QString error;
    const QByteArray png = kivo::figure::DrawFigure(kivo::figure::PictureFormat::Png, figure.Curves,
                                                    screen, error, &figure.Labels);
    Picture = new QLabel(this);
    QPixmap pixmap;
    if (!png.isEmpty() && pixmap.loadFromData(png, "PNG"))
        Picture->setPixmap(pixmap);
    else
        Picture->setText(QStringLiteral("Not drawn: ") + error);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Picture);
    if (!curve_.LineNote.empty()) {
        auto* note = new QLabel(QString::fromStdString(curve_.LineNote), this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    Export = buttons->addButton(QStringLiteral("Export picture..."), QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
