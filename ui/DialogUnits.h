#pragma once
#include <QFont>
#include <QRect>
#include <QSize>
#include <QVariant>
#include <QWidget>

class QApplication;

// Window geometry is given in dialog units of the 8-point dialog font. Every numbered control
// carries its number as the property controlId, which is how tests and pages find it.
namespace ui {

inline constexpr const char* kControlIdProperty = "controlId";

QRect DialogRect(int x, int y, int width, int height);
QSize DialogSize(int width, int height);

// The 8-point dialog font the dialog units are measured in, and making it the application's.
QFont DialogFont();
void UseDialogFont(QApplication& app);

void SetControlId(QWidget* widget, int id);
int ControlId(const QWidget* widget);

// Creates a control of type W as a child of parent, numbered id, at the dialog-unit rectangle.
template <typename W, typename... Args>
W* PlaceControl(QWidget* parent, int id, QRect dialogUnits, Args&&... args)
{
    auto* control = new W(std::forward<Args>(args)..., parent);
    control->setGeometry(
        DialogRect(dialogUnits.x(), dialogUnits.y(), dialogUnits.width(), dialogUnits.height()));
    SetControlId(control, id);
    return control;
}

// The descendant of root numbered id, or nullptr.
template <typename W = QWidget>
W* FindControl(const QWidget* root, int id)
{
    for (W* child : root->findChildren<W*>()) {
        if (ControlId(child) == id)
            return child;
    }
    return nullptr;
}

} // namespace ui
