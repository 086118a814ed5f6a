#include "app/PerformanceTool.h"

#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include "app/AboutDlg.h"
#include "app/SessionEnd.h"
#include "app/WindowCaption.h"
#include "burnin/BurnInPage.h"
#include "failsafe/FailSafePage.h"
#include "firmware/FirmwarePage.h"
#include "status/StatusPage.h"
#include "ui/DialogUnits.h"
#include "ui/ToolPage.h"
#include "ui/WindowFit.h"

namespace {

// Read in this order when the window opens.
constexpr std::array<regs::Register, 11> kSnapshotRegisters{
    regs::kLocalMode,         regs::kRemoteMode,           regs::kPairLevels,
    regs::kLocalSignals,      regs::kRemoteSignals,        regs::kLocalCableLength,
    regs::kRemoteCableLength, regs::kStartupBitErrorLevel, regs::kBitErrorLevel,
    regs::kLocalSource,       regs::kRemoteSource,
};

// The pause between the main window's last command and the snapshot's first read. Units in the
// field have always been given it; nothing shows that they can do without.
constexpr unsigned long kPauseBeforeSnapshotMs = 10;

// Where the pages lie over the tab control, in pixels of its client area: in from its left edge,
// down past the row of tabs, and out past its right and bottom edges, the place the pages' own
// layouts were drawn for.
constexpr int kPageLeft = 13;
constexpr int kPageTop = 60;
constexpr int kPageOverhang = 8;

constexpr std::array<const char*, PerformanceTool::TabCount> kTabCaptions{
    "Firmware", "Status", "Burn-In Test", "Fail-Safe Setting"};

} // namespace

PerformanceTool::PerformanceTool(IChannelOwner* mainDlg, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_pMainDlg(mainDlg)
{
    setWindowTitle(kWindowCaption);
    setWindowIcon(QIcon(":/pictures/icon.png"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_menuBar = new QMenuBar(this);
    layout->setMenuBar(m_menuBar);
    // The pages keep their layout in dialog units; where the screen is too small for them they
    // scroll under the menu.
    auto* client = new QWidget;
    client->setFixedSize(ui::DialogSize(480, 438));
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus); // the focus starts on the tabs, as it always has
    m_scroll->setWidget(client);
    layout->addWidget(m_scroll);

    CreateMenu(m_menuBar);
    OnInitDialog(client);
    FitTo(ui::AvailableRoom(this));
    if (m_pMainDlg)
        m_pMainDlg->Follow(*this, true);
}

void PerformanceTool::FitTo(QSize room)
{
    const QSize menu(0, m_menuBar->sizeHint().height());
    const QSize pages = m_scroll->widget()->size();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
    const QSize size = ui::FittedSize(pages, room - menu, bar) + menu;
    // Where the pages fit, the window keeps the one size they were laid out for; elsewhere it may
    // be resized, up to that size with a scroll bar across each side.
    const bool fits = size == pages + menu;
    setMinimumSize(fits ? size : minimumSizeHint());
    setMaximumSize(fits ? size : pages + menu + QSize(bar, bar));
    resize(size);
}

PerformanceTool::~PerformanceTool()
{
    if (m_pMainDlg)
        m_pMainDlg->Follow(*this, false);
    ClosePages();
}

void PerformanceTool::UnitShown(const std::string& name, bool present)
{
    const QString named = name.empty() ? QString() : " (" + QString::fromStdString(name) + ")";
    setWindowTitle(kWindowCaption + named + (present ? "" : " (unplugged)"));
}

void PerformanceTool::CreateMenu(QMenuBar* menuBar)
{
    QMenu* file = menuBar->addMenu("&File");
    connect(file->addAction("&Exit"), &QAction::triggered, this, &QDialog::reject);
    QMenu* help = menuBar->addMenu("&Help");
    connect(help->addAction("&About"), &QAction::triggered, this, [this] { ShowVersionBox(this); });
}

void PerformanceTool::OnInitDialog(QWidget* client)
{
    m_snapshot.Clear();
    QThread::msleep(kPauseBeforeSnapshotMs);
    TakeSnapshot();

    m_tabs = ui::PlaceControl<QTabWidget>(client, ToolWindowControl::Tabs, {7, 7, 466, 416});
    for (const char* caption : kTabCaptions)
        m_tabs->addTab(new QWidget, caption);

    CreatePages(client);

    const QRect pageRect =
        m_tabs->rect().adjusted(kPageLeft, kPageTop, kPageOverhang, kPageOverhang);
    for (ToolPage* page : m_pages) {
        page->setGeometry(pageRect);
        page->raise();
    }
    for (int tab = 1; tab < TabCount; ++tab)
        m_pages[tab]->hide();
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    m_currentTab = 0;
    m_pages[0]->show();
    connect(m_tabs, &QTabWidget::currentChanged, this, &PerformanceTool::OnSelChange);
}

void PerformanceTool::TakeSnapshot()
{
    // A failed read leaves its flag clear and does not stop the sequence.
    for (const regs::Register reg : kSnapshotRegisters) {
        RegisterData data{};
        if (Read(reg, data.data()))
            m_snapshot.Store(reg.group, reg.number, std::span(data).first(reg.dataBytes));
        else
            m_snapshot.MarkInvalid(reg.group, reg.number);
    }
}

void PerformanceTool::CreatePages(QWidget* client)
{
    m_pages[FirmwareTab] = new DlgProgrammer(*this, m_pMainDlg, client);
    m_pages[StatusTab] = new Tool1Main(*this, client);
    m_pages[BurnInTab] = new CBIT(*this, client);
    m_pages[FailSafeTab] = new ResetTool(m_jobs, m_pMainDlg, client);
}

bool PerformanceTool::ReadRegister(uint8_t target, uint8_t reg, uint8_t* out)
{
    if (!m_pMainDlg)
        return false;
    return ReadStatusRegister(m_pMainDlg->Channel(), target, reg,
                              std::span(out, kRegisterDataCapacity));
}

void PerformanceTool::OnSelChange(int index)
{
    if (index < 0 || index >= TabCount || !m_pages[index])
        return;
    m_pages[m_currentTab]->hide();
    m_currentTab = index;
    m_pages[m_currentTab]->show();
}

void PerformanceTool::ClosePages()
{
    for (ToolPage* page : m_pages) {
        if (page)
            page->OnClose();
    }
    for (ToolPage*& page : m_pages) {
        delete page;
        page = nullptr;
    }
}

void PerformanceTool::done(int result)
{
    for (ToolPage* page : m_pages) {
        if (page && !page->MayClose())
            return;
    }
    ClosePages();
    QDialog::done(result);
}

bool PerformanceTool::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    return OnSessionEnd(message, result) || QDialog::nativeEvent(eventType, message, result);
}

bool PerformanceTool::OnSessionEnd(void* message, qintptr* result)
{
    const auto hold = [this] {
        for (const ToolPage* page : m_pages) {
            if (page && !page->SessionEndHold().isEmpty())
                return page->SessionEndHold();
        }
        return QString();
    };
    // Stopped, not deleted: a question of a page may be open, and the system ends the program.
    const auto stop = [this] {
        for (ToolPage* page : m_pages) {
            if (page)
                page->OnClose();
        }
    };
    return HearSessionEnd(*this, message, result, hold, stop);
}

void PerformanceTool::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    else
        QDialog::keyPressEvent(event);
}
