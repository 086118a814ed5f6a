#include "failsafe/FailSafePage.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "device/HidCmd.h"
#include "failsafe/FailSafeSetting.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/MessageBox.h"

namespace {

constexpr const char* kUpdateRunning =
    "A firmware update is running. Switch the fail-safe on or off when it has ended.";

void AddStatic(QWidget* parent, const char* text, QRect place)
{
    // The labels' places are measured for the 8-point dialog font; a little wider than that, so
    // that no desktop font clips the text.
    auto* label = new QLabel(text, parent);
    label->setGeometry(
        ui::DialogRect(place.x(), place.y(), place.width() + 16, place.height() + 2));
}

template <size_t N>
QComboBox* AddCombo(QWidget* parent, int id, QRect place, const std::array<const char*, N>& items)
{
    auto* combo = ui::PlaceControl<QComboBox>(parent, id, place);
    for (const char* item : items)
        combo->addItem(item);
    return combo;
}

} // namespace

ResetTool::ResetTool(const WireJobs& jobs, IChannelOwner* mainDlg, QWidget* parent)
    : ToolPage(parent), m_jobs(jobs), m_pMainDlg(mainDlg)
{
    CreateControls();
    OnInitDialog();
}

void ResetTool::CreateControls()
{
    using enum FailSafeControl::Id;
    setFixedSize(ui::DialogSize(468, 371));
    ui::PlaceGroupFrame(this, -1, {64, 39, 338, 136}, "Setting");
    AddStatic(this, "Wire Quality:", {85, 58, 43, 8});
    AddStatic(this, "Video Bit Error:", {85, 83, 49, 8});
    AddStatic(this, "Time Interval:", {86, 107, 46, 8});
    AddStatic(this, "(seconds)", {213, 108, 32, 8});

    m_wireQuality = AddCombo(this, WireQuality, {151, 56, 56, 12}, failsafe::kWireQualities);
    m_videoBitError = AddCombo(this, VideoBitError, {151, 81, 56, 12}, failsafe::kVideoBitErrors);
    m_timeInterval = AddCombo(this, TimeInterval, {151, 106, 56, 12}, failsafe::kTimeIntervals);

    auto* defaults = ui::PlaceControl<QPushButton>(this, Default, {155, 138, 50, 14}, "Default");
    connect(defaults, &QPushButton::clicked, this, &ResetTool::OnBnClickedDefault);
    m_status = ui::PlaceControl<QLabel>(this, State, {308, 66, 70, 8}, failsafe::kDisabledText);
    m_on = ui::PlaceControl<QPushButton>(this, On, {283, 85, 50, 14}, "On");
    connect(m_on, &QPushButton::clicked, this, &ResetTool::OnBnClickedOn);
    m_off = ui::PlaceControl<QPushButton>(this, Off, {337, 85, 50, 14}, "Off");
    connect(m_off, &QPushButton::clicked, this, &ResetTool::OnBnClickedOff);
}

void ResetTool::OnInitDialog()
{
    SelectDefaults();
    ShowEnabled(false);
}

void ResetTool::SelectDefaults()
{
    m_wireQuality->setCurrentIndex(failsafe::kDefaultWireQuality);
    m_videoBitError->setCurrentIndex(failsafe::kDefaultVideoBitError);
    m_timeInterval->setCurrentIndex(failsafe::kDefaultTimeInterval);
}

void ResetTool::ShowEnabled(bool enabled)
{
    m_status->setText(enabled ? failsafe::kEnabledText : failsafe::kDisabledText);
    m_on->setEnabled(!enabled);
    m_off->setEnabled(enabled);
    for (QComboBox* combo : {m_wireQuality, m_videoBitError, m_timeInterval})
        combo->setEnabled(!enabled);
}

CHidCmd* ResetTool::Channel() const
{
    return m_pMainDlg ? &m_pMainDlg->Channel() : nullptr;
}

void ResetTool::OnBnClickedDefault()
{
    // Stays available while the fail-safe is on: it changes only the (disabled) selections.
    SelectDefaults();
}

bool ResetTool::RefuseWhileUpdating()
{
    // The setting would go out between two blocks of the image.
    const bool updating = m_jobs.Running(WireJob::FirmwareUpdate);
    if (updating)
        ui::ShowMessage(this, kUpdateRunning);
    return updating;
}

void ResetTool::OnBnClickedOn()
{
    if (RefuseWhileUpdating())
        return;
    const uint8_t setting =
        failsafe::SettingByte(true, m_wireQuality->currentIndex(), m_videoBitError->currentIndex(),
                              m_timeInterval->currentIndex());
    if (!Channel() || !failsafe::SwitchOn(*Channel(), setting)) {
        ui::ShowMessage(this, failsafe::kFailedText);
        return;
    }
    ShowEnabled(true);
}

void ResetTool::OnBnClickedOff()
{
    if (RefuseWhileUpdating())
        return;
    // The selections are kept as the user left them.
    if (!Channel() || !failsafe::SwitchOff(*Channel())) {
        ui::ShowMessage(this, failsafe::kFailedText);
        return;
    }
    ShowEnabled(false);
}
