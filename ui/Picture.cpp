#include "ui/Picture.h"

#include <QPainter>
#include <QStyle>

namespace ui {

QRect FittedRect(QSize picture, const QRect& frame, Qt::Alignment alignment)
{
    return QStyle::alignedRect(Qt::LeftToRight, alignment,
                               picture.scaled(frame.size(), Qt::KeepAspectRatio), frame);
}

void Picture::paintEvent(QPaintEvent*)
{
    const QPixmap picture = pixmap();
    if (picture.isNull())
        return;
    const QRect target =
        FittedRect(picture.deviceIndependentSize().toSize(), contentsRect(), alignment());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, picture);
}

} // namespace ui
