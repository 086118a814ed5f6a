#include "TestPlatform.h"

#include <QtTest>
#include <map>
#include <thread>
#include <windows.h>

#include "app/PerformanceTool.h"
#include "device/DeviceIds.h"
#include "device/HidIO.h"
#include "device/Process.h"
#include "device/Waitable.h"
#include "device/windows/DeviceWaits.h"
#include "device/windows/DeviceWatcher.h"
#include "device/windows/UnitLock.h"
#include "device/windows/WideText.h"
#include "device/windows/WinHidBackend.h"
#include "device/windows/WindowsError.h"
#include "history/Keeper.h"

namespace {

// The HID class as a test makes it: files and pipes for devices, each saying what a unit would.
struct TestHidClass : HidClass {
    std::vector<std::string> paths;
    std::map<std::string, HidAttributes> answers; // a path without one does not answer a query
    HidDescription device{kTorvanVendorId, kTorvanProductId, 65, 65};

    std::vector<std::string> Paths() const override { return paths; }
    std::error_code Attributes(const std::string& path, HidAttributes& out) const override
    {
        const auto answer = answers.find(path);
        if (answer == answers.end())
            return WindowsError(ERROR_GEN_FAILURE);
        out = answer->second;
        return {};
    }
    std::error_code Describe(void*, HidDescription& out) const override
    {
        out = device;
        return {};
    }
};

HidAttributes Extender(std::string serial)
{
    return {kTorvanVendorId, kTorvanProductId, std::move(serial)};
}

// A file standing for a unit, named as a unit's path is.
std::string UnitFile(const QTemporaryDir& dir, const QString& name)
{
    QFile file(dir.filePath("hid#vid_051a&pid_511b#" + name));
    file.open(QIODevice::WriteOnly);
    return QDir::toNativeSeparators(file.fileName()).toStdString();
}

// A pipe standing for a unit that takes nothing until Drain and says nothing: writes go into it
// until its buffer is full and then stay under way, and reads wait.
struct StuckPipe {
    StuckPipe(DWORD direction, const wchar_t* which)
        : name(L"\\\\.\\pipe\\torvan-stuck-" + std::to_wstring(GetCurrentProcessId()) + which)
    {
        end = CreateNamedPipeW(name.c_str(), direction, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                               0, nullptr);
    }
    ~StuckPipe() { CloseHandle(end); }
    // Everything written to it so far, as the unit would take it in the end.
    size_t Drain() const
    {
        size_t taken = 0;
        for (int quiet = 0; quiet < 10; ++quiet) {
            DWORD ready = 0;
            char bytes[4096];
            if (PeekNamedPipe(end, nullptr, 0, nullptr, &ready, nullptr) && ready > 0) {
                DWORD got = 0;
                ReadFile(end, bytes, sizeof bytes, &got, nullptr);
                taken += got;
                quiet = 0;
            }
            Sleep(10);
        }
        return taken;
    }

    const std::wstring name;
    HANDLE end = INVALID_HANDLE_VALUE;
};

} // namespace

void HidrawEndToEnd()
{
    QSKIP("the hidraw case runs in the Linux guest (tests/e2e/), which runs these programs under "
          "Wine");
}

void DeviceWatcherTellsUnits()
{
    // The watcher tells an extender that arrives Added, again when it was noted already (listed
    // before it could be opened), and nothing of other HID devices.
    DeviceWatcher watcher;
    QVERIFY2(watcher.Handle() != kNoWaitHandle, watcher.Failure().c_str());
    const std::string unit = "\\\\?\\hid#vid_051a&pid_511b#torvan-watched";
    watcher.Arrived(unit);
    watcher.Arrived("\\\\?\\hid#vid_046d&pid_c077#mouse");
    watcher.Arrived(unit);
    watcher.Left(unit);
    QVERIFY(AwaitReady(watcher.Handle(), std::chrono::seconds(1)));
    std::vector<UnitChange::Kind> told;
    for (const UnitChange& change : watcher.TakeChanges()) {
        QCOMPARE(change.path, unit);
        told.push_back(change.kind);
    }
    using enum UnitChange::Kind;
    QCOMPARE(told, (std::vector{Added, Added, Removed}));
    // A unit present at the start that did not answer its query is told when it leaves, too.
    TestHidClass present;
    const std::string silent = "\\\\?\\hid#vid_051a&pid_511b#torvan-silent";
    present.paths = {silent};
    DeviceWatcher started(present);
    started.Left(silent);
    const std::vector<UnitChange> left = started.TakeChanges();
    QCOMPARE(left.size(), size_t(1));
    QCOMPARE(left[0].kind, Removed);
}

namespace {

const std::string kMissing = "\\\\?\\hid#vid_051a&pid_511b#torvan-missing";

// A path that is missing, or that names something else than an extender (here a plain file), is
// not kept open, and says why in Windows' own words.
void PathsRefusedWithTheirCause()
{
    WinHidBackend backend;
    const HidOpened opened = backend.Open(kMissing, HidAccess::Read);
    const HidClaim claim = backend.Claim(kMissing);
    QCOMPARE(opened.handle, kInvalidHidHandle);
    QCOMPARE(claim.handle, kInvalidHidHandle);
    QCOMPARE(opened.error, std::errc::no_such_file_or_directory);
    QCOMPARE(claim.error, std::errc::no_such_file_or_directory);
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath("hid")).open(QIODevice::WriteOnly));
    const std::string other = QDir::toNativeSeparators(dir.filePath("hid")).toStdString();
    const HidOpened elsewhere = backend.Open(other, HidAccess::Write);
    QCOMPARE(elsewhere.handle, kInvalidHidHandle);
    QCOMPARE(elsewhere.error, std::errc::no_such_device);
    QVERIFY(QFile::remove(dir.filePath("hid"))); // nothing holds it open
    const HidTransfer read = backend.Read(12345, nullptr, 65, 0);
    QCOMPARE(read.moved, -1);
    QCOMPARE(read.error, std::errc::bad_file_descriptor);
    // Windows' own words, as FormatMessage gives them, without the line break it ends them with.
    wchar_t words[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, ERROR_ACCESS_DENIED, 0, words, 256, nullptr);
    const QString expected = QString::fromWCharArray(words, int(length)).trimmed();
    QVERIFY(!expected.isEmpty());
    const CHidIO::Opening refused{
        CHidIO::Opening::Result::Failed, kMissing, {}, WindowsError(ERROR_ACCESS_DENIED)};
    QCOMPARE(refused.error, std::errc::permission_denied);
    QCOMPARE(QString::fromStdString(refused.Why()),
             QString::fromStdString(kMissing) + " could not be opened: " + expected);
    // A unit pulled out mid-transfer is told as such on every platform.
    QCOMPARE(WindowsError(ERROR_DEVICE_NOT_CONNECTED), std::errc::no_such_device);
    QCOMPARE(WindowsError(ERROR_OPERATION_ABORTED), std::errc::operation_canceled);
}

// A unit whose reports are not the extender's length is refused at open, saying so.
void OddReportLengthRefused()
{
    QTemporaryDir units;
    TestHidClass odd;
    const std::string unit = UnitFile(units, "odd");
    odd.paths = {unit};
    odd.answers = {{unit, Extender("ODD")}};
    odd.device.outputLength = 33;
    WinHidBackend oddBackend(odd);
    CHidIO oddIo(oddBackend);
    QCOMPARE(QString::fromStdString(oddIo.Open().Why()),
             QString::fromStdString(unit)
                 + " could not be opened: its reports are 33 bytes long, not the 65 of the "
                   "extenders this tool knows");
    QVERIFY(!oddIo.IsOpen());
}

// A write that outlives its wait is cancelled within it: it never goes out later. The program's
// time up (its console closed, the session ending), a wait for the unit ends at once with that
// cause, however long it was to be. For good: no wait of this program follows.
void WaitsEndInTime()
{
    const StuckPipe taking(PIPE_ACCESS_INBOUND, L"-taking"),
        silent(PIPE_ACCESS_OUTBOUND, L"-silent");
    TestHidClass piped;
    WinHidBackend pipeBackend(piped);
    const HidOpened writing = pipeBackend.Open(Utf8(taking.name), HidAccess::Write);
    QVERIFY(writing.handle != kInvalidHidHandle);
    const uint8_t report[65] = {};
    size_t wentIn = 0;
    while (wentIn < 1000 && pipeBackend.Write(writing.handle, report, 65, 50).moved == 65)
        ++wentIn;
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(pipeBackend.Write(writing.handle, report, 65, 300).moved, 0);
    QCOMPARE_LT(waited.elapsed(), 300 + 50);
    QCOMPARE(taking.Drain(), 65 * wentIn);
    pipeBackend.Close(writing.handle);
    const HidOpened reading = pipeBackend.Open(Utf8(silent.name), HidAccess::Read);
    QVERIFY(reading.handle != kInvalidHidHandle);
    std::thread([] {
        Sleep(100);
        EndDeviceWaits(WindowsError(ERROR_SHUTDOWN_IN_PROGRESS));
    }).detach();
    waited.restart();
    uint8_t answer[65];
    const HidTransfer ended = pipeBackend.Read(reading.handle, answer, 65, 10000);
    QCOMPARE(ended.moved, -1);
    QCOMPARE(QString::fromStdString(ended.error.message()),
             QString::fromStdString(WindowsError(ERROR_SHUTDOWN_IN_PROGRESS).message()));
    QCOMPARE_LT(waited.elapsed(), 5000);
    pipeBackend.Close(reading.handle);
}

} // namespace

void SystemBackendKeepsTheCause()
{
    for (void (*part)() : {PathsRefusedWithTheirCause, OddReportLengthRefused, WaitsEndInTime}) {
        part();
        if (QTest::currentTestFailed())
            return;
    }
}

void ReportsBetweenReadsAreKept()
{
    // A pipe stands for the unit. What its server end wrote and no read has taken yet is thrown
    // away when it disconnects: the report sent before that is kept only where a read was
    // waiting for it, as Wine's HID class keeps a report only where a read was posted in time.
    for (const int readsBefore : {0, 1}) {
        const std::wstring name = L"\\\\.\\pipe\\torvan-answers-"
                                  + std::to_wstring(GetCurrentProcessId())
                                  + std::to_wstring(readsBefore);
        const HANDLE unit = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        TestHidClass piped;
        WinHidBackend backend(piped);
        const HidOpened reading = backend.Open(Utf8(name), HidAccess::Read);
        QVERIFY(reading.handle != kInvalidHidHandle);
        uint8_t report[65] = {};
        DWORD sent = 0;
        for (int read = 0; read <= readsBefore; ++read) {
            report[1] = uint8_t(read + 1);
            QVERIFY(WriteFile(unit, report, 65, &sent, nullptr));
            QCOMPARE(sent, DWORD(65));
            if (read == readsBefore)
                QVERIFY(DisconnectNamedPipe(unit));
            uint8_t answer[65] = {};
            QCOMPARE(backend.Read(reading.handle, answer, 65, 1000).moved, 65);
            QCOMPARE(int(answer[1]), read + 1);
        }
        backend.Close(reading.handle);
        CloseHandle(unit);
    }
}

// What another program sees of the named mutex: a thread of this one is another owner to it.
DWORD TakenElsewhere(const std::wstring& name)
{
    DWORD waited = WAIT_FAILED;
    std::thread([&] {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
        waited = WaitForSingleObject(mutex, 0);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    return waited;
}

void UnitHoldIsSystemWide()
{
    const std::string identity = "TEST" + std::to_string(ThisProcessId()) + "\\serial";
    const std::wstring name = UnitLock::MutexName(identity);
    QVERIFY(name.find(L'\\', 7) == std::wstring::npos); // only after "Global"
    {
        const UnitLock held(identity);
        QVERIFY(held.Held());
        QCOMPARE(TakenElsewhere(name), DWORD(WAIT_TIMEOUT));
        const UnitLock second(identity);
        QVERIFY(!second.Held());
        QCOMPARE(second.Error(), HidClaim::HeldByAnother());
        QCOMPARE(second.Holder(), ProgramText(ThisProcessId()));
        // The holder's record, which a program of this session reads to name it.
        HANDLE record =
            OpenFileMappingW(FILE_MAP_READ, FALSE, UnitLock::RecordName(identity).c_str());
        QVERIFY(record);
        const auto* pid = static_cast<const DWORD*>(MapViewOfFile(record, FILE_MAP_READ, 0, 0, 4));
        QVERIFY(pid);
        QCOMPARE(*pid, GetCurrentProcessId());
        UnmapViewOfFile(pid);
        CloseHandle(record);
    }
    QCOMPARE(TakenElsewhere(name), DWORD(WAIT_OBJECT_0)); // let go of, not abandoned
    QVERIFY(UnitLock(identity).Held());
    // The hold is the device's own: a second program is refused though the first could not read
    // the serial number, and twins with one serial number are held side by side.
    QTemporaryDir units;
    const std::string twin = UnitFile(units, "twin-a"), other = UnitFile(units, "twin-b");
    TestHidClass unread, read;
    unread.answers = {{twin, Extender("")}};
    read.answers = {{twin, Extender("TWIN")}, {other, Extender("TWIN")}};
    WinHidBackend first(unread), second(read);
    const HidClaim firstHold = first.Claim(twin);
    QVERIFY(firstHold.handle != kInvalidHidHandle);
    QVERIFY(second.Claim(twin).Held());
    const HidClaim twinHold = second.Claim(other);
    QVERIFY(twinHold.handle != kInvalidHidHandle);
    first.Close(firstHold.handle);
    second.Close(twinHold.handle);
    // Named from the device instance ID that a unit's path names.
    QCOMPARE(QString::fromStdString(DeviceInstanceId("\\\\?\\HID#VID_051A&PID_511B#7&1a2b&0&0000#"
                                                     "{4d1e55b2-f16f-11cf-88cb-001111000030}")),
             "hid\\vid_051a&pid_511b\\7&1a2b&0&0000");
}

std::optional<bool> EndTheSession(PerformanceTool& tool)
{
    const auto window = reinterpret_cast<HWND>(tool.winId());
    MSG query{window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, 0, {}};
    qintptr answer = TRUE;
    const bool held = tool.OnSessionEnd(&query, &answer) && answer == FALSE;
    MSG end{window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 0, {}};
    tool.OnSessionEnd(&end, &answer);
    return held;
}

const QString kFolderWriteCause =
                  QString::fromStdString(WindowsError(ERROR_ACCESS_DENIED).message()),
              kFolderReadCause = kFolderWriteCause,
              kUnderAFileCause =
                  QString::fromStdString(WindowsError(ERROR_PATH_NOT_FOUND).message()),
              kMissingFolderCause = kUnderAFileCause,
              kMissingFileCause =
                  QString::fromStdString(WindowsError(ERROR_FILE_NOT_FOUND).message());
const QString kNoAccessAdvice = "another program may have opened the unit for itself: close it, "
                                "or plug the unit in again";

void AddLogWriteFailureRows()
{
    const auto cause = [](DWORD code) {
        return QString::fromStdString(WindowsError(code).message());
    };
    QTest::newRow("held open by another program") << "BIT.txt" << cause(ERROR_SHARING_VIOLATION);
    QTest::newRow("folder") << "folder" << kFolderWriteCause;
    QTest::newRow("missing folder") << "no/such/log" << kMissingFolderCause;
}

// Windows has no limit on a file's size per program; it refuses a file that another program
// holds open without sharing it.
LogWriteFault::LogWriteFault(const QString& log)
{
    if (log != "BIT.txt")
        return;
    HANDLE held = CreateFileW(reinterpret_cast<const wchar_t*>(log.utf16()), GENERIC_READ, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE)
        m_undo.reset(held, CloseHandle);
}

// Qt asks Windows for the roaming and local AppData folders, whatever the environment says: the
// programs started by the suites share one settings file (under Wine, the build's own prefix's).
QProcessEnvironment ProgramEnvironment(const QString&)
{
    return QProcessEnvironment::systemEnvironment();
}

const bool kSettingsKeptApart = false;

QString ProgramSettingsFile(const QString&)
{
    return qEnvironmentVariable("APPDATA") + "/TorvanReader/TorvanReader.ini";
}

QString ProgramDemoHistory(const QString&)
{
    return history::UserFile(true); // the user's, which this program shares
}

// Adds change to what the program's CreateProcess is given, after what is there already.
static void ChangeCreation(QProcess& program,
                           std::function<void(QProcess::CreateProcessArguments*)> change)
{
    const auto before = program.createProcessArgumentsModifier();
    program.setCreateProcessArgumentsModifier([before, change](auto* arguments) {
        if (before)
            before(arguments);
        change(arguments);
    });
}

// A console of its own, so that its stop events reach it alone, and a process group of its own,
// as a script or a service starts it, which leaves Ctrl-C to be asked for again.
void ReadyForStop(QProcess& program)
{
    ChangeCreation(program, [](auto* arguments) {
        // Qt asks for no console when this program has none; a new console is asked for instead.
        arguments->flags = (arguments->flags & ~DWORD(CREATE_NO_WINDOW)) | CREATE_NEW_CONSOLE
                           | CREATE_NEW_PROCESS_GROUP;
    });
}

// Its main took the stop requests before making its application, whose event dispatcher makes a
// message-only window once the program waits for events. Windows shows nothing earlier.
bool TakesStops(const QProcess& program)
{
    for (HWND window = nullptr;
         (window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        DWORD owner = 0;
        wchar_t name[64] = {};
        GetWindowThreadProcessId(window, &owner);
        if (owner == DWORD(program.processId()) && GetClassNameW(window, name, 64)
            && QString::fromWCharArray(name).startsWith("QEventDispatcherWin32_Internal_Widget"))
            return true;
    }
    return false;
}

const bool kTakesStopsSeenAtStart = false;

// Ctrl-C, as the program is on no terminal: it stops as on Ctrl-Break. Wine 8 sends no other
// console event (GenerateConsoleCtrlEvent refuses Ctrl-Break). Sent to the program's process
// group, it reaches a program that asked for Ctrl-C again there (TakeStopRequests).
bool SendStop(const QProcess& program)
{
    QProcess helper;
    helper.start(TORVAN_CONSOLE_STOP,
                 {QString::number(program.processId()), QString::number(CTRL_C_EVENT)});
    const bool sent = helper.waitForFinished(10000) && helper.exitCode() == 0;
    if (!sent)
        qWarning("%s", helper.readAllStandardError().constData());
    return sent;
}

// The console is this suite's own, new, so that it outlives the program and its screen can be read.
// Wine gives a console a screen only on a display: without one there is nothing to read.
std::optional<QString> ConsoleScreen(const QString& program, const QStringList& arguments)
{
    const DWORD streams[]{STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = GetStdHandle(streams[i]);
    const auto restore = qScopeGuard([&] {
        FreeConsole();
        AttachConsole(ATTACH_PARENT_PROCESS); // the console the suite was started on, if any
        for (int i = 0; i < 3; ++i)
            SetStdHandle(streams[i], before[i]);
    });
    FreeConsole();
    if (!AllocConsole())
        return QString("no console could be made: error %1").arg(GetLastError());
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE screen =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, OPEN_EXISTING, 0, nullptr);
    const auto closeScreen = qScopeGuard([screen] { CloseHandle(screen); });
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(screen, &info))
        return std::nullopt;
    QProcess run;
    ChangeCreation(run, [screen](auto* creation) {
        creation->flags &= ~DWORD(CREATE_NO_WINDOW | CREATE_NEW_CONSOLE);
        creation->startupInfo->hStdOutput = screen;
        creation->startupInfo->hStdError = screen;
    });
    run.start(program, arguments);
    if (!run.waitForFinished(10000))
        return "the program did not end: " + run.errorString();
    GetConsoleScreenBufferInfo(screen, &info);
    std::wstring shown(size_t(info.dwSize.X) * size_t(info.dwCursorPosition.Y + 1), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown.data(), DWORD(shown.size()), COORD{0, 0}, &read);
    return QString::fromWCharArray(shown.data(), int(read));
}

// The pipe's reading end is this program's; the program writes into a handle it inherits.
UnreadPipe::UnreadPipe()
{
    const std::wstring name =
        L"\\\\.\\pipe\\torvan-unread-" + std::to_wstring(GetCurrentProcessId());
    HANDLE reader = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 0, 4096, 0, nullptr);
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE writer =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    m_ends.reset(static_cast<void*>(nullptr), [reader, writer](void*) {
        for (HANDLE end : {reader, writer})
            if (end != INVALID_HANDLE_VALUE)
                CloseHandle(end);
    });
    if (reader == INVALID_HANDLE_VALUE || writer == INVALID_HANDLE_VALUE)
        return;
    // Filled without waiting, then left to wait as an ordinary pipe does.
    DWORD mode = PIPE_NOWAIT;
    SetNamedPipeHandleState(writer, &mode, nullptr, nullptr);
    const char page[512]{};
    for (DWORD written = 1;
         written > 0 && WriteFile(writer, page, sizeof page, &written, nullptr);) {
    }
    mode = PIPE_WAIT;
    SetNamedPipeHandleState(writer, &mode, nullptr, nullptr);
    m_takeOutput = [writer](QProcess& program) {
        ChangeCreation(program,
                       [writer](auto* arguments) { arguments->startupInfo->hStdOutput = writer; });
    };
}
