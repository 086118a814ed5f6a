#include "ui/DialogUnits.h"

#include <QApplication>
#include <QFont>
#include <cmath>

namespace ui {
namespace {

constexpr double kPixelsPerXUnit = 1.5;
constexpr double kPixelsPerYUnit = 1.625;

int XPixels(int units)
{
    return static_cast<int>(std::lround(units * kPixelsPerXUnit));
}

int YPixels(int units)
{
    return static_cast<int>(std::lround(units * kPixelsPerYUnit));
}

} // namespace

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
    QFont font = QApplication::font();
    font.setPointSize(8);
    app.setFont(font);
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
