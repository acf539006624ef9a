// TFrame1: the lower menu panel. Twelve labels in three columns of four show
// the keys of a mode; a one-pixel edit box holds the focus and hands the
// mode's keys to the panel's key handler.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <array>
#include <functional>

#include "TLabel.h"
#include "keys.h"

class TFrame1 : public QFrame {
    Q_OBJECT
public:
    static constexpr int LabelCount = 12;

    explicit TFrame1(const QString& name, QWidget* parent = nullptr);

    // Label1..Label12 by their number.
    TLabel* Label(int n) const { return labels_.at(static_cast<size_t>(n - 1)); }
    // Sets captions of Label1.. in order; an empty caption leaves a label as it is.
    void SetCaptions(const QStringList& captions);

    // The key-down handler of Edit1: the key code may be changed by the handler.
    using KeyHandler = std::function<void(int& key, kivo::ShiftState shift)>;
    void SetKeyHandler(KeyHandler handler) { keyHandler_ = std::move(handler); }
    bool HasKeyHandler() const { return bool(keyHandler_); }
    void Edit1KeyDown(int& key, kivo::ShiftState shift) {
        if (keyHandler_) keyHandler_(key, shift);
    }

    TLabel* Label1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TLabel* Label6;
    TLabel* Label7;
    TLabel* Label8;
    TLabel* Label9;
    TLabel* Label10;
    TLabel* Label11;
    TLabel* Label12;
    QLineEdit* Edit1;

private:
    std::array<TLabel*, LabelCount> labels_{};
    KeyHandler keyHandler_;
};
