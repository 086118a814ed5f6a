#pragma once
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

// Whether the control's text is drawn where the user sees it: its inside, as the screen shows it,
// holds pixels far from its background (the colour most of it has).
inline bool Drawn(const QWidget* control)
{
    const QRect inside = control->contentsRect().adjusted(3, 3, -3, -3);
    const QPoint at = control->mapTo(control->window(), inside.topLeft());
    const QImage shown = control->screen()
                             ->grabWindow(control->window()->winId(), at.x(), at.y(),
                                          inside.width(), inside.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, int> counts;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            ++counts[shown.pixel(x, y)];
    QRgb background = 0;
    for (auto [pixel, count] : counts.asKeyValueRange())
        background = count > counts.value(background) ? pixel : background;
    const auto far = [&](QRgb p) {
        return std::abs(qRed(p) - qRed(background)) + std::abs(qGreen(p) - qGreen(background))
                   + std::abs(qBlue(p) - qBlue(background))
               > 150;
    };
    int drawn = 0;
    for (auto [pixel, count] : counts.asKeyValueRange())
        drawn += far(pixel) ? count : 0;
    return drawn >= 3;
}
