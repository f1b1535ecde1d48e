// The window's two fonts, 11 pixels high, with fallbacks where the classic
// desktop fonts are missing.
#pragma once

#include <QFont>

namespace FormFonts {

// Registers the Tahoma that Wine ships, when it is there. Needs the application object.
void loadBundledFonts();
// "MS Sans Serif": the window and every control unless stated otherwise.
QFont formFont();
// "Tahoma": the status lines and the key tree.
QFont statusFont();

} // namespace FormFonts
