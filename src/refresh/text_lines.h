// A spectrum's text lines between the bytes of its file and the screen.
#pragma once

#include <QString>
#include <string>

// A spectrum's text line as the screen shows it, whatever its code page.
QString ShowText(const std::string& bytes);
// The bytes to store for a shown line: the original ones when it was not
// changed, otherwise the original's code page where it can hold the text.
std::string StoreText(const QString& shown, const std::string& original);
