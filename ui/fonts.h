#pragma once
// Fonts and looks shared by the main window and the file chooser.

#include <QFont>
#include <QIcon>

namespace mergon::ui {

// The window font: the Japanese gothic face, then its metric-compatible free twin, then sans.
QFont windowFont(double pointSize = 9.75);
// Arial-like bold sans for the footer label.
QFont footerFont();
// The program's 32 x 32, 16-colour icon.
QIcon programIcon();

// Twips to logical pixels: 15 twips make one pixel at 96 dots per inch.
constexpr int px(int twips) { return twips / 15; }

} // namespace mergon::ui
