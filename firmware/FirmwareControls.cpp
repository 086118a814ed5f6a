#include "firmware/FirmwareControls.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "firmware/DeviceInfo.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/Picture.h"

namespace {

QLabel* PlaceLabel(QWidget* page, const QString& text, QRect dialogUnits)
{
    auto* label = new QLabel(text, page);
    label->setGeometry(ui::DialogRect(dialogUnits.x(), dialogUnits.y(), dialogUnits.width(),
                                      dialogUnits.height()));
    return label;
}

QLineEdit* PlaceReadOnlyEdit(QWidget* page, int id, QRect dialogUnits)
{
    auto* edit = ui::PlaceControl<QLineEdit>(page, id, dialogUnits);
    edit->setReadOnly(true);
    return edit;
}

// One chip's identification: a group box with type, revision and role, left at x.
void PlaceDeviceInfo(QWidget* page, const char* caption, int x, int firstId,
                     std::array<QLineEdit**, 3> edits)
{
    ui::PlaceGroupFrame(page, -1, {x, 5, 221, 74}, caption);
    const std::array<const char*, 3> labels{"IC Type:", "FW Revision:", "Role:"};
    for (int row = 0; row < 3; ++row) {
        const int y = 20 + row * 19;
        PlaceLabel(page, labels[row], {x + 10, y + 2, 60, 10});
        *edits[row] = PlaceReadOnlyEdit(page, firstId + row, {x + 72, y, 140, 14});
    }
}

} // namespace

FirmwareControls CreateFirmwareControls(QWidget* page)
{
    using enum FirmwareControl::Id;
    FirmwareControls c;
    PlaceDeviceInfo(page, "Local Device Info (TX)", 5, LocalType,
                    {&c.localType, &c.localRevision, &c.localRole});
    PlaceDeviceInfo(page, "Remote Device Info (RX)", 231, RemoteType,
                    {&c.remoteType, &c.remoteRevision, &c.remoteRole});

    ui::PlaceGroupFrame(page, -1, {5, 86, 447, 186}, "Torvan Chip Update");

    PlaceLabel(page, "To:", {15, 104, 35, 10});
    c.local = ui::PlaceControl<QRadioButton>(page, Local, {55, 102, 80, 13}, "Local(TX)");
    c.remote = ui::PlaceControl<QRadioButton>(page, Remote, {140, 102, 80, 13}, "Remote(RX)");
    auto* targets = new QButtonGroup(page);
    targets->addButton(c.local);
    targets->addButton(c.remote);

    PlaceLabel(page, "From:", {15, 127, 35, 10});
    c.path = ui::PlaceControl<QLineEdit>(page, Path, {55, 124, 345, 14});
    c.browse = ui::PlaceControl<QPushButton>(page, Browse, {406, 123, 36, 16}, "...");

    PlaceLabel(page, "\u25CF", {55, 152, 8, 10});
    PlaceLabel(page, "IC Type:", {65, 152, 45, 10});
    c.imageType =
        ui::PlaceControl<QLabel>(page, ImageType, {112, 152, 110, 10}, firmware::kNotKnown);
    PlaceLabel(page, "\u25CF", {235, 152, 8, 10});
    PlaceLabel(page, "FW Revision:", {245, 152, 55, 10});
    c.imageRevision =
        ui::PlaceControl<QLabel>(page, ImageRevision, {302, 152, 110, 10}, firmware::kNotKnown);

    PlaceLabel(page, "Action:", {15, 196, 35, 10});
    c.program =
        ui::PlaceControl<QPushButton>(page, Program, {55, 186, 130, 30}, "Read Firmware from file");
    auto* arrow = new ui::Picture(page);
    arrow->setGeometry(ui::DialogRect(200, 185, 60, 32));
    arrow->setPixmap(QPixmap(":/pictures/program-arrow.png"));
    arrow->setAlignment(Qt::AlignCenter);
    c.apply = ui::PlaceControl<QPushButton>(page, Apply, {275, 186, 130, 30}, "Apply Firmware");

    c.status = PlaceReadOnlyEdit(page, Status, {5, 282, 447, 14});

    auto* processLabel = PlaceLabel(page, " Process", {5, 306, 50, 14});
    processLabel->setFrameShape(QFrame::Box);
    processLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    c.progress = ui::PlaceControl<QProgressBar>(page, Progress, {60, 306, 392, 14});
    c.progress->setTextVisible(false);
    c.progress->setRange(0, 100);
    c.progress->setValue(0);
    return c;
}
