// A spectrum's check box: a click anywhere on its coloured box counts, not
// only one on the tick or the caption.
#pragma once

#include <QCheckBox>

class TCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};
