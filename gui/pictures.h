#pragma once
// The window's two pictures, drawn at start-up: the title banner Image1 and the manual icon Image2.

#include <QPixmap>
#include <QSize>

namespace ledrana::gui {

// The banner: the product's name on a blue band, sized to fill `size`.
QPixmap BannerPicture(QSize size);

// A 32 x 32 icon: a closed book with a question mark.
QPixmap ManualIcon();

} // namespace ledrana::gui
