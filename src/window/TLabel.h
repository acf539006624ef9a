// A caption that can be clicked and double-clicked, as the window's labels
// are. Made narrower than its caption, it shows the caption cut in the
// middle, so that both its start and its key stay in sight.
#pragma once

#include <QLabel>

class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(const QString& caption, QWidget* parent = nullptr) : QLabel(caption, parent) {}

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool pressed_ = false;
    quint64 lastPress_ = 0;
};
