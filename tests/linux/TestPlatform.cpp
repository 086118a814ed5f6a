#include "TestPlatform.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "Rig.h"
#include "device/DeviceIds.h"
#include "device/Process.h"
#include "device/StatusRegister.h"
#include "device/linux/HidapiBackend.h"
#include "device/linux/UdevWatcher.h"
#include "e2e/GuestPrograms.h"
#include "e2e/ThreeUnits.h"
#include "e2e/WineStage.h"
#include "linux/UhidExtender.h"

namespace {

// The programs of the guest's case on one kernel: the window's watcher, armed first as the program
// has it, two virtual extenders, and the window once it is open.
struct Guest {
    UdevWatcher watcher;
    UhidExtender extender, second;
    CTorvanReaderDlg* dlg = nullptr;
    const QComboBox* Units() const { return ui::FindControl<QComboBox>(dlg, 1090); }
};

QProcess& StartCli(QProcess& cli, const QStringList& arguments)
{
    StartInGuest(cli, "linux", arguments);
    return cli;
}

// A node that went to another HID device since it was found is claimed, but not opened; a unit
// listed before udev told of it is told again when its node changes.
void NodesFollowTheKernel(Guest& guest)
{
    UhidExtender foreign;
    HidapiBackend raw;
    QVERIFY(guest.extender.Plug());
    QTRY_VERIFY_WITH_TIMEOUT(!CHidIO::Extenders(raw).empty(), 3000);
    const std::string found = CHidIO::Extenders(raw)[0].path;
    guest.extender.Unplug();
    QVERIFY(foreign.Plug("E2E0003", kTorvanProductId + 1));
    QTRY_VERIFY_WITH_TIMEOUT(access(found.c_str(), F_OK) == 0, 3000);
    const HidClaim claim = raw.Claim(found);
    QVERIFY(!claim.error);
    QCOMPARE(raw.Open(found, HidAccess::Read).error, std::errc::no_such_device);
    raw.Close(claim.handle);
    foreign.Unplug();
    QVERIFY(guest.extender.Plug());
    QTRY_VERIFY_WITH_TIMEOUT(!CHidIO::Extenders(raw).empty(), 3000);
    const std::string node = CHidIO::Extenders(raw)[0].path;
    UdevWatcher late;
    WriteFile("/sys/class/hidraw/" + QFileInfo(node.c_str()).fileName() + "/uevent", "change");
    QVERIFY(AwaitReady(late.Handle(), 3s));
    const std::vector<UnitChange> changed = late.TakeChanges();
    QVERIFY(!changed.empty());
    QCOMPARE(changed[0].path, node);
    guest.extender.Unplug();
}

// The monitoring jobs through the kernel: the check reads the free unit, and the metrics read it
// too and tell the unit the window holds in use, sending it nothing.
void MonitoringReadsTheFreeUnit(Guest& guest)
{
    QProcess check, metrics;
    QVERIFY(StartCli(check, {"--serial", "E2E0002", "check"}).waitForFinished(30000));
    QCOMPARE(check.exitCode(), 0);
    const QString checked = check.readAllStandardOutput();
    QVERIFY2(checked.startsWith("TORVANREADER OK - link up, 4 pairs good, 31 m | "),
             qPrintable(checked));
    guest.extender.TakeWire(); // the window's connect check
    QTemporaryDir textfile;
    const QString prom = textfile.filePath("torvanreader.prom");
    StartCli(metrics, {"status", "--format", "prometheus", "--output", prom});
    QVERIFY(metrics.waitForFinished(30000));
    QCOMPARE(metrics.exitCode(), 0);
    const QByteArray written = ReadFile(prom),
                     windowUnit = guest.dlg->Channel().Transport().Opened()->path.c_str();
    QVERIFY2(
        written.contains(R"(torvanreader_in_use{serial="E2E0001",path=")" + windowUnit + "\"} 1"),
        written.constData());
    QVERIFY2(written.contains(R"(torvanreader_link_up{serial="E2E0002",path="/dev/hidraw)"),
             written.constData());
    QVERIFY(guest.extender.TakeWire().empty());
    QVERIFY(!guest.second.TakeWire().empty());
}

// The command line watches both units' events while the window follows them, sending nothing:
// plugged in, a unit is followed within a second; a second one is offered beside it and sent
// nothing until the command line reaches it by its serial number; pulled out, it is offered no
// more.
void WatchedBesideTheWindow(Guest& guest)
{
    QProcess watch;
    StartCli(watch, {"list", "--watch"});
    QVERIFY(watch.waitForReadyRead(30000)); // the held unit told present: the watch is armed
    QVERIFY(guest.second.Plug("E2E0002"));
    QTRY_COMPARE_WITH_TIMEOUT(guest.Units()->count(), 2, 1000);
    QVERIFY2(guest.Units()->currentText().startsWith(
                 "E2E0001 (Virtual HDBaseT extender) at /dev/hidraw"),
             qPrintable(guest.Units()->currentText()));
    QVERIFY(guest.second.TakeWire().empty());
    QProcess info;
    QVERIFY(StartCli(info, {"--serial", "E2E0002", "info"}).waitForFinished(30000));
    QCOMPARE(info.exitCode(), 0);
    QVERIFY(!guest.second.TakeWire().empty());
    MonitoringReadsTheFreeUnit(guest);
    if (QTest::currentTestFailed())
        return;
    guest.second.Unplug();
    QTRY_COMPARE_WITH_TIMEOUT(guest.Units()->count(), 1, 1000);
    QString told;
    QTRY_VERIFY_WITH_TIMEOUT((told += watch.readAllStandardOutput()).contains("removed"), 5000);
    kill(pid_t(watch.processId()), SIGINT);
    QVERIFY(watch.waitForFinished(5000));
    QCOMPARE(watch.exitCode(), 0);
    QVERIFY(guest.second.TakeWire().empty());
    QVERIFY2(QRegularExpression(
                 "^present\t\\S+\tE2E0001\nadded\t(\\S+)\tE2E0002\nremoved\t\\1\tE2E0002\n$")
                 .match(told)
                 .hasMatch(),
             qPrintable(told));
}

// The command line, a second program on the unit the window holds, is refused at once, and the
// window's answers stay its own.
void SecondProgramRefused(Guest& guest)
{
    const QString held = QString("%1 is in use by tst_transport (process %2)")
                             .arg(guest.dlg->Channel().Transport().Opened()->path.c_str())
                             .arg(QCoreApplication::applicationPid());
    QProcess info, list;
    // An ASan build in the emulated guest is slow.
    QVERIFY(StartCli(info, {"info"}).waitForFinished(30000));
    QCOMPARE(info.exitCode(), 1);
    const QString refused = info.readAllStandardError();
    QVERIFY2(refused.contains(held), qPrintable(refused));
    QVERIFY(StartCli(list, {"list"}).waitForFinished(30000));
    QCOMPARE(list.exitCode(), 0);
    const QString listed = list.readAllStandardOutput();
    QVERIFY2(listed.endsWith("\tin use\n"), qPrintable(listed));
    QCOMPARE(ChannelAnswer(guest.dlg->Channel(), "aa01ab"), QByteArray("aa01"));
}

// Unplugged: the window asks for the device at once, and the next command fails at once.
void UnplugSeenAtOnce(Guest& guest)
{
    guest.extender.Unplug();
    QTRY_COMPARE_WITH_TIMEOUT(
        Texts(guest.dlg, {1088, 1089}),
        (QStringList{" States: Unconnected",
                     " Please connect the device to PC via USB to mini-USB cable."}),
        1000);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!AnswersConnectCheck(guest.dlg->Channel()));
    QCOMPARE_LT(clock.elapsed(), 2500);
}

// The Linux command line, run once: a crash of its own is a fault, never a reason to run it again.
int RunCliInGuest(const QStringList& arguments, QString& out, const std::function<void()>&)
{
    const Ran ran = RunInGuest("linux", arguments, 300000);
    out = ran.out + ran.err;
    return ran.exit;
}

} // namespace

void HidrawEndToEnd()
{
    if (qEnvironmentVariableIsEmpty("TORVAN_GUEST"))
        QSKIP("this case runs inside the guest that tests/e2e/run-e2e.sh boots");
    // Given the Windows build, the guest runs that instead.
    if (!qEnvironmentVariableIsEmpty("TORVAN_WINDOWS"))
        return WindowsProgramsUnderWine();
    Guest guest;
    QVERIFY2(guest.watcher.Handle() != kNoWaitHandle, guest.watcher.Failure().c_str());
    SetRegisters(guest.second.model, kHealthyRegisters); // before its server runs
    NodesFollowTheKernel(guest);
    if (QTest::currentTestFailed())
        return;
    FlashesThreeAtOnce(qEnvironmentVariable("TORVAN_SOURCE_DIR") + kSampleImage, {RunCliInGuest});
    if (QTest::currentTestFailed())
        return;
    QTest::qWait(200);
    guest.watcher.TakeChanges();                                    // from before the window
    BoundedWriteBackend backend(std::make_shared<HidapiBackend>()); // as the programs have it
    CTorvanReaderDlg dlg(backend, &guest.watcher);
    guest.dlg = &dlg;
    QVERIFY(guest.extender.Plug());
    QTRY_COMPARE_WITH_TIMEOUT(Texts(&dlg, {1088, 1089}), (QStringList{" States: Connected", ""}),
                              1000);
    for (void (*step)(Guest&) : {WatchedBesideTheWindow, SecondProgramRefused, UnplugSeenAtOnce}) {
        step(guest);
        if (QTest::currentTestFailed())
            return;
    }
}

void DeviceWatcherTellsUnits()
{
    QSKIP(
        "udev's watcher is checked by the hidraw case, in the guest that has the kernel's events");
}

void SystemBackendKeepsTheCause()
{
    HidapiBackend backend;
    const std::string missing = "/dev/hidraw-torvan-missing";
    const HidOpened opened = backend.Open(missing, HidAccess::Read);
    const HidClaim claim = backend.Claim(missing);
    QCOMPARE(opened.handle, kInvalidHidHandle);
    QCOMPARE(claim.handle, kInvalidHidHandle);
    QCOMPARE(opened.error, std::errc::no_such_file_or_directory);
    QCOMPARE(claim.error, std::errc::no_such_file_or_directory);
    const HidTransfer read = backend.Read(12345, nullptr, 65, 0);
    QCOMPARE(read.moved, -1);
    QCOMPARE(read.error, std::errc::bad_file_descriptor);
}

void UnitHoldIsSystemWide()
{
    // flock holds a node for its open file: a plain file stands in for the unit's node.
    QTemporaryDir dir;
    const std::string node = WriteFile(dir.filePath("hidraw"), "").toStdString();
    HidapiBackend backend;
    const HidClaim first = backend.Claim(node);
    QVERIFY(first.handle != kInvalidHidHandle);
    const HidClaim second = backend.Claim(node);
    QCOMPARE(second.handle, kInvalidHidHandle);
    QVERIFY(second.Held());
    QCOMPARE(second.holder, ProgramText(ThisProcessId()));
    backend.Close(first.handle);
    const HidClaim again = backend.Claim(node);
    QVERIFY(again.handle != kInvalidHidHandle);
    backend.Close(again.handle);
}

void ReportsBetweenReadsAreKept()
{
    QSKIP("the kernel's hidraw driver queues each report for every open file until it is read");
}

std::optional<bool> EndTheSession(PerformanceTool&)
{
    return std::nullopt;
}

const QString kFolderWriteCause = "Is a directory", kFolderReadCause = "Is a directory";
const QString kUnderAFileCause = "Not a directory",
              kMissingFolderCause = "No such file or directory",
              kMissingFileCause = "No such file or directory";
const QString kNoAccessAdvice = "the package's udev rule gives the logged-in user access; plug the "
                                "unit in again, or log in at the PC";

void AddLogWriteFailureRows()
{
    QTest::newRow("write cut short by the size limit") << "BIT.txt" << QString("File too large");
    QTest::newRow("full device") << "/dev/full" << QString("No space left on device");
    QTest::newRow("folder") << "folder" << kFolderWriteCause;
    QTest::newRow("missing folder") << "no/such/log" << kMissingFolderCause;
}

// No file of this program grows past 30 bytes: the second 28-byte entry goes in only in part.
LogWriteFault::LogWriteFault(const QString&)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{30, limit.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN); // a write past it is cut short rather than ending the program
    setrlimit(RLIMIT_FSIZE, &small);
    m_undo.reset(static_cast<void*>(nullptr), [limit](void*) { setrlimit(RLIMIT_FSIZE, &limit); });
}

QProcessEnvironment ProgramEnvironment(const QString& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home);
    environment.insert("XDG_CACHE_HOME", home);
    environment.insert("XDG_DATA_HOME", home);
    return environment;
}

const bool kSettingsKeptApart = true;

QString ProgramSettingsFile(const QString& home)
{
    return home + "/TorvanReader/TorvanReader.ini";
}

QString ProgramDemoHistory(const QString& home)
{
    return home + "/torvanreader/demo-history.sqlite";
}

void ReadyForStop(QProcess&) {}

// The program blocks the stop signals, to take them on a thread of its own.
bool TakesStops(const QProcess& program)
{
    const QByteArray text = ReadFile(QString("/proc/%1/status").arg(program.processId()));
    const qsizetype mask = text.indexOf("SigBlk:") + 7;
    return mask > 6 && (text.mid(mask, 17).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
}

const bool kTakesStopsSeenAtStart = true;

bool SendStop(const QProcess& program)
{
    return kill(pid_t(program.processId()), SIGTERM) == 0;
}

std::optional<QString> ConsoleScreen(const QString&, const QStringList&)
{
    return std::nullopt;
}

// A FIFO in a folder of its own, filled through a writer closed again; the reader stays open.
UnreadPipe::UnreadPipe()
{
    auto dir = std::make_shared<QTemporaryDir>();
    const QString path = dir->filePath("pipe");
    if (mkfifo(QFile::encodeName(path), 0600) != 0)
        return;
    const int reader = open(QFile::encodeName(path), O_RDONLY | O_NONBLOCK);
    const int filler = open(QFile::encodeName(path), O_WRONLY | O_NONBLOCK);
    for (const char page[4096]{}; write(filler, page, sizeof page) > 0;) {
    }
    close(filler);
    if (reader < 0)
        return;
    m_ends.reset(static_cast<void*>(nullptr), [dir, reader](void*) { close(reader); });
    m_takeOutput = [path](QProcess& program) { program.setStandardOutputFile(path); };
}
