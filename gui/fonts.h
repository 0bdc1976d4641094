#pragma once
// The form designer's Windows fonts on this host.

#include <QFont>
#include <QString>

#include "window/aggiorna.h"

namespace ledrana::gui {

inline constexpr int kSmallestPixels = 7;

// "MS Sans Serif" and "Verdana" become DejaVu Sans (present on every machine set up for the program)
// unless the host has the face itself; sizes in points are taken at 96 dots per inch, the resolution at
// which the window's twips become pixels.
QFont FontFor(const Font& font);

// The font made smaller, a pixel at a time down to kSmallestPixels, until the text wrapped at word
// boundaries fits the box. DejaVu Sans is much wider than the Windows faces the form was laid out for, so
// a caption that fitted there may need it here.
QFont FitFont(QFont font, const QSize& box, const QString& text);

// True when every character of text has a glyph in the font (a missing glyph draws as a box).
bool FontCovers(const QFont& font, const QString& text);

} // namespace ledrana::gui
