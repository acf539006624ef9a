// Font heights as the window's layout gives them: the height of a line of
// text in pixels (ascent, descent and leading together), not the size of the
// letters. A label or box of that height then holds exactly one line.
#pragma once

#include <QFont>

class QWidget;

// A font of the family whose lines are at most height pixels apart.
QFont FontOfHeight(const QString& family, int height, bool bold = false);
// Gives a widget such a font and remembers the height asked for.
void SetFontHeight(QWidget* w, int height);
int FontHeight(const QWidget* w);
