#pragma once
#include <QLabel>

// The pictures are drawn for the dialog font's usual metrics. A desktop whose dialog font is
// smaller or larger makes their frames smaller or larger, and a picture then follows its frame:
// scaled to it, proportions kept, never cropped.
namespace ui {

// Where a picture of the given size is drawn in frame: as large as the frame allows with its
// proportions kept, placed by alignment (top left where it names no side).
QRect FittedRect(QSize picture, const QRect& frame, Qt::Alignment alignment);

// A label whose pixmap is drawn fitted to the label.
class Picture : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ui
