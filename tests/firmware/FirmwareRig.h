#pragma once
#include <QByteArray>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QTemporaryDir>

#include "HexText.h"
#include "ToolWindowRig.h"
#include "firmware/FirmwarePage.h"
#include "ui/DialogUnits.h"

// The tool window with its Firmware page, and files for the page to load.
struct FirmwareRig : ToolWindowRig {
    QStringList startDirs;
    QTemporaryDir dir;
    DlgProgrammer* page = nullptr;

    // Opens the tool window; what the extender should report at opening is set before.
    void Open()
    {
        OpenTool();
        page = &PageAt<DlgProgrammer>(PerformanceTool::FirmwareTab);
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
