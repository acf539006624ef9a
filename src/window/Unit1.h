// TFrame1: the lower menu panel. Twelve labels in three columns of four show
// the keys of a mode; a one-pixel edit box holds the focus and hands the
// mode's keys to the panel's key handler. The columns share the width the
// window shows of the panel: each stays whole and in its order, the font
// smaller where they would not fit otherwise.
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
    // Places the columns in the width the window shows of the panel, at the
    // font heights asked for (SetFontHeight) or as little less as lets every
    // caption show whole. Below the least font height a caption is cut in
    // its middle, and its tooltip is the whole caption. The panel does this
    // itself when it or the window changes width; a command that changes
    // the labels' fonts calls it.
    void FitCaptions();

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<TLabel*, LabelCount> labels_{};
    KeyHandler keyHandler_;
};
