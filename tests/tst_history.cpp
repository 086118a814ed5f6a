// The update history: the row each change leaves, from the window and the command line, the
// history command's views of it, many writers at once and a killed program, and a file that
// cannot be written or is damaged. What a failed step leaves is checked in the fault matrix.
#include <latch>

#include "Rig.h"
#include "TestPlatform.h"
#include "device/DeviceIds.h"
#include "history/Formats.h"
#include "history/Store.h"

namespace {

const QString kSamples = QT_TESTCASE_SOURCEDIR "/../samples/firmware/";
const QString kLocalSample = kSamples + "demo-local-tx-3072.2.hex",
              kRemoteSample = kSamples + "demo-remote-rx-3072.2.hex";
const QString kLocalSha = "31d32037cacc17a78a686b0d3d853d0fd2638cac55a60c3fd77ffdde7855ce91",
              kRemoteSha = "0e1b31179be4eda8395f812122134f3e71d918ed697f695abdd2141f06084847";
const QRegularExpression kUtcTime(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");

// What a row says of the action, in the order of the history's fields.
QStringList Said(const history::Row& row)
{
    const auto number = [](std::optional<qint64> n) { return n ? QString::number(*n) : "-"; };
    return {row.program,
            row.action,
            row.chip,
            row.setting,
            row.imageFile,
            number(row.imageBytes),
            row.imageSha256,
            row.chipBefore,
            row.imageIdentification,
            history::OutcomeText(row),
            number(row.blocks)};
}

// A history written as the tool would have written these rows.
void Write(const QString& file, std::span<const history::Row> rows)
{
    history::Store store(file);
    for (const history::Row& row : rows)
        QVERIFY2(store.Add(row), qPrintable(store.Failure()));
}

// The Firmware page's update of image, at the page's pace, the tool window open.
void ProgramInWindow(Rig& rig, const QString& image)
{
    auto& page = rig.page<DlgProgrammer>();
    page.SetFileChooser([=](QWidget*, const QString&) { return image; });
    Click(&page, FirmwareControl::Browse);
    Click(&page, FirmwareControl::Program);
    QTRY_VERIFY_WITH_TIMEOUT(!page.IsBusy(), 20000);
}

// torvanreader-cli started on the demo with its history in home.
void StartDemo(QProcess& program, const QString& home, const QStringList& arguments)
{
    program.setProcessEnvironment(ProgramEnvironment(home));
    program.start(TORVAN_CLI, QStringList{"--demo"} + arguments);
}

// What the history holds before the history command reads it.
enum class Kept { Rows, Damaged, None };
// The command's arguments, exit code (0 unless said) and stdout's lines, and what stderr holds.
struct Listed {
    QString arguments;
    int code = 0;
    QStringList out{};
    QString err = {};
    Kept kept = Kept::Rows;
};

// What the history command is given to read: a programming, a switch that failed from a unit
// whose serial number would be a formula in a spreadsheet, and a restart that never ended.
const std::array<history::Row, 3> kListed{{
    {.time = "2025-03-05T06:00:00.000Z",
     .program = "torvanreader",
     .version = "1.0.0.1",
     .host = "bench-2",
     .serial = "A1",
     .path = "/dev/hidraw3",
     .chip = "local",
     .action = history::kProgram,
     .imageFile = "fw,\"v2\".hex",
     .imageBytes = 8192,
     .imageSha256 = kLocalSha,
     .chipBefore = "QX710 TX 3072.1",
     .imageIdentification = "QX710 TX 3072.2",
     .outcome = history::kCompleted,
     .blocks = 256,
     .durationMs = 2400},
    {.time = "2025-03-06T20:00:00.000Z",
     .program = "torvanreader-cli",
     .version = "1.0.0.1",
     .host = "bench-2",
     .serial = "=B2",
     .path = "/dev/hidraw4",
     .action = history::kFailSafeOn,
     .setting = "b3",
     .outcome = history::kFailed,
     .cause = "the extender refused it (status 0x55)",
     .durationMs = 20},
    {.time = "2025-03-07T11:00:00.000Z",
     .program = "torvanreader-cli",
     .version = "1.0.0.1",
     .host = "bench-2",
     .serial = "A1",
     .path = "/dev/hidraw3",
     .chip = "remote",
     .action = history::kRestart},
}};

// A time kept in UTC as JSON shows it: the same moment on this machine's clock, with its offset.
QString InLocalTime(const QString& utc)
{
    const QDateTime local = QDateTime::fromString(utc, Qt::ISODateWithMs).toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

enum class Spoiled { FolderIsAFile, ReadOnly, NoDatabase, DamagedPage };

// A history file that cannot be kept, or is damaged, how the user is told (the file's path
// follows), and how many rows it holds afterwards.
struct Trouble {
    Spoiled spoiled;
    bool window = true; // else the command line
    QString told;
    int rows;
};

// The file spoiled as asked, in dir.
QString Spoil(const QTemporaryDir& dir, Spoiled spoiled)
{
    const QString file =
        dir.filePath(spoiled == Spoiled::FolderIsAFile ? "file/history.sqlite" : "history.sqlite");
    if (spoiled == Spoiled::FolderIsAFile) {
        WriteFile(dir.filePath("file"), "a file where the folder should be");
        return file;
    }
    if (spoiled == Spoiled::NoDatabase) {
        WriteFile(file, QByteArray(4096, 'x'));
        return file;
    }
    const history::Row restart{.time = "2025-03-05T06:00:00.000Z", .action = history::kRestart};
    Write(file, {&restart, 1});
    QFile bytes(file); // the last connection has put every row into the file itself
    bytes.open(QIODevice::ReadWrite);
    // @18 the write version: above 2 the file may be read only. @100 the first page's table.
    bytes.seek(spoiled == Spoiled::ReadOnly ? 18 : 100);
    bytes.write(spoiled == Spoiled::ReadOnly ? QByteArray(1, '\3') : QByteArray(900, '\xA5'));
    return file;
}

} // namespace

class HistoryTest : public QObject {
    Q_OBJECT

private slots:
    // Each change of the window and of the command line leaves a row that tells the whole of it,
    // newest first; the window's rows on a clock that moves 1.5 s at each look.
    void keepsEveryChange()
    {
        Rig rig;
        QDateTime now(QDate(2025, 3, 7), QTime(13, 5), Qt::UTC);
        const history::Keeper keeper(rig.settings.filePath("history.sqlite"), ui::TellLater,
                                     [&] { return now = now.addMSecs(1500); });
        rig.Open();
        ProgramInWindow(rig, kLocalSample);
        Click(&rig.page<DlgProgrammer>(), FirmwareControl::Apply);
        Click(&rig.page<ResetTool>(), FailSafeControl::On);
        Click(&rig.page<ResetTool>(), FailSafeControl::Off);
        rig.tool.reset(); // the command line takes the unit over
        rig.main.reset();
        QCOMPARE(RunCli(rig.wire, "flash --to remote --yes --apply " + kRemoteSample).code, 0);

        const std::vector<history::Row> rows = rig.History();
        const std::vector<QStringList> expected{
            {"tst_history", "restart", "remote", "", "", "-", "", "", "", "completed", "-"},
            {"tst_history", "program", "remote", "", "demo-remote-rx-3072.2.hex", "8192",
             kRemoteSha, "QX720 RX 3072.1", "QX720 RX 3072.2", "completed", "256"},
            {"tst_history", "fail-safe off", "", "33", "", "-", "", "", "", "completed", "-"},
            {"tst_history", "fail-safe on", "", "b3", "", "-", "", "", "", "completed", "-"},
            {"tst_history", "restart", "local", "", "", "-", "", "", "", "completed", "-"},
            {"tst_history", "program", "local", "", "demo-local-tx-3072.2.hex", "8192", kLocalSha,
             "QX710 TX 3072.1", "QX710 TX 3072.2", "completed", "256"}};
        QCOMPARE(rows.size(), expected.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(Said(rows[i]), expected[i]);
            QVERIFY2(kUtcTime.match(rows[i].time).hasMatch(), qPrintable(rows[i].time));
            QCOMPARE(rows[i].serial, "SIM0001");
            QCOMPARE(rows[i].path, SimExtender::kPath);
            QCOMPARE(rows[i].version, kTorvanVersion);
            QCOMPARE(rows[i].host, QSysInfo::machineHostName());
        }
        // The window's update began at its first look at the clock and ended at its second.
        QCOMPARE(rows.back().time, "2025-03-07T13:05:01.500Z");
        QCOMPARE(rows.back().durationMs, std::optional<qint64>(1500));
    }

    // The history command: newest first as text, one unit or a few, from a day or a time on, as
    // JSON or as CSV for a spreadsheet; its usage, a damaged file and an empty one.
    void listsTheHistory_data()
    {
        const QString program = "2025-03-05T06:00:00.000Z\tA1\t/dev/hidraw3\tprogram local\t"
                                "completed, 256 blocks, 2.4 s\tfw,\"v2\".hex, 8192 bytes, SHA-256 "
                                + kLocalSha
                                + ", the chip was QX710 TX 3072.1, the image is for QX710 TX "
                                  "3072.2",
                      on = "2025-03-06T20:00:00.000Z\t=B2\t/dev/hidraw4\tfail-safe on (b3)\t"
                           "failed: the extender refused it (status 0x55), 0.0 s\t",
                      restart = "2025-03-07T11:00:00.000Z\tA1\t/dev/hidraw3\trestart remote\t"
                                "started, never ended\t";
        using enum Kept;
        AddRows<Listed>({
            {"newest first", {.arguments = "history", .out = {restart, on, program}}},
            {"one unit", {.arguments = "history --serial A1", .out = {restart, program}}},
            {"two units",
             {.arguments = "history --serial A1 --serial =B2", .out = {restart, on, program}}},
            // A day from its start in local time, wherever the clock's zone is.
            {"from a day on", {.arguments = "history --since 2025-03-06", .out = {restart, on}}},
            {"from a UTC time on",
             {.arguments = "history --since 2025-03-07T10:59:59Z", .out = {restart}}},
            {"JSON",
             {.arguments = "--json history --serial =B2",
              .out =
                  {R"j({"action":"fail-safe on","blocks":null,)j"
                   R"j("cause":"the extender refused it (status 0x55)",)j"
                   R"j("chip":null,"chip_before":null,"duration_ms":20,"format":2,"host":"bench-2",)j"
                   R"j("image_bytes":null,"image_file":null,"image_identification":null,)j"
                   R"j("image_sha256":null,"outcome":"failed","path":"/dev/hidraw4",)j"
                   R"j("program":"torvanreader-cli","serial":"=B2","setting":179,)j"
                   R"j("time":")j"
                   + InLocalTime("2025-03-06T20:00:00.000Z") + R"j(","version":"1.0.0.1"})j"}}},
            // Quoted where a field holds a comma or a quote; what a spreadsheet would run as a
            // formula is made text.
            {"CSV",
             {.arguments = "history --csv --since 2025-03-05T00:00Z",
              .out = {"time,program,version,host,serial,path,chip,action,setting,image_file,"
                      "image_bytes,image_sha256,chip_before,image_identification,outcome,cause,"
                      "blocks,duration_ms",
                      "2025-03-07T11:00:00.000Z,torvanreader-cli,1.0.0.1,bench-2,A1,/dev/hidraw3,"
                      "remote,restart,,,,,,,started,,,",
                      "2025-03-06T20:00:00.000Z,torvanreader-cli,1.0.0.1,bench-2,'=B2,/dev/hidraw4,"
                      ",fail-safe on,b3,,,,,,failed,the extender refused it (status 0x55),,20",
                      "2025-03-05T06:00:00.000Z,torvanreader,1.0.0.1,bench-2,A1,/dev/hidraw3,local,"
                      "program,,\"fw,\"\"v2\"\".hex\",8192,"
                          + kLocalSha + ",QX710 TX 3072.1,QX710 TX 3072.2,completed,,256,2400"}}},
            {"JSON and CSV",
             {.arguments = "--json history --csv",
              .code = 2,
              .err = "--json and --csv each choose the output; give one of them"}},
            {"a date not known",
             {.arguments = "history --since yesterday",
              .code = 2,
              .err = "--since takes a date or a time, as 2025-03-07 or 2025-03-07T13:05, not "
                     "'yesterday'"}},
            {"a unit's path",
             {.arguments = "--device /dev/hidraw3 history",
              .code = 2,
              .err = "--device does not go with history"}},
            {"a damaged file",
             {.arguments = "history",
              .code = 3,
              .err = "the update history cannot be read: ",
              .kept = Damaged}},
            {"none yet", {.arguments = "history", .err = "nothing recorded in ", .kept = None}},
        });
    }
    void listsTheHistory()
    {
        QFETCH(Listed, row);
        Rig rig;
        const QString file = rig.settings.filePath("history.sqlite");
        if (row.kept == Kept::Damaged)
            WriteFile(file, QByteArray(4096, 'x'));
        else if (row.kept == Kept::Rows)
            Write(file, kListed);
        const CliResult run = RunCli(rig.wire, row.arguments);
        QCOMPARE(run.code, row.code);
        QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts), row.out);
        QVERIFY2(run.err.contains(row.err), qPrintable(run.err));
        QVERIFY(rig.Commands().empty()); // nothing is sent to any unit
    }

    // A new history opened by eight writers at once, as the units of a run on several start
    // together: each row is kept, though all but one find the file being made.
    void aNewFileOpenedByEightAtOnce()
    {
        for (int round = 0; round < 20; ++round) {
            const QTemporaryDir dir;
            const QString file = dir.filePath("history.sqlite");
            std::latch start(8);
            std::vector<std::thread> writers;
            std::atomic<int> kept = 0;
            for (int writer = 0; writer < 8; ++writer)
                writers.emplace_back([&] {
                    start.arrive_and_wait();
                    history::Store store(file);
                    kept += store.Add({.serial = "SIM0001"}).has_value();
                });
            for (std::thread& writer : writers)
                writer.join();
            QCOMPARE(kept.load(), 8);
            QCOMPARE(history::Read(file, {}).rows.size(), size_t(8));
        }
    }

    // The window programs beside a command line that does too, into one history; a command line
    // killed in its update leaves its row started, and what comes after is kept as before.
    void aWindowBesideACommandLineThatIsKilled()
    {
        QTemporaryDir home;
        const QString file = ProgramDemoHistory(home.path());
        // Under Wine the programs of every suite, of every run, share the history: this test's rows
        // are the newer ones whose image has its name, or whose program is the test.
        const QString image = home.filePath(QFileInfo(home.path()).fileName() + ".hex");
        QVERIFY(QFile::copy(kLocalSample, image));
        const history::Query since{.since = QDateTime::currentDateTimeUtc().addSecs(-1)};
        const auto rows = [&] {
            std::vector<history::Row> ours;
            std::ranges::copy_if(history::Read(file, since).rows, std::back_inserter(ours),
                                 [&](const history::Row& row) {
                                     return row.imageFile == QFileInfo(image).fileName()
                                            || row.program == QCoreApplication::applicationName();
                                 });
            return ours;
        };
        Rig rig;
        const history::Keeper keeper(file, ui::TellLater);
        QProcess beside, killed;
        StartDemo(beside, home.path(), {"flash", "--to", "local", image});
        rig.Open();
        ProgramInWindow(rig, image);
        QTRY_COMPARE_WITH_TIMEOUT(beside.state(), QProcess::NotRunning, 20000);
        QCOMPARE(beside.exitCode(), 0);
        StartDemo(killed, home.path(), {"flash", "--to", "local", image});
        QTRY_COMPARE_WITH_TIMEOUT(rows().size(), size_t(3), 20000);
        killed.kill();
        QTRY_COMPARE_WITH_TIMEOUT(killed.state(), QProcess::NotRunning, 10000);
        Click(&rig.page<DlgProgrammer>(), FirmwareControl::Apply);
        QStringList kept;
        for (const history::Row& row : rows())
            kept.prepend(row.program + " " + row.action + " " + history::OutcomeText(row));
        const QString cli = QFileInfo(TORVAN_CLI).completeBaseName();
        QCOMPARE(kept.mid(0, 2).filter(" program completed").size(), 2); // in either order
        QCOMPARE(kept.mid(2), (QStringList{cli + " program started, never ended",
                                           "tst_history restart completed"}));
        QCOMPARE(rows()[1].durationMs, std::nullopt);
        QCOMPARE(rig.boxes, (QStringList{"Firmware update Completed!", " Local Reset done."}));
    }

    // A history that cannot be kept is said once, with its file and cause, and changes nothing
    // else; a damaged one is kept aside under a new name, said, and a new one started. The window
    // says it in a box, the command line on stderr; each makes two changes.
    void troubleIsSaidOnce_data()
    {
        const QString cannot = "the update history cannot be kept in ",
                      damaged = "the update history was damaged: it was kept as ";
        using enum Spoiled;
        const std::pair<const char*, Trouble> spoilt[]{
            {"the folder is a file", {.spoiled = FolderIsAFile, .told = cannot, .rows = 0}},
            {"read-only", {.spoiled = ReadOnly, .told = cannot, .rows = 1}},
            {"no database", {.spoiled = NoDatabase, .told = damaged, .rows = 2}},
            {"a damaged page", {.spoiled = DamagedPage, .told = damaged, .rows = 2}}};
        QTest::addColumn<Trouble>("row");
        for (const bool window : {true, false})
            for (auto [name, row] : spoilt) {
                row.window = window;
                QTest::addRow("%s: %s", name, window ? "the window" : "the command line") << row;
            }
    }
    void troubleIsSaidOnce()
    {
        QFETCH(Trouble, row);
        InTempDir dir;
        Rig rig;
        const QString file = Spoil(rig.settings, row.spoiled);
        const QByteArray before = ReadFile(file);
        const history::Keeper keeper(file, ui::TellLater);
        QStringList said;
        if (row.window) {
            rig.Open();
            Click(&rig.page<ResetTool>(), FailSafeControl::On);
            Click(&rig.page<ResetTool>(), FailSafeControl::Off);
            QCOMPARE(Text(&rig.page<ResetTool>(), FailSafeControl::State), "Fail-Safe Disable");
            QTRY_VERIFY(!rig.boxes.isEmpty()); // the box comes once the event loop runs
            said = rig.boxes;
        } else {
            WriteFile("image.bin", Pattern(64 * 32));
            const CliResult run = RunCli(rig.wire, "flash --to local --yes --apply image.bin");
            QCOMPARE(run.code, 0);
            said = run.err.split('\n', Qt::SkipEmptyParts);
        }
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(row.told + QDir::toNativeSeparators(file), Qt::CaseInsensitive),
                 qPrintable(said[0]));
        QCOMPARE(int(history::Read(file, {}).rows.size()), row.rows);
        if (row.told.contains("damaged")) { // kept aside as it was
            const QString aside = said[0].section(" it was kept as ", 1).section(" (", 0, 0);
            QCOMPARE(ReadFile(aside), before);
        }
    }
};

QTEST_MAIN(HistoryTest)
#include "tst_history.moc"
