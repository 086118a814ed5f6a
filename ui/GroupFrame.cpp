#include "ui/GroupFrame.h"

#include <QGroupBox>

#include "ui/DialogUnits.h"

namespace ui {

QGroupBox* PlaceGroupFrame(QWidget* parent, int id, QRect dialogUnits, const char* caption)
{
    auto* frame = PlaceControl<QGroupBox>(parent, id, dialogUnits, caption);
    const int half = frame->fontMetrics().height() / 2;
    frame->setStyleSheet(QString("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                 " margin-top: %1px; }"
                                 " QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                                 " padding: 0 2px; }")
                             .arg(half));
    frame->lower();
    return frame;
}

} // namespace ui
