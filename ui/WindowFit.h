#pragma once
#include <QSize>

class QWidget;

// A window laid out in dialog units can be larger than a small screen, or than a screen at a
// large scale; such a window opens at the size the screen has room for and scrolls its content.
namespace ui {

// The room a window opening now has: the available geometry of the screen it opens on (the screen
// less its panels), less the frame that the window manager put around the window in use.
QSize AvailableRoom(const QWidget* window);

// The size that shows content of the given size in room: all of it where it fits, else as much as
// fits, with room for a scroll bar of thickness bar across each side that scrolls.
QSize FittedSize(QSize content, QSize room, int bar);

} // namespace ui
