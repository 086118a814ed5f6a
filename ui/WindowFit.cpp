#include "ui/WindowFit.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace ui {

QSize AvailableRoom(const QWidget* window)
{
    // A window opens over the one in use, on its screen, and gets the same frame.
    const QWidget* active = QApplication::activeWindow();
    const QWidget* over = active ? active : window;
    QSize room = over->screen()->availableGeometry().size();
    if (active)
        room -= active->frameGeometry().size() - active->geometry().size();
    return room;
}

QSize FittedSize(QSize content, QSize room, int bar)
{
    // A scroll bar across one side takes room from the other, which may then have to scroll too.
    bool across = content.width() > room.width(); // the horizontal bar
    bool down = content.height() > room.height();
    down = down || (across && content.height() + bar > room.height());
    across = across || (down && content.width() + bar > room.width());
    return {std::min(content.width() + (down ? bar : 0), room.width()),
            std::min(content.height() + (across ? bar : 0), room.height())};
}

} // namespace ui
