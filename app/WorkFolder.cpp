#include "app/WorkFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "ui/MessageBox.h"

namespace {

// Its spelling is the build's (CMakeLists.txt), which the installers' Start-menu entries share.
constexpr const char* kInDocuments = TORVAN_IN_DOCUMENTS;

QString Native(const std::filesystem::path& path)
{
    return QDir::toNativeSeparators(QString::fromStdWString(path.wstring()));
}

QString Cause(const std::error_code& error)
{
    return QString::fromLocal8Bit(error.message()).trimmed();
}

} // namespace

std::optional<QString> WorkInDocuments(const QString& documents)
{
    if (documents.isEmpty())
        return QString("Your Documents folder is not known: BIT.txt and the burn-in reports are "
                       "written in %1.")
            .arg(QDir::toNativeSeparators(QDir::currentPath()));
    // Wide names, so that a Documents folder outside the ANSI code page is found on Windows.
    const std::filesystem::path folder =
        std::filesystem::path(documents.toStdWString()) / L"TorvanReader";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error)
        std::filesystem::current_path(folder, error);
    if (!error)
        return std::nullopt;
    return QString("The folder %1 cannot be used: %2. BIT.txt and the burn-in reports are "
                   "written in %3 instead.")
        .arg(Native(folder), Cause(error), QDir::toNativeSeparators(QDir::currentPath()));
}

void WorkWhereAsked(const QStringList& arguments)
{
    if (!arguments.contains(kInDocuments))
        return;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (const std::optional<QString> failure = WorkInDocuments(documents))
        ui::ShowMessage(nullptr, *failure);
}
