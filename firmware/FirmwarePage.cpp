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
#include "device/StatusRegister.h"
#include "firmware/BlockTransfer.h"
#include "firmware/DeviceInfo.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/ImageFile.h"
#include "firmware/ProgressScale.h"
#include "ui/MessageBox.h"

namespace {

constexpr uint8_t kLocalIdentification = 0x01;
constexpr uint8_t kRemoteIdentification = 0x05;
constexpr std::chrono::milliseconds kProgramPeriod{5};
constexpr std::chrono::milliseconds kProgressPeriod{5};
// Linux names are case-sensitive, so each filter takes both cases.
const char* const kFileFilter = "HEX(*.HEX *.hex);; BIN(*.BIN *.bin);;All Files(*)";
const char* const kBusyText = "Busy: wait until the programming has ended.";

QString ChooseFileWithDialog(QWidget* parent, const QString& startDir)
{
    QString hexFilter = QString(kFileFilter).section(";;", 0, 0);
    return QFileDialog::getOpenFileName(parent, QString(), startDir, kFileFilter, &hexFilter);
}

QString LoadFailureText(const firmware::LoadedImage& loaded)
{
    const auto size = static_cast<qulonglong>(loaded.fileSize);
    switch (loaded.result) {
    case firmware::LoadResult::CannotOpen: return "Cannot open the file!";
    case firmware::LoadResult::TooSmall:
        return QString("File size %1 bytes: too small for a firmware image!").arg(size);
    case firmware::LoadResult::TooLarge:
        return QString("File size %1 bytes: too large for a firmware image!").arg(size);
    case firmware::LoadResult::NotConverted:
        return QString("Fail to convert the input from hex to bin! (line %1: %2)")
            .arg(loaded.hexError.line)
            .arg(QString::fromStdString(loaded.hexError.reason));
    case firmware::LoadResult::Loaded: break;
    }
    return {};
}

} // namespace

DlgProgrammer::DlgProgrammer(IRegisterHost& host, QWidget* parent)
    : ToolPage(parent), m_host(host), m_controls(CreateFirmwareControls(this)),
      m_chooseFile(ChooseFileWithDialog)
{
    m_programTimer = new QTimer(this);
    m_programTimer->setTimerType(Qt::PreciseTimer);
    m_programTimer->setInterval(kProgramPeriod);
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
    m_programTimer->setInterval(period);
}

void DlgProgrammer::OnInitDialog()
{
    m_controls.local->setChecked(true);
    m_controls.path->setText(QDir::homePath());
    // m_pMainDlg is not set yet: the identification goes through the tool window's register read.
    ShowIdentification(kLocalIdentification, m_controls.localType, m_controls.localRevision,
                       m_controls.localRole);
    ShowIdentification(kRemoteIdentification, m_controls.remoteType, m_controls.remoteRevision,
                       m_controls.remoteRole);
}

void DlgProgrammer::ShowIdentification(uint8_t reg, QLineEdit* type, QLineEdit* revision,
                                       QLineEdit* role)
{
    RegisterData data{};
    if (!m_host.ReadRegister(frames::kStatusGroup1, reg, data.data()))
        return;
    firmware::DeviceInfoBlock block;
    std::copy_n(data.begin(), block.bytes.size(), block.bytes.begin());
    type->setText(QString::fromStdString(block.ChipTypeName()));
    revision->setText(QString::fromStdString(block.RevisionText()));
    role->setText(QString::fromStdString(block.RoleText()));
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
    ShowImageInfo("N/A", "N/A");
    firmware::LoadedImage loaded = firmware::ReadImageFile(QFile::encodeName(path).toStdString());
    if (loaded.result != firmware::LoadResult::Loaded) {
        ShowStatus(LoadFailureText(loaded));
        return;
    }
    m_image = std::make_shared<const firmware::Image>(std::move(loaded.image));
    ShowStatus(QString("%1 byte.").arg(m_image->size()));
    if (!m_image->empty())
        FindImageInfo();
}

void DlgProgrammer::FindImageInfo()
{
    const std::optional<firmware::DeviceInfoBlock> block = firmware::FindImageInfo(*m_image);
    if (!block)
        return;
    ShowImageInfo(QString::fromStdString(block->ChipTypeName() + block->RoleText()),
                  QString::fromStdString(block->RevisionText()));
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
    if (m_busy)
        return;
    // Erasing a chip that will then not be written would leave it without firmware.
    if (m_image->empty()) {
        ui::ShowMessage(this, "The image holds no data: nothing to program!");
        return;
    }
    m_busy = true;
    const frames::Chip target = Target();
    CHidCmd* channel = Channel();
    if (!channel || !firmware::EraseFirmware(*channel, target)) {
        m_busy = false;
        ui::ShowMessage(this, "Erase Fail!");
        return;
    }
    if (!firmware::BeginWrite(*channel, target)) {
        m_busy = false;
        ui::ShowMessage(this, "Fail");
        ui::ShowMessage(this, "Write Fail!");
        return;
    }
    m_transfer = std::make_unique<firmware::BlockTransfer>(m_image);
    const firmware::ProgressScale scale(m_transfer->Blocks());
    m_controls.progress->setRange(0, scale.Maximum());
    m_controls.progress->setValue(0);
    m_programTimer->start();
    m_progressTimer->start();
}

void DlgProgrammer::OnTimer()
{
    CHidCmd* channel = Channel();
    if (!m_transfer || !channel) {
        EndProgramming();
        ui::ShowMessage(this, "Fail!");
        return;
    }
    using Step = firmware::BlockTransfer::Step;
    switch (m_transfer->SendNext(*channel)) {
    case Step::Sent: ShowStatus(QString("Count: %1.").arg(m_transfer->Count())); return;
    case Step::BlockRefused:
        EndProgramming();
        ShowStatus("No 0xaa!");
        return;
    case Step::Completed:
        m_controls.progress->setValue(m_controls.progress->maximum());
        EndProgramming();
        ui::ShowMessage(this, "Firmware update Completed!");
        return;
    case Step::LastRefused:
    case Step::NothingLeft:
        EndProgramming();
        ui::ShowMessage(this, "Fail!");
        return;
    }
}

void DlgProgrammer::OnProgressTick()
{
    if (!m_transfer)
        return;
    const firmware::ProgressScale scale(m_transfer->Blocks());
    m_controls.progress->setValue(scale.Position(m_transfer->Count()));
}

void DlgProgrammer::EndProgramming()
{
    m_programTimer->stop();
    m_progressTimer->stop();
    m_transfer.reset();
    m_busy = false;
}

void DlgProgrammer::OnApplyFirmware()
{
    // A restart in the middle of programming would leave a half-written chip running.
    if (RefuseWhileBusy())
        return;
    const frames::Chip target = Target();
    CHidCmd* channel = Channel();
    if (!channel || !firmware::ResetChip(*channel, target)) {
        ui::ShowMessage(this, "Reset Fail.");
        return;
    }
    ui::ShowMessage(this,
                    target == frames::Chip::Local ? " Local Reset done." : " Remote Reset done.");
}

void DlgProgrammer::OnClose()
{
    EndProgramming();
}

bool DlgProgrammer::RefuseWhileBusy()
{
    if (m_busy)
        ShowStatus(kBusyText);
    return m_busy;
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
