#include "Unit1.h"

#include <QPalette>

#include "fonts.h"

TFrame1::TFrame1(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 255));
    setPalette(pal);
    resize(1192, 120);

    const QFont font = FontOfHeight(QStringLiteral("Arial"), 17, true);
    constexpr int columnLeft[3] = {8, 400, 800};
    constexpr int rowTop[4] = {4, 32, 60, 88};
    for (int n = 1; n <= LabelCount; ++n) {
        auto* label = new TLabel(QString(), this);
        label->setObjectName(QStringLiteral("Label%1").arg(n));
        label->setFont(font);
        SetFontHeight(label, 17);
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        label->move(columnLeft[(n - 1) / 4], rowTop[(n - 1) % 4]);
        labels_[static_cast<size_t>(n - 1)] = label;
    }
    Label1 = labels_[0];
    Label2 = labels_[1];
    Label3 = labels_[2];
    Label4 = labels_[3];
    Label5 = labels_[4];
    Label6 = labels_[5];
    Label7 = labels_[6];
    Label8 = labels_[7];
    Label9 = labels_[8];
    Label10 = labels_[9];
    Label11 = labels_[10];
    Label12 = labels_[11];
    Label11->hide();
    Label12->hide();

    // Present for the focus only: one pixel, no frame, no visible text.
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setFrame(false);
    Edit1->setGeometry(0, 0, 1, 1);
    Edit1->setStyleSheet(QStringLiteral("background: transparent; color: transparent;"));
}

void TFrame1::SetCaptions(const QStringList& captions) {
    for (int n = 1; n <= std::min<int>(LabelCount, int(captions.size())); ++n) {
        const QString& c = captions.at(n - 1);
        if (c.isEmpty()) continue;
        Label(n)->setText(c);
        Label(n)->adjustSize();
    }
}
