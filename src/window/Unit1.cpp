#include "Unit1.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "TYPEKIVO1_3.h"
#include "fonts.h"

namespace {

constexpr int Columns = 3;
constexpr int RowsPerColumn = 4;
// Where the columns stand when the panel has the room; the first one's left
// is also the room kept at the right.
constexpr int ColumnLeft[Columns] = {8, 400, 800};
constexpr int ColumnGap = 16;

// The lefts of columns of the given widths in a room: each at its own place
// unless the one before pushes it right or the room's end pushes it left.
// The widths must fit: margins, gaps and widths at most the room.
std::vector<int> ColumnLefts(const std::vector<int>& places, const std::vector<int>& widths,
                             int room) {
    std::vector<int> left(widths.size());
    for (size_t k = 0; k < widths.size(); ++k)
        left[k] = k == 0 ? places[0] : std::max(places[k], left[k - 1] + widths[k - 1] + ColumnGap);
    int end = room - ColumnLeft[0];
    for (size_t k = widths.size(); k-- > 0;) {
        left[k] = std::min(left[k], end - widths[k]);
        end = left[k] - ColumnGap;
    }
    return left;
}

} // namespace

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
    if (parent) parent->installEventFilter(this);
}

void TFrame1::SetCaptions(const QStringList& captions) {
    for (int n = 1; n <= std::min<int>(LabelCount, int(captions.size())); ++n) {
        const QString& c = captions.at(n - 1);
        if (c.isEmpty()) continue;
        Label(n)->setText(c);
        Label(n)->adjustSize();
    }
    FitCaptions();
}

void TFrame1::FitCaptions() {
    const int room = parentWidget() ? std::min(width(), parentWidget()->width() - x()) : width();
    // The columns that have captions, with their labels.
    std::vector<std::vector<TLabel*>> columns;
    std::vector<int> places;
    for (int c = 0; c < Columns; ++c) {
        std::vector<TLabel*> column;
        for (int r = 1; r <= RowsPerColumn; ++r)
            if (TLabel* l = Label(c * RowsPerColumn + r); !l->text().isEmpty()) column.push_back(l);
        if (column.empty()) continue;
        columns.push_back(column);
        places.push_back(ColumnLeft[c]);
    }
    if (columns.empty()) return;
    const int gaps = ColumnLeft[0] * 2 + ColumnGap * int(columns.size() - 1);

    // Every label a step smaller at a time, none below the least height.
    auto fontOf = [](const TLabel* l, int less) {
        const int height = std::max(kivo::MinFontHeight, std::abs(FontHeight(l)) - less);
        return FontOfHeight(l->font().family(), height, l->font().bold());
    };
    auto widthsAt = [&](int less) {
        std::vector<int> widths;
        for (const auto& column : columns) {
            int w = 0;
            for (const TLabel* l : column)
                w = std::max(w, QFontMetrics(fontOf(l, less)).horizontalAdvance(l->text()) + 1);
            widths.push_back(w);
        }
        return widths;
    };
    int tallest = 0;
    for (const auto& column : columns)
        for (const TLabel* l : column) tallest = std::max(tallest, std::abs(FontHeight(l)));
    int less = 0;
    std::vector<int> widths = widthsAt(less);
    auto total = [&] { return std::accumulate(widths.begin(), widths.end(), 0) + gaps; };
    while (total() > room && tallest - less > kivo::MinFontHeight) widths = widthsAt(++less);

    // Still too wide at the least height: the columns share the room by
    // their widths, and a caption wider than its column is cut.
    const bool cut = total() > room;
    if (cut) {
        const int share = std::max(0, room - gaps);
        const int sum = std::accumulate(widths.begin(), widths.end(), 0);
        for (int& w : widths) w = int(qint64(w) * share / sum);
    }
    const std::vector<int> lefts = ColumnLefts(places, widths, room);
    for (size_t k = 0; k < columns.size(); ++k)
        for (TLabel* l : columns[k]) {
            l->setFont(fontOf(l, less));
            const int whole = QFontMetrics(l->font()).horizontalAdvance(l->text()) + 1;
            l->setGeometry(lefts[k], l->y(), std::min(whole, widths[k]), l->sizeHint().height());
            l->setToolTip(whole > widths[k] ? l->text() : QString());
        }
}

bool TFrame1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) FitCaptions();
    return false;
}

void TFrame1::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    FitCaptions();
}
