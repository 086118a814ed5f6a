#pragma once
#include <QRect>

class QGroupBox;
class QWidget;

namespace ui {

// A group box whose line runs through the middle of its caption, as the dialog layouts assume: the
// caption takes no room of its own above the controls it frames. Placed like any other control,
// and lowered so that the controls it frames lie above it.
QGroupBox* PlaceGroupFrame(QWidget* parent, int id, QRect dialogUnits, const char* caption);

} // namespace ui
