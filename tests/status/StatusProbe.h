#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <optional>

#include "SimRig.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "status/Rj45Picture.h"
#include "status/StatusDecoding.h"
#include "status/StatusPage.h"
#include "ui/DialogUnits.h"

// The Status page in its real tool window over the simulated extender, and what a person would
// read off its controls.
struct StatusRig {
    SimRig sim;
    std::unique_ptr<CTorvanReaderDlg> mainDlg;
    std::unique_ptr<PerformanceTool> tool;

    // Opens the tool window: its snapshot reads the registers set so far.
    Tool1Main& Open()
    {
        mainDlg = std::make_unique<CTorvanReaderDlg>(sim.wire);
        tool = std::make_unique<PerformanceTool>(mainDlg.get());
        return Page();
    }
    Tool1Main& Page() const
    {
        return *static_cast<Tool1Main*>(tool->Page(PerformanceTool::StatusTab));
    }

    QString Text(int id) const
    {
        if (auto* field = ui::FindControl<QLineEdit>(&Page(), id))
            return field->text();
        return ui::FindControl<QPlainTextEdit>(&Page(), id)->toPlainText();
    }

    // Which of the three lamp pictures a lamp shows, if any.
    std::optional<status::Lamp> LampShown(int id) const
    {
        const QImage shown = ui::FindControl<QLabel>(&Page(), id)->pixmap().toImage();
        const std::pair<status::Lamp, const char*> pictures[]{
            {status::Lamp::On, ":/pictures/lamp-green.png"},
            {status::Lamp::Marginal, ":/pictures/lamp-yellow.png"},
            {status::Lamp::Off, ":/pictures/lamp-red.png"},
        };
        for (const auto& [lamp, path] : pictures) {
            if (!shown.isNull() && shown == QImage(path).convertToFormat(shown.format()))
                return lamp;
        }
        return std::nullopt;
    }

    Rj45Picture& Picture() const { return *ui::FindControl<Rj45Picture>(&Page(), 1104); }
    QPushButton& TestButton() const { return *ui::FindControl<QPushButton>(&Page(), 1075); }
};

// A healthy link: HDBT on both sides, a clean cable of about 31 m, all lines up.
inline void SetHealthyLink(SimExtender& extender)
{
    extender.SetRegister(0x01, 0x04, {7});
    extender.SetRegister(0x01, 0x08, {7});
    extender.SetRegister(0x01, 0x09, {10, 11, 12, 13});
    extender.SetRegister(0x01, 0x0B, {0x05});
    extender.SetRegister(0x01, 0x11, {0x0C});
    extender.SetRegister(0x01, 0x0C, {0, 0, 0, 30});
    extender.SetRegister(0x01, 0x12, {0, 0, 0, 33});
    extender.SetRegister(0x01, 0x0E, {10});
    extender.SetRegister(0x01, 0x14, {10});
    extender.SetRegister(0x02, 0x02, {2});
    extender.SetRegister(0x02, 0x04, {2});
}

inline void Refuse(SimExtender& extender, uint8_t group, uint8_t reg)
{
    extender.WithModel([&](SimDeviceModel& model) { model.RemoveRegister(group, reg); });
}
