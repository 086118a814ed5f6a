#include "status/Rj45Picture.h"

#include <QPainter>

#include "status/PortMarking.h"
#include "ui/Picture.h"

Rj45Picture::Rj45Picture(QWidget* parent) : QWidget(parent), m_jack(":/pictures/rj45-jack.png") {}

void Rj45Picture::SetMarking(const status::PortFlags& ports)
{
    if (ports == m_marking)
        return;
    m_marking = ports;
    update();
}

void Rj45Picture::paintEvent(QPaintEvent*)
{
    // The marking is laid out in the picture's pixels, so it is scaled with the picture.
    const QSizeF size = m_jack.deviceIndependentSize();
    const QRect target = ui::FittedRect(size.toSize(), rect(), Qt::AlignLeft | Qt::AlignTop);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(target.width() / size.width(), target.height() / size.height());
    painter.drawPixmap(0, 0, m_jack);
    status::PaintPortMarking(painter, m_marking);
}
