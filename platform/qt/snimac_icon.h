// The program's picture, drawn in code: a card going into a reader (the same
// drawing as the Windows icons). One icon for the windows and the tray.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace snimac {

// The picture at `size` × `size` pixels; small sizes are drawn without
// antialiasing so that the edges stay sharp.
QPixmap DrawSnimacPicture(int size);
// 16 to 64 pixels.
QIcon SnimacIcon();

}  // namespace snimac
