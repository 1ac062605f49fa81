#pragma once

#include <vector>

#include <QIcon>
#include <QPixmap>

// The program's pictures: SVG files under src/ui/icons (one per picture, on a 32 x 32 grid) in the
// program's resources, drawn at every size they are shown at, so they stay sharp at any scale.
namespace icons {

// The icon of the view with kind 1000 + index (index 0 to 7).
QIcon ViewIcon(int index);
// Pictures hold the screen's own pixels (device pixel ratio), with the given logical size.
QPixmap ViewPixmap(int index, int size);
// Image lists of the eight view icons, in kind order.
std::vector<QPixmap> ViewPixmaps(int size);

// The icon of the picture with that name (see the command table for who shows which).
QIcon Named(const char* name);

// The program's own icon (window, notification area, About box).
QIcon AppIcon();
QPixmap AppPixmap(int size);

} // namespace icons
