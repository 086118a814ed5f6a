// What tells others how the units are: the metrics in Prometheus' format, scraped by the real
// node_exporter and Prometheus, the plugin check's ranges, the support report, and the files both
// replace whole. The check over the Status page's states is a column of the status suite's table.
#include <QJsonArray>

#include "Rig.h"
#include "TestPlatform.h"
#include "device/sim/DemoScenario.h"
#include "history/Keeper.h"
#include "history/Row.h"
#include "history/Store.h"
#include "monitor/Metrics.h"
#include "monitor/PluginCheck.h"
#include "monitor/SupportReport.h"
#include "status/StateText.h"

namespace {

// A range as given, a value, whether it alerts; or why the text is no range.
struct RangeRow {
    QString text;
    double value = 0;
    bool alerts = false;
    QString why = {};
};

// A value as both sides are compared: JSON's numbers and the metrics' text alike.
QString Value(double value)
{
    return QString::number(value, 'g', 12);
}

// One of the real engines, on a port of 127.0.0.1 that no other program has: another port is tried
// when it cannot have the one given. Killed when this goes, however the test ends.
class Engine {
public:
    ~Engine() { Stop(); }
    void Stop()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // arguments take %1 for the port; ready is what the engine logs once it serves.
    bool Start(const QString& program, const QString& arguments, const QString& ready)
    {
        for (int tries = 0; tries < 20; ++tries) {
            m_port = 20000 + int(QRandomGenerator::global()->bounded(20000));
            Stop();
            m_process.setProcessChannelMode(QProcess::MergedChannels);
            m_process.start(program, arguments.arg(m_port).split(' '));
            QString log;
            QElapsedTimer waited;
            waited.start();
            while (m_process.state() != QProcess::NotRunning && waited.elapsed() < 20000
                   && !log.contains(ready)) {
                m_process.waitForReadyRead(100);
                log += m_process.readAll();
            }
            if (log.contains(ready))
                return true;
            if (!log.contains("address already in use")) {
                qWarning("%s did not start: %s", qPrintable(program), qPrintable(log));
                return false;
            }
        }
        return false;
    }
    QString Address() const { return QString("127.0.0.1:%1").arg(m_port); }

private:
    QProcess m_process;
    int m_port = 0;
};

// The samples of the unit with this serial number, without the labels of the scrape: "name{its
// own labels} value", the labels sorted, in promtool's words or the textfile's.
QStringList UnitSamples(const QString& text, const QString& serial)
{
    static const QRegularExpression sample(
        R"(^(torvanreader_\w+)\{([^}]*)\}\s+(?:=> )?([-0-9.e+]+))",
        QRegularExpression::MultilineOption);
    QStringList samples;
    for (const QRegularExpressionMatch& m : sample.globalMatch(text)) {
        QStringList labels = m.captured(2).remove(' ').split(',');
        if (!labels.contains("serial=\"" + serial + "\""))
            continue;
        labels.removeIf([](const QString& label) {
            return label.startsWith("job=") || label.startsWith("instance=")
                   || label.startsWith("serial=") || label.startsWith("path=");
        });
        labels.sort();
        samples << QString("%1{%2} %3")
                       .arg(m.captured(1), labels.join(','), Value(m.captured(3).toDouble()));
    }
    samples.sort();
    return samples;
}

// The samples the metrics of a unit must hold, from what status --json and info --json print.
QStringList SamplesOfJson(const QJsonObject& status, const QJsonObject& info)
{
    const auto number = [](const QJsonValue& value) { return Value(value.toDouble()); };
    QStringList samples{"torvanreader_in_use{} 0", "torvanreader_up{} 1",
                        QString("torvanreader_link_up{} %1").arg(status["link"] == "up"),
                        "torvanreader_video_ber_level{} "
                            + number(status["video_ber"].toObject()["level"])};
    for (const QJsonValue& pair : status["pairs"].toArray())
        samples << QString("torvanreader_pair_error_level{pair=\"%1\"} %2")
                       .arg(pair["pair"].toString(), number(pair["level"]));
    const QString bound = status["cable_bound"].toString();
    samples << QString("torvanreader_cable_length_metres{%1} %2")
                   .arg(bound.isEmpty() ? "" : "bound=\"" + bound + "\"",
                        number(status["cable_m"]));
    const QStringList words{"off", "marginal", "on"}; // as the gauge counts them
    for (int lamp = 0; lamp < status::kSignalLampCount; ++lamp)
        samples << QString("torvanreader_lamp{lamp=\"%1\"} %2")
                       .arg(status::kSignalLampIds[lamp])
                       .arg(
                           words.indexOf(status["lamps"][status::kSignalLampIds[lamp]].toString()));
    samples << QString("torvanreader_lamp{lamp=\"%1\"} %2")
                   .arg(status::kBerLampId)
                   .arg(words.indexOf(status["video_ber"]["lamp"].toString()));
    for (const QString chip : {"local", "remote"}) {
        const QJsonObject told = info[chip].toObject();
        samples << QString(
                       R"(torvanreader_chip_info{chip="%1",revision="%2",role="%3",type="%4"} 1)")
                       .arg(chip, told["revision"].toString(), told["role"].toString(),
                            told["chip"].toString());
    }
    samples.sort();
    return samples;
}

} // namespace

class MonitoringTest : public QObject {
    Q_OBJECT

private slots:
    // Each family once with its HELP and TYPE before its samples; a label value with a quote and
    // a backslash escaped; a unit in use tells only that; what was not read has no sample.
    void metricsInTheTextFormat()
    {
        status::Reading read;
        read.linkUp = true;
        read.pairLevels = {{0.15625f, 0.8125f, 1.09375f, 0}};
        read.cableLength = status::CableLength{20, status::CableLength::Bound::Under};
        read.berLevel = 8;
        read.local = status::SignalLines{status::Lamp::On, status::Lamp::Off};
        const monitor::UnitReading units[]{
            {.unit = {"/dev/hidraw0", {.serial = "S\"1\\"}},
             .access = monitor::UnitReading::Access::Read,
             .answers = true,
             .status = read,
             .local = firmware::DeviceInfoBlock{{0x23, 0x07, 0x21, 0x10}}},
            {.unit = {"/dev/hidraw1", {.serial = "B2"}},
             .access = monitor::UnitReading::Access::InUse}};
        const QString text = monitor::PrometheusText(units);
        // A quote and a backslash in the serial number, escaped.
        const QString a = "serial=\"S\\\"1\\\\\",path=\"/dev/hidraw0\"",
                      b = R"(serial="B2",path="/dev/hidraw1")";
        QStringList samples = text.split('\n', Qt::SkipEmptyParts);
        samples.removeIf([](const QString& line) { return line.startsWith('#'); });
        QCOMPARE(
            samples,
            (QStringList{"torvanreader_extenders 2", "torvanreader_up{" + a + "} 1",
                         "torvanreader_up{" + b + "} 0", "torvanreader_in_use{" + a + "} 0",
                         "torvanreader_in_use{" + b + "} 1", "torvanreader_link_up{" + a + "} 1",
                         "torvanreader_pair_error_level{" + a + R"(,pair="A"} 0.15625)",
                         "torvanreader_pair_error_level{" + a + R"(,pair="B"} 0.8125)",
                         "torvanreader_pair_error_level{" + a + R"(,pair="C"} 1.09375)",
                         "torvanreader_pair_error_level{" + a + R"(,pair="D"} 0)",
                         "torvanreader_cable_length_metres{" + a + R"(,bound="under"} 20)",
                         "torvanreader_video_ber_level{" + a + "} 8",
                         "torvanreader_lamp{" + a + R"(,lamp="source_5v_tx"} 2)",
                         "torvanreader_lamp{" + a + R"(,lamp="link_5v_tx"} 2)",
                         "torvanreader_lamp{" + a + R"(,lamp="link_hpd_tx"} 0)",
                         "torvanreader_lamp{" + a + R"(,lamp="video_ber"} 1)",
                         "torvanreader_chip_info{" + a
                             + R"(,chip="local",type="QX710",revision="3072.1",role="TX"} 1)"}));
        QStringList families; // in the order their lines come
        for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
            const QString family = line.startsWith('#')
                                       ? line.section(' ', 2, 2)
                                       : line.section(QRegularExpression("[{ ]"), 0, 0);
            if (families.isEmpty() || families.last() != family)
                families << family;
        }
        QCOMPARE(families.removeDuplicates(), 0);
        QCOMPARE(text.count("# TYPE "), families.size());
        QCOMPARE(text.count("# HELP "), families.size());
        QVERIFY(monitor::HoldsOurMetrics({})); // an empty file may be replaced too
    }

    // The plugins' range syntax, and the texts that are none.
    void rangesAsPluginsHaveThem_data()
    {
        AddRows<RangeRow>({
            {"0 to 10, above", {.text = "10", .value = 10.5, .alerts = true}},
            {"0 to 10, at the end", {.text = "10", .value = 10, .alerts = false}},
            {"0 to 10, below", {.text = "10", .value = -1, .alerts = true}},
            {"from 10 up, below", {.text = "10:", .value = 9, .alerts = true}},
            {"from 10 up, far above", {.text = "10:", .value = 1e9, .alerts = false}},
            {"up to 10, far below", {.text = "~:10", .value = -1e9, .alerts = false}},
            {"up to 10, above", {.text = "~:10", .value = 11, .alerts = true}},
            {"10 to 20, outside", {.text = "10:20", .value = 21, .alerts = true}},
            {"inside 10 to 20 alerts", {.text = "@10:20", .value = 10, .alerts = true}},
            {"inside 10 to 20, outside", {.text = "@10:20", .value = 9.5, .alerts = false}},
            {"a fraction", {.text = "0.8", .value = 0.8125, .alerts = true}},
            {"start above its end",
             {.text = "2:1", .why = "'2:1' is not a range: it starts above its end"}},
            {"nothing", {.text = "", .why = "'' is not a range: '' is not a number"}},
            {"@ alone", {.text = "@", .why = "'@' is not a range: '' is not a number"}},
            {"no end after a word",
             {.text = "x:", .why = "'x:' is not a range: 'x' is not a number"}},
            {"infinity is no number",
             {.text = "inf", .why = "'inf' is not a range: 'inf' is not a number"}},
        });
    }
    void rangesAsPluginsHaveThem()
    {
        QFETCH(RangeRow, row);
        const monitor::ParsedRange parsed = monitor::ParseRange(row.text);
        QCOMPARE(parsed.why, row.why);
        QCOMPARE(parsed.range.has_value(), row.why.isEmpty());
        if (parsed.range)
            QCOMPARE(parsed.range->Alerts(row.value), row.alerts);
    }

    // --output replaces only a file that holds metrics, whole; a file that cannot be written keeps
    // the old one and says why. The report replaces a file only after a yes, or with --yes.
    void filesReplacedWhole()
    {
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        const CliResult printed = RunCli(rig.wire, "status --format prometheus");
        QCOMPARE(printed.code, 0);
        WriteFile("old.prom", "# HELP torvanreader_up old\n");
        WriteFile("notes.txt", "mine");
        const struct {
            QString arguments;
            int code;
            QString message = {}, file = {}, left = {};
        } rows[]{
            {.arguments = "status --format prometheus --output old.prom",
             .code = 0,
             .file = "old.prom",
             .left = printed.out},
            {.arguments = "status --format prometheus --output notes.txt",
             .code = 4,
             .message = "notes.txt holds something other than TorvanReader's metrics: it was not "
                        "replaced",
             .file = "notes.txt",
             .left = "mine"},
            {.arguments = "status --format prometheus --output none/x.prom",
             .code = 3,
             .message = QDir::toNativeSeparators("none/x.prom") + " cannot be written (",
             .file = "none/x.prom",
             .left = "<missing>"},
            {.arguments = "status --format text",
             .code = 2,
             .message = "--format takes prometheus, not 'text'"},
            {.arguments = "status --output x.prom",
             .code = 2,
             .message = "--output goes with --format prometheus"},
            {.arguments = "report --output notes.txt",
             .code = 4,
             .message = "not written: notes.txt was kept (--yes replaces it)",
             .file = "notes.txt",
             .left = "mine"},
            {.arguments = "report --output notes.txt --yes",
             .code = 0,
             .file = "notes.txt",
             .left = "Program\n=======\n"},
        };
        for (const auto& row : rows) {
            const CliResult run = RunCli(rig.wire, row.arguments);
            QVERIFY2(run.err.contains(row.message), qPrintable(row.arguments + ": " + run.err));
            QCOMPARE(run.code, row.code);
            QVERIFY2(row.file.isEmpty() || ReadFile(row.file).startsWith(row.left.toUtf8()),
                     qPrintable(row.arguments));
        }
        QCOMPARE(QDir().entryList(QDir::Files).size(), 2); // no temporary file left beside them
    }

    // The report on the demo's two units, the second held by another program, with a burn-in log of
    // sixty lines: what support asks for, the held unit said to be in use (that it is sent nothing
    // is the command line suite's). Without a unit it says so.
    void supportReport()
    {
        InTempDir dir;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.dir.path());
        QByteArray log;
        for (int line = 1; line <= 60; ++line)
            log += QString("2014/3/7 13:%1:0\tLink Fail.\r\n").arg(line).toUtf8();
        WriteFile("BIT.txt", log);
        demo::Extender living;
        demo::SteadyExtender steady;
        SimUnits pc({&living, &steady});
        CHidIO other(pc);
        QVERIFY(other.Open("sim:extender-2"));
        const QString history = dir.dir.filePath("history.sqlite");
        const history::Keeper keeper(history, {});
        QVERIFY(history::Store(history).Add({.time = "2026-12-08T10:00:00.000Z",
                                             .serial = "SIM0001",
                                             .action = history::kRestart}));
        const CliResult run = RunCli(pc, "--demo report --output -");
        QCOMPARE(run.code, 0);
        for (const QString& part : QStringList{
                 "Program\n=======\ntorvanreader-cli 1.0.0.1, written 2014/3/7 13:5:0\n",
                 "HID back end: simulated extenders\n", "Qt: ",
                 "Extenders\n=========\n2 found.\n\nsim:extender\n  Serial number: SIM0001\n",
                 "  Access: answers the connect check\n  Local (TX):\tQX710\t3072.1\tTX\n  Remote "
                 "(RX):\tQX720\t3072.1\tRX\n  Local (TX)   Torvan Mode: HDBT   Source Type: HDMI "
                 "without HDCP/ DVI\n",
                 "  Cable Len: 42m   Video BER: on (level 10)   Link: up\n",
                 QString(
                     "sim:extender-2\n  Serial number: SIM0002\n  Manufacturer: Torvan   Product: "
                     "Simulated HDBaseT extender\n  Access: in use: sim:extender-2 is in use by "
                     "tst_monitoring (process %1)\n\nSettings\n")
                     .arg(QCoreApplication::applicationPid()),
                 "Burn-in log\n===========\n"
                     + QDir::toNativeSeparators(dir.dir.filePath("BIT.txt"))
                     + ", its last 50 lines:\n  2014/3/7 13:11:0\tLink Fail.\n",
                 QString("  2014/3/7 13:60:0\tLink Fail.\n\n"),
                 "Update history\n==============\n" + QDir::toNativeSeparators(history)
                     + ", the last change to the extenders above, newest first:\n  "
                       "2026-12-08T10:00:00.000Z\tSIM0001\t\trestart"})
            QVERIFY2(run.out.contains(part), qPrintable(part + "\nnot in:\n" + run.out));
        SimUnits none({});
        const CliResult alone = RunCli(none, "report");
        QCOMPARE(alone.code, 0);
        QVERIFY2(alone.out.endsWith("/torvanreader-report-20140307-130500.txt\n"),
                 qPrintable(alone.out));
        QVERIFY(ReadFile("torvanreader-report-20140307-130500.txt")
                    .contains("Extenders\n=========\n0 found.\n\nSettings"));
        QVERIFY(ReadFile("torvanreader-report-20140307-130500.txt").contains("BIT.txt, its last"));
    }

    // The report's update history: the last 20 changes to the units present, newest first, and
    // what it says where there are none yet or the file cannot be read.
    void supportReportHistory()
    {
        InTempDir dir;
        const QString file = dir.dir.filePath("history.sqlite"),
                      shown = QDir::toNativeSeparators(file);
        const monitor::UnitReading present[]{{.unit = {"sim:unit1", {.serial = "U1"}}}};
        const auto lines = [&](std::span<const monitor::UnitReading> units) {
            return monitor::HistorySection(file, units).split('\n');
        };
        QCOMPARE(lines(present).at(2), shown + ": none yet, it starts with the first update");
        {
            history::Store store(file);
            for (int row = 0; row < 22; ++row) // the newest of another unit
                QVERIFY(store.Add(
                    {.time = QString("2026-12-08T10:00:%1.000Z").arg(row, 2, 10, QChar('0')),
                     .serial = row == 21 ? "GONE" : "U1",
                     .path = "sim:unit1",
                     .action = history::kRestart}));
        }
        const QStringList shownRows = lines(present);
        QCOMPARE(shownRows.at(2),
                 shown + ", the last 20 changes to the extenders above, newest first:");
        QVERIFY(shownRows.at(3).startsWith("  2026-12-08T10:00:20.000Z\tU1\tsim:unit1\trestart"));
        QVERIFY(shownRows.at(22).startsWith("  2026-12-08T10:00:01.000Z\tU1"));
        QCOMPARE(shownRows.at(23), "");
        QCOMPARE(lines({}).at(2), shown + ": no extender is present to show the history of");
        WriteFile(file, QByteArray(4096, 'x')); // damaged
        QVERIFY2(
            lines(present).at(2).startsWith("The update history cannot be read: " + shown + " ("),
            qPrintable(lines(present).at(2)));
    }

    // The demo's metrics as the timer writes them, clean for promtool, scraped through
    // node_exporter's textfile collector by a Prometheus server every second and read back from its
    // query API: for each unit the values that status --json and info --json print.
    void scrapedByPrometheus()
    {
        const QString exporter = QStandardPaths::findExecutable("prometheus-node-exporter"),
                      server = QStandardPaths::findExecutable("prometheus"),
                      promtool = QStandardPaths::findExecutable("promtool");
        if (exporter.isEmpty() || server.isEmpty() || promtool.isEmpty())
            QSKIP("Prometheus and node_exporter are missing: Debian's prometheus and "
                  "prometheus-node-exporter, which scripts/torvan.sh test installs");
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("textfile"));
        const QString file = dir.filePath("textfile/torvanreader.prom");
        const QProcessEnvironment home = ProgramEnvironment(dir.path());
        const Ran wrote = RunProgram(
            TORVAN_CLI, {"--demo", "status", "--format", "prometheus", "--output", file}, home);
        QVERIFY2(wrote.exit == 0, qPrintable(wrote.err));
        const Ran checked = RunProgram(promtool, {"check", "metrics"},
                                       QProcessEnvironment::systemEnvironment(), ReadFile(file));
        QCOMPARE(checked.exit, 0);
        QCOMPARE(checked.out, "");
        QCOMPARE(checked.err, "");
        struct Unit {
            QString serial, path;
            QStringList expected;
        } units[]{{"SIM0001", "sim:extender", {}}, {"SIM0002", "sim:extender-2", {}}};
        for (Unit& unit : units) {
            const auto json = [&](const QString& command) {
                const Ran ran = RunProgram(
                    TORVAN_CLI, {"--demo", "--json", "--device", unit.path, command}, home);
                return QJsonDocument::fromJson(ran.out.toUtf8()).object();
            };
            unit.expected = SamplesOfJson(json("status"), json("info"));
            QCOMPARE(UnitSamples(ReadFile(file), unit.serial), unit.expected);
        }
        Engine node, prometheus;
        QVERIFY(node.Start(exporter,
                           "--web.listen-address=127.0.0.1:%1 --collector.disable-defaults "
                           "--collector.textfile --collector.textfile.directory="
                               + dir.filePath("textfile"),
                           "Listening on"));
        WriteFile(dir.filePath("prometheus.yml"),
                  "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: extenders\n"
                  "    static_configs:\n      - targets: ['"
                      + node.Address().toUtf8() + "']\n");
        QVERIFY(prometheus.Start(server,
                                 "--config.file=" + dir.filePath("prometheus.yml")
                                     + " --storage.tsdb.path=" + dir.filePath("data")
                                     + " --web.listen-address=127.0.0.1:%1",
                                 "Server is ready to receive web requests."));
        QString answer;
        QElapsedTimer waited;
        waited.start();
        do { // the first scrape comes within a second or two of the server's start
            answer = RunProgram(promtool, {"query", "instant", "http://" + prometheus.Address(),
                                           R"({__name__=~"torvanreader_.+"})"})
                         .out;
        } while (UnitSamples(answer, "SIM0002").size() < units[1].expected.size()
                 && waited.elapsed() < 20000 && (QTest::qWait(250), true));
        for (const Unit& unit : units)
            QCOMPARE(UnitSamples(answer, unit.serial), unit.expected);
    }
};

QTEST_MAIN(MonitoringTest)
#include "tst_monitoring.moc"
