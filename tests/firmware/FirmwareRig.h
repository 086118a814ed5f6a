#pragma once
#include <QByteArray>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "HexText.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "device/RecordingBackend.h"
#include "device/sim/SimExtender.h"
#include "firmware/FirmwarePage.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

// Sits between the recorder and the simulated extender and makes the extender refuse the commands
// that match, so that one step of a sequence can fail while the others pass.
class RefuseMatching : public IHidBackend {
public:
    using Match = std::function<bool(std::span<const uint8_t> payload)>;

    explicit RefuseMatching(SimExtender& extender) : m_extender(extender) {}
    void Refuse(Match match) { m_match = std::move(match); }

    std::vector<std::string> EnumeratePaths() override { return m_extender.EnumeratePaths(); }
    bool ReadAttributes(const std::string& path, HidAttributes& out) override
    {
        return m_extender.ReadAttributes(path, out);
    }
    HidHandle Open(const std::string& path, HidAccess access) override { return m_extender.Open(path, access); }
    int Write(HidHandle handle, const uint8_t* report, size_t length, int timeoutMs) override
    {
        const bool refuse = m_match && length >= 3 && m_match({report + 3, std::min<size_t>(report[2], length - 3)});
        if (refuse)
            m_extender.SetFaults({.refuse = true});
        const int written = m_extender.Write(handle, report, length, timeoutMs);
        if (refuse)
            m_extender.SetFaults({});
        return written;
    }
    int Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override
    {
        return m_extender.Read(handle, report, capacity, timeoutMs);
    }
    void Cancel(HidHandle handle) override { m_extender.Cancel(handle); }
    void Close(HidHandle handle) override { m_extender.Close(handle); }

private:
    SimExtender& m_extender;
    Match m_match;
};

// The main window and the tool window over the simulated extender, with the message boxes and the
// flash pauses caught, and files for the page to load.
struct FirmwareRig {
    using Payloads = std::vector<std::vector<uint8_t>>;

    SimExtender extender;
    RefuseMatching refuser{extender};
    RecordingBackend wire{refuser};
    QStringList boxes;
    std::vector<uint32_t> pauses;
    QStringList startDirs;
    QTemporaryDir dir;
    std::unique_ptr<CTorvanReaderDlg> mainDlg;
    std::unique_ptr<PerformanceTool> tool;
    DlgProgrammer* page = nullptr;

    FirmwareRig()
    {
        ui::SetMessagePresenter([this](QWidget*, const QString& text) { boxes << text; });
        mainDlg = std::make_unique<CTorvanReaderDlg>(wire);
        mainDlg->Channel().SetPauseFunction([this](uint32_t ms) { pauses.push_back(ms); });
    }
    ~FirmwareRig()
    {
        tool.reset();
        ui::SetMessagePresenter({});
    }

    // Opens the tool window; what the extender should report at opening is set before.
    void Open()
    {
        tool = std::make_unique<PerformanceTool>(mainDlg.get());
        page = static_cast<DlgProgrammer*>(tool->Page(PerformanceTool::FirmwareTab));
        wire.Clear();
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }

    // What the user picks in the file dialog, then "...".
    void Load(const QString& path)
    {
        page->SetFileChooser([this, path](QWidget*, const QString& startDir) {
            startDirs << startDir;
            return path;
        });
        Click(1077);
    }

    void Click(int id) { ui::FindControl<QAbstractButton>(page, id)->click(); }
    QString Text(int id) const
    {
        if (auto* edit = ui::FindControl<QLineEdit>(page, id))
            return edit->text();
        return ui::FindControl<QLabel>(page, id)->text();
    }
    QString Status() const { return Text(1091); }
    Payloads Commands() const { return wire.CommandPayloads(); }
};

inline std::span<const uint8_t> AsBytes(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

// A HEX file of image that is long enough to be loaded whatever the image's size: extended
// address records of base 0 before the data pad it.
inline QByteArray PaddedHex(const QByteArray& image)
{
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += hextext::LinearBase(0);
    return QByteArray::fromStdString(text + hextext::Write(AsBytes(image)));
}

// Image bytes 0, 1, 2, ... that differ from block to block.
inline QByteArray CountingImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = static_cast<char>(i * 7 + i / 251);
    return image;
}
