#include "firmware/FirmwarePage.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "device/HidCmd.h"
#include "device/Waitable.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/ImageFile.h"
#include "firmware/ImageGuard.h"
#include "firmware/IncompleteMarks.h"
#include "firmware/ProgressScale.h"
#include "ui/MessageBox.h"

namespace {

using State = firmware::Update::State;
constexpr std::chrono::milliseconds kProgressPeriod{5};
// Linux names are case-sensitive, so each filter takes both cases.
const char* const kFileFilter = "HEX(*.HEX *.hex);; BIN(*.BIN *.bin);;All Files(*)";
const char* const kBusyText = "Busy: wait until the programming has ended.";
const char* const kIncomplete =
    "The chip now holds an incomplete image. Program it again before \"Apply Firmware\".";

QString ChooseFileWithDialog(QWidget* parent, const QString& startDir)
{
    QString hexFilter = QString(kFileFilter).section(";;", 0, 0);
    return QFileDialog::getOpenFileName(parent, QString(), startDir, kFileFilter, &hexFilter);
}

size_t ChipIndex(frames::Chip chip)
{
    return chip == frames::Chip::Local ? 0 : 1;
}

std::chrono::steady_clock::duration SteadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

} // namespace

DlgProgrammer::DlgProgrammer(IToolHost& host, IChannelOwner* mainDlg, QWidget* parent)
    : ToolPage(parent), m_host(host), m_pMainDlg(mainDlg), m_controls(CreateFirmwareControls(this)),
      m_chooseFile(ChooseFileWithDialog), m_tickPeriod(firmware::kBlockPeriod),
      m_sleep(PreciseSleep)
{
    m_programTimer = new QTimer(this);
    m_programTimer->setTimerType(Qt::PreciseTimer);
    m_programTimer->setSingleShot(true);
    connect(m_programTimer, &QTimer::timeout, this, &DlgProgrammer::OnTimer);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(kProgressPeriod);
    connect(m_progressTimer, &QTimer::timeout, this, &DlgProgrammer::OnProgressTick);

    connect(m_controls.browse, &QPushButton::clicked, this, &DlgProgrammer::OnBrowse);
    connect(m_controls.program, &QPushButton::clicked, this, &DlgProgrammer::OnProgram);
    connect(m_controls.apply, &QPushButton::clicked, this, &DlgProgrammer::OnApplyFirmware);
    OnInitDialog();
}

DlgProgrammer::~DlgProgrammer() = default;

void DlgProgrammer::SetFileChooser(FileChooser chooser)
{
    m_chooseFile = chooser ? std::move(chooser) : ChooseFileWithDialog;
}

void DlgProgrammer::SetTickPeriod(std::chrono::milliseconds period)
{
    m_tickPeriod = period;
}

void DlgProgrammer::OnInitDialog()
{
    m_controls.local->setChecked(true);
    m_controls.path->setText(QDir::homePath());
    ShowIdentification(frames::Chip::Local,
                       {m_controls.localType, m_controls.localRevision, m_controls.localRole});
    ShowIdentification(frames::Chip::Remote,
                       {m_controls.remoteType, m_controls.remoteRevision, m_controls.remoteRole});
}

void DlgProgrammer::ShowIdentification(frames::Chip chip, std::array<QLineEdit*, 3> fields)
{
    const std::optional<firmware::DeviceInfoBlock> block =
        firmware::ReadIdentification(m_host, chip);
    m_chipInfo[ChipIndex(chip)] = block;
    if (!block)
        return;
    fields[0]->setText(QString::fromStdString(block->ChipTypeName()));
    fields[1]->setText(QString::fromStdString(block->RevisionText()));
    fields[2]->setText(QString::fromStdString(block->RoleText()));
}

void DlgProgrammer::OnBrowse()
{
    // A new image would change the bytes that are being sent.
    if (RefuseWhileBusy())
        return;
    const QString startDir =
        m_imagePath.isEmpty() ? QDir::homePath() : QFileInfo(m_imagePath).absolutePath();
    const QString path = m_chooseFile(this, startDir);
    if (path.isEmpty())
        return;
    m_imagePath = path;
    m_controls.path->setText(path);
    LoadFile(path);
}

void DlgProgrammer::LoadFile(const QString& path)
{
    // Whatever happens below, the image held before is gone, and so is what it showed.
    m_image.reset();
    m_imageInfo.reset();
    ShowImageInfo(firmware::kNotKnown, firmware::kNotKnown);
    firmware::LoadedImage loaded = firmware::ReadImageFile(QFileInfo(path).filesystemFilePath());
    if (loaded.result != firmware::LoadResult::Loaded) {
        ShowStatus(QString::fromStdString(firmware::LoadFailureText(loaded)));
        return;
    }
    m_image = std::make_shared<const firmware::Image>(std::move(loaded.image));
    ShowStatus(QString("%1 byte.").arg(m_image->size()));
    m_imageInfo = firmware::FindImageInfo(*m_image);
    ShowImageInfo(QString::fromStdString(firmware::ImageTypeText(m_imageInfo)),
                  QString::fromStdString(firmware::ImageRevisionText(m_imageInfo)));
}

void DlgProgrammer::ShowImageInfo(const QString& type, const QString& revision)
{
    m_controls.imageType->setText(type);
    m_controls.imageRevision->setText(revision);
}

void DlgProgrammer::OnProgram()
{
    if (!m_image) {
        ui::ShowMessage(this, "Please load file first!");
        return;
    }
    if (IsBusy())
        return;
    // Erasing a chip that will then not be written would leave it without firmware.
    if (m_image->empty()) {
        ui::ShowMessage(this, firmware::kEmptyImageRefusal);
        return;
    }
    if (OtherJobRunning())
        return;
    const frames::Chip target = Target();
    const std::optional<firmware::Mismatch> mismatch =
        firmware::ImageMismatch(m_imageInfo, m_chipInfo[ChipIndex(target)]);
    if (mismatch
        && !ui::Ask(this, firmware::kImageGuardTitle, QString::fromStdString(mismatch->Question())))
        return;
    CHidCmd* channel = Channel();
    if (!channel) {
        ui::ShowMessage(this, "Erase Fail!");
        return;
    }
    m_update = std::make_unique<firmware::Update>(
        m_image, target, firmware::Provenance{m_imagePath, m_chipInfo[ChipIndex(target)]});
    if (!m_update->Mark(*channel)
        && !ui::Ask(this, firmware::kUnmarkedTitle,
                    firmware::UnmarkedQuestion(m_update->MarkFailure()))) {
        m_update.reset();
        return;
    }
    m_host.Jobs().Set(WireJob::FirmwareUpdate, true);
    while (m_update->Starting()) // the erase and the opening of the write: the blocks go by timer
        m_update->Step(*channel);
    if (m_update->Now() != State::Running) {
        EndProgramming();
        return;
    }
    const firmware::ProgressScale scale(m_update->Blocks());
    m_controls.progress->setRange(0, scale.Maximum());
    m_controls.progress->setValue(0);
    m_due = SteadyNow() + m_tickPeriod;
    m_programTimer->start(m_tickPeriod);
    m_progressTimer->start();
}

bool DlgProgrammer::OtherJobRunning()
{
    const WireJobs& jobs = m_host.Jobs();
    const char* refusal = jobs.Running(WireJob::StatusTest) ? "Stop the Status test first."
                          : jobs.Running(WireJob::BurnIn)   ? "Stop the burn-in test first."
                                                            : nullptr;
    if (refusal)
        ui::ShowMessage(this, refusal);
    return refusal != nullptr;
}

void DlgProgrammer::OnTimer()
{
    CHidCmd* channel = Channel();
    if (!m_update || !channel) {
        EndProgramming();
        ui::ShowMessage(this, "Fail!");
        return;
    }
    // The timer counts whole milliseconds, rounded down: the rest of the wait, less than one, is
    // slept here, so that no block goes early and none waits a millisecond too long. A sleep may
    // end early, so the clock has the last word.
    for (auto early = m_due - SteadyNow(); early.count() > 0; early = m_due - SteadyNow())
        m_sleep(std::chrono::ceil<std::chrono::microseconds>(early));
    const auto sent = SteadyNow();
    m_due = firmware::NextBlockDue(m_due, sent, decltype(sent)(m_tickPeriod));
    using std::chrono::milliseconds;
    m_programTimer->start(std::max(std::chrono::floor<milliseconds>(m_due - SteadyNow()), {}));
    if (m_update->Step(*channel) == State::Running)
        ShowStatus(QString("Count: %1.").arg(m_update->Count()));
    else
        EndProgramming();
}

void DlgProgrammer::OnProgressTick()
{
    if (!m_update)
        return;
    const firmware::ProgressScale scale(m_update->Blocks());
    m_controls.progress->setValue(scale.Position(m_update->Count()));
}

void DlgProgrammer::EndProgramming()
{
    m_programTimer->stop();
    m_progressTimer->stop();
    m_host.Jobs().Set(WireJob::FirmwareUpdate, false);
    const std::unique_ptr<firmware::Update> update = std::move(m_update);
    ui::WithdrawQuestions(this); // "Stop it?" has no update left to stop
    if (!update || !update->Ended())
        return; // stopped by closing the window: there is no one to tell, the chip is marked
    const State end = update->Now();
    if (end == State::Completed)
        m_controls.progress->setValue(m_controls.progress->maximum());
    if (end == State::BeginRefused)
        ui::ShowMessage(this, "Fail");
    // A refused block is told in the status line; every other end in a box.
    if (end == State::BlockRefused)
        ShowStatus(firmware::EndText(end));
    else
        ui::ShowMessage(this, firmware::EndText(end));
    if (end != State::Completed)
        ui::ShowMessage(this, kIncomplete);
}

void DlgProgrammer::OnApplyFirmware()
{
    // A restart in the middle of programming would leave a half-written chip running.
    if (RefuseWhileBusy())
        return;
    const frames::Chip target = Target();
    CHidCmd* channel = Channel();
    if (const auto question =
            channel ? firmware::RestartQuestion(firmware::IncompleteMarks(*channel), target)
                    : std::nullopt;
        question && !ui::Ask(this, firmware::kRestartMarkedTitle, *question))
        return;
    if (!channel || !firmware::ResetChip(*channel, target)) {
        ui::ShowMessage(this, firmware::kResetFailed);
        return;
    }
    ui::ShowMessage(this, firmware::ResetDoneText(target));
}

bool DlgProgrammer::MayClose()
{
    // An update that ends while the question is open takes the question with it: the window
    // then closes as after any ended update.
    return !IsBusy() || ui::Ask(this, firmware::kStopTitle, firmware::kStopQuestion) || !IsBusy();
}

void DlgProgrammer::OnClose()
{
    EndProgramming();
}

QString DlgProgrammer::SessionEndHold() const
{
    return IsBusy() ? firmware::kSessionEndHold : QString();
}

bool DlgProgrammer::RefuseWhileBusy()
{
    if (IsBusy())
        ShowStatus(kBusyText);
    return IsBusy();
}

frames::Chip DlgProgrammer::Target() const
{
    return m_controls.local->isChecked() ? frames::Chip::Local : frames::Chip::Remote;
}

CHidCmd* DlgProgrammer::Channel() const
{
    return m_pMainDlg ? &m_pMainDlg->Channel() : nullptr;
}

void DlgProgrammer::ShowStatus(const QString& text)
{
    m_controls.status->setText(text);
}
