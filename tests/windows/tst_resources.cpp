// What Windows reads from each program and from the installer, through its own calls as Explorer
// does: the version information of Properties -> Details, the icon, and the manifest by which the
// programs and the installer run as the user who starts them.
#include <QtTest>
#include <windows.h>

#include "Rig.h"

namespace {

// A file's version information, read as Explorer reads it.
class VersionInfo {
public:
    explicit VersionInfo(const QString& file)
    {
        const std::wstring name = QDir::toNativeSeparators(file).toStdWString();
        DWORD unused = 0;
        m_data.resize(GetFileVersionInfoSizeW(name.c_str(), &unused));
        if (!m_data.isEmpty()
            && !GetFileVersionInfoW(name.c_str(), 0, DWORD(m_data.size()), m_data.data()))
            m_data.clear();
    }
    // A field of the strings in the file's first language, which Explorer shows.
    QString String(const QString& field) const
    {
        void* value = nullptr;
        UINT length = 0;
        if (m_data.isEmpty()
            || !VerQueryValueW(m_data.data(), L"\\VarFileInfo\\Translation", &value, &length)
            || length < 4)
            return "(none)";
        const auto* language = static_cast<const WORD*>(value);
        const std::wstring path = QString(R"(\StringFileInfo\%1%2\%3)")
                                      .arg(language[0], 4, 16, QChar('0'))
                                      .arg(language[1], 4, 16, QChar('0'))
                                      .arg(field)
                                      .toStdWString();
        if (!VerQueryValueW(m_data.data(), path.c_str(), &value, &length))
            return "(none)";
        return QString::fromWCharArray(static_cast<const wchar_t*>(value)).left(int(length));
    }
    // The numbers Explorer shows as "File version", from the fixed part.
    QString FixedFileVersion() const
    {
        void* value = nullptr;
        UINT length = 0;
        if (m_data.isEmpty() || !VerQueryValueW(m_data.data(), L"\\", &value, &length))
            return "(none)";
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        return QString("%1.%2.%3.%4")
            .arg(HIWORD(fixed->dwFileVersionMS))
            .arg(LOWORD(fixed->dwFileVersionMS))
            .arg(HIWORD(fixed->dwFileVersionLS))
            .arg(LOWORD(fixed->dwFileVersionLS));
    }

private:
    QByteArray m_data;
};

QString Manifest(const QString& file)
{
    const std::wstring name = QDir::toNativeSeparators(file).toStdWString();
    HMODULE module = LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "(not loaded)";
    QString text = "(none)";
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
        if (HGLOBAL loaded = LoadResource(module, found))
            text = QString::fromUtf8(static_cast<const char*>(LockResource(loaded)),
                                     int(SizeofResource(module, found)));
    FreeLibrary(module);
    return text;
}

UINT IconCount(const QString& file)
{
    const std::wstring name = QDir::toNativeSeparators(file).toStdWString();
    return ExtractIconExW(name.c_str(), -1, nullptr, nullptr, 0);
}

} // namespace

// A file built for Windows, what Properties -> Details says of it, and what its manifest holds.
struct Resources {
    QString file, description, originalName;
    QStringList manifest;
};

// Each program runs as the user who starts it, as a program for Windows 10 and 11, per-monitor
// DPI aware and with long paths.
const QStringList kProgramManifest{R"(level="asInvoker")", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                                   ">PerMonitorV2</dpiAwareness>", ">true</longPathAware>"};

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void windowsReadsThem_data()
    {
        const QString setup = "TorvanReader-" TORVAN_VERSION "-win64-setup.exe";
        AddRows<Resources>({
            {"torvanreader",
             {.file = TORVAN_APP,
              .description = "TorvanReader",
              .originalName = "torvanreader.exe",
              .manifest = kProgramManifest}},
            {"torvanreader-cli",
             {.file = TORVAN_CLI,
              .description = "TorvanReader command line",
              .originalName = "torvanreader-cli.exe",
              .manifest = kProgramManifest}},
            {"torvanreader-demo",
             {.file = TORVAN_DEMO,
              .description = "TorvanReader demo",
              .originalName = "torvanreader-demo.exe",
              .manifest = kProgramManifest}},
            // Installing for the user alone asks for no administrator: the installer asks for
            // elevation itself when it installs for everyone.
            {"the installer",
             {.file = TORVAN_SETUP,
              .description = "TorvanReader " TORVAN_VERSION " Setup",
              .originalName = setup,
              .manifest = {R"(level="asInvoker")"}}},
        });
    }
    void windowsReadsThem()
    {
        QFETCH(Resources, row);
        const VersionInfo version(row.file);
        QCOMPARE(version.String("ProductName"), "TorvanReader");
        QCOMPARE(version.String("ProductVersion"), TORVAN_VERSION);
        QCOMPARE(version.String("FileVersion"), TORVAN_VERSION);
        QCOMPARE(version.FixedFileVersion(), TORVAN_VERSION);
        QCOMPARE(version.String("FileDescription"), row.description);
        QCOMPARE(version.String("OriginalFilename"), row.originalName);
        QCOMPARE(version.String("CompanyName"), TORVAN_PUBLISHER);
        QCOMPARE_GT(IconCount(row.file), 0u);
        const QString manifest = Manifest(row.file);
        for (const QString& part : row.manifest)
            QVERIFY2(manifest.contains(part), qPrintable(part + " is not in:\n" + manifest));
    }
};

QTEST_GUILESS_MAIN(ResourcesTest)
#include "tst_resources.moc"
