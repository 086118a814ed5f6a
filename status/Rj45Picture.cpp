#include "status/Rj45Picture.h"

#include <QPainter>

#include "status/PortMarking.h"

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
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_jack);
    status::PaintPortMarking(painter, m_marking);
}
