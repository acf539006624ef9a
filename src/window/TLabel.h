// A caption that can be clicked and double-clicked, as the window's labels are.
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

private:
    bool pressed_ = false;
    quint64 lastPress_ = 0;
};
