#include "app/TorvanReaderDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "app/AboutDlg.h"
#include "app/PerformanceTool.h"
#include "device/StatusRegister.h"
#include "ui/DialogUnits.h"

namespace {

constexpr const char* kConnected = " States: Connected";
constexpr const char* kUnconnected = " States: Unconnected";
constexpr const char* kConnectInstruction =
    " Please connect the device to PC via USB to mini-USB cable.";

} // namespace

CTorvanReaderDlg::CTorvanReaderDlg(IHidBackend& backend, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_channel(backend)
{
    setWindowTitle("Tessalink");
    setWindowIcon(QIcon(":/pictures/icon.png"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);
    auto* client = new QWidget(this);
    client->setFixedSize(ui::DialogSize(297, 272));
    layout->addWidget(client);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    CreateControls(client);
    CreateMenu(menuBar);
    OnInitDialog();
}

CTorvanReaderDlg::~CTorvanReaderDlg() = default;

void CTorvanReaderDlg::CreateControls(QWidget* client)
{
    auto* ok = ui::PlaceControl<QPushButton>(client, 1, {231, 202, 50, 14}, "OK");
    ok->hide();
    connect(ok, &QPushButton::clicked, this, &CTorvanReaderDlg::OnOK);
    auto* cancel = ui::PlaceControl<QPushButton>(client, 2, {239, 224, 50, 14}, "Cancel");
    cancel->hide();
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* picture = ui::PlaceControl<QLabel>(client, 1000, {17, 10, 266, 116});
    picture->setPixmap(QPixmap(":/pictures/banner.png"));
    picture->setAlignment(Qt::AlignCenter);

    m_startToAnalyze =
        ui::PlaceControl<QPushButton>(client, 1001, {104, 159, 73, 14}, "Start to Analyze");
    connect(m_startToAnalyze, &QPushButton::clicked, this, &CTorvanReaderDlg::OnStartToAnalyze);
    // Part of the window's template, hidden, and never shown.
    m_programmerTool =
        ui::PlaceControl<QPushButton>(client, 1002, {127, 189, 73, 14}, "Programmer Tool");
    m_programmerTool->hide();
    m_resetTool = ui::PlaceControl<QPushButton>(client, 1118, {127, 210, 73, 14}, "Reset Tool");
    m_resetTool->hide();

    m_state = ui::PlaceControl<QLabel>(client, 1088, {0, 243, 73, 15}, kUnconnected);
    m_instruction = ui::PlaceControl<QLabel>(client, 1089, {73, 243, 224, 15});
    for (QLabel* line : {m_state, m_instruction})
        line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CTorvanReaderDlg::CreateMenu(QMenuBar* menuBar)
{
    QMenu* file = menuBar->addMenu("&File");
    connect(file->addAction("&Reconnect"), &QAction::triggered, this,
            &CTorvanReaderDlg::OnReconnect);
    connect(file->addAction("&Exit"), &QAction::triggered, this, &QDialog::reject);
    QMenu* help = menuBar->addMenu("&Help");
    connect(help->addAction("&About"), &QAction::triggered, this, [this] { ShowVersionBox(this); });
    // Linux desktops offer no system menu entries, so the About box sits beside the version box.
    help->addSeparator();
    connect(help->addAction("&About TorvanReader..."), &QAction::triggered, this,
            &CTorvanReaderDlg::OnAboutBox);
}

void CTorvanReaderDlg::OnInitDialog()
{
    // Opening the window finds the extender exactly as Reconnect does.
    OnReconnect();
}

void CTorvanReaderDlg::ShowNotOpened(const CHidIO::Opening& opening)
{
    // A unit that another program holds is there: the user is told whom to close, not to plug it.
    m_instruction->setText(opening.result == CHidIO::Opening::Result::InUse
                               ? QString::fromStdString(" " + opening.Why() + ".")
                               : kConnectInstruction);
    m_state->setText(kUnconnected);
    EnableButtons(false);
}

void CTorvanReaderDlg::EnableButtons(bool enable)
{
    for (QPushButton* button : {m_startToAnalyze, m_programmerTool, m_resetTool})
        button->setEnabled(enable);
}

void CTorvanReaderDlg::OnReconnect()
{
    if (const CHidIO::Opening opening = m_channel.Transport().Open(); !opening) {
        ShowNotOpened(opening);
        return;
    }
    m_instruction->clear();
    const bool connected = AnswersConnectCheck(m_channel);
    m_state->setText(connected ? kConnected : kUnconnected);
    EnableButtons(connected);
}

void CTorvanReaderDlg::OnOK()
{
    m_startToAnalyze->setEnabled(true);
    m_programmerTool->setEnabled(true);
}

void CTorvanReaderDlg::OnStartToAnalyze()
{
    PerformanceTool tool(this);
    tool.exec();
}

void CTorvanReaderDlg::OnAboutBox()
{
    CAboutDlg about(this);
    about.exec();
}

void CTorvanReaderDlg::keyPressEvent(QKeyEvent* event)
{
    // A focused push button takes Enter itself; any other Enter is the hidden OK button's.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}
