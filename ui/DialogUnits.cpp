#include "ui/DialogUnits.h"

#include <QApplication>
#include <QFontMetricsF>
#include <cmath>

namespace ui {
namespace {

struct BaseUnits {
    double x;
    double y;
};

// Measured the way the dialog framework measures its font: an x unit is a quarter of the average
// width of the Latin letters, a y unit an eighth of the line height. For the 8-point dialog
// font that every window is laid out in, that is 1.5 px by 1.625 px; a wider desktop font widens
// the windows with it, so that no caption is clipped.
BaseUnits MeasureBaseUnits()
{
    const QFontMetricsF metrics(DialogFont());
    const double averageWidth =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
    return {averageWidth / 4.0, metrics.height() / 8.0};
}

const BaseUnits& Units()
{
    static const BaseUnits units = MeasureBaseUnits();
    return units;
}

int XPixels(int units)
{
    return static_cast<int>(std::lround(units * Units().x));
}

int YPixels(int units)
{
    return static_cast<int>(std::lround(units * Units().y));
}

} // namespace

QFont DialogFont()
{
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

QRect DialogRect(int x, int y, int width, int height)
{
    // Edges are converted, not sizes, so that neighbouring controls meet without gaps.
    const int left = XPixels(x);
    const int top = YPixels(y);
    return {left, top, XPixels(x + width) - left, YPixels(y + height) - top};
}

QSize DialogSize(int width, int height)
{
    return {XPixels(width), YPixels(height)};
}

void UseDialogFont(QApplication& app)
{
    app.setFont(DialogFont());
}

void SetControlId(QWidget* widget, int id)
{
    widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* widget)
{
    return widget->property(kControlIdProperty).toInt();
}

} // namespace ui
