// The burn-in run: its logging rules over simulated seconds, the page with its sample on the wire,
// chart, clock-and-log thread and notices, the command line's log beside it, and the report.
#include "Rig.h"
#include "TestPlatform.h"
#include "burnin/BurnInSession.h"
#include "burnin/ChartTraces.h"
#include "burnin/ChartView.h"
#include "burnin/DescriptionDlg.h"

using enum BurnInControl::Id; // the page's controls by name

namespace {

// What a sample finds: link, video, 5 V, HPD, each G good (link 4, video 3), g the lowest good
// value (1), b the lowest bad one above (link 5, video 4), B bad (0), R not acknowledged.
void Answer(Rig& rig, const QString& s)
{
    const auto hex = [](int value) { return QString::number(value, 16).rightJustified(2, '0'); };
    const auto level = [&](QChar c, int good) {
        return c == 'R' ? "" : hex(c == 'G' ? good : c == 'g' ? 1 : c == 'b' ? good + 1 : 0);
    };
    const QString lines =
        s[2] == 'R' || s[3] == 'R' ? "" : hex((s[2] == 'G' ? 4 : 0) | (s[3] == 'G'));
    rig.Set(QString("0201=%1 0202=%2 010b=%3").arg(level(s[0], 4), level(s[1], 3), lines));
}

// The tool window with its Burn-In Test page on a fake clock, in a directory of its own; samples
// and clock cycles come only when the test runs them, unless the timing says otherwise.
struct BurnIn {
    InTempDir dir;
    Rig rig;
    FakeClock clock;
    CBIT* page;

    explicit BurnIn(BurnInTiming timing = {{}, {1h, 2h, 3h, 4h}, 1s, true})
    {
        rig.Open();
        page = &rig.page<CBIT>();
        timing.clock = clock.Reader();
        page->SetTiming(timing);
        Answer(rig, "GGGG");
        rig.wire.Clear();
    }
    // The page run on (started if need be), each second the clock-and-log cycle, then the sample;
    // the log it leaves.
    QByteArray Run(const QString& seconds)
    {
        if (!page->IsRunning())
            Click(page, StartStop);
        for (const QString& run : seconds.split(' ')) // "BGGG*5": five seconds alike
            for (int i = std::max(1, run.section('*', 1).toInt()); i > 0; --i) {
                ++clock.seconds;
                Answer(rig, run.left(4));
                page->ClockLogCycle();
                page->OnTimer();
            }
        ++clock.seconds;
        page->ClockLogCycle();
        return ReadFile("BIT.txt");
    }
};

// A command line run: its arguments (two seconds' run unless said), the samples (as Run takes
// them), whether BIT.txt holds an entry before it, clicks on the page's Start/Stop before it or a
// Start during it, the exit code and what it tells ("PID" this program's process).
struct CommandRun {
    QString arguments = "burn-in --duration 2s", samples;
    bool logHeld = false;
    int clicksBefore = 0;
    bool startDuring = false;
    int exit = 0;
    QString told;
};

} // namespace

class BurnInTest : public QObject {
    Q_OBJECT

private slots:
    // Link and video count every bad sample since their last entry, 5 V and HPD a run. The
    // entries as "second text".
    void loggingRules_data()
    {
        AddRows<std::pair<QString, QString>>({
            {"link bad every other second",
             {"BGGG GGGG BGGG GGGG BGGG GGGG BGGG GGGG BGGG GGGG BGGG", "12 Link Fail.\r\n"}},
            {"link bad five seconds", {"BGGG*5 GGGG*5", ""}},
            {"link bad twelve seconds", {"BGGG*12", "7 Link Fail.\r\n13 Link Fail.\r\n"}},
            {"video bad six of seven", {"GBGG*5 GGGG GBGG", "8 No Video Signal.\r\n"}},
            {"5V bad, a run of six", {"GGBG*5 GGGG GGBG*6", "13 No 5V from Source.\r\n"}},
            {"HPD bad, runs of five", {"GGGB*5 GGGG GGGB*5", ""}},
            {"HPD bad, a run of six", {"GGGB*6", "7 No HPD .\r\n"}},
            {"the lowest good levels", {"ggGG*6 GGGG*6", ""}},
            {"the lowest bad levels", {"bbGG*6", "7 Link Fail.\r\n7 No Video Signal.\r\n"}},
            {"everything bad",
             {"BBBB*6",
              "7 No HPD .\r\n7 Link Fail.\r\n7 No Video Signal.\r\n7 No 5V from Source.\r\n"}},
            {"reads refused", {"RGRR*6", "7 No HPD .\r\n7 Link Fail.\r\n7 No 5V from Source.\r\n"}},
        });
    }
    void loggingRules()
    {
        const auto& [seconds, entries] = Fetch<std::pair<QString, QString>>();
        QCOMPARE(QString(BurnIn().Run(seconds))
                     .replace(QRegularExpression("2014/3/7 13:5:(\\d+)\t"), "\\1 "),
                 entries);
    }

    // An entry takes off what it logged: failures counted meanwhile stay, a good 5 V sample starts
    // its run again. Counters stop at 255.
    void entryTakesOffWhatItLogged()
    {
        SampleRecorder recorder;
        for (int i = 0; i < 9; ++i)
            recorder.Record({false, true, i == 7, true});
        recorder.Consume(Trace::Link, 6);
        recorder.Consume(Trace::FiveVolt, 6);
        QCOMPARE(recorder.Counter(Trace::Link), 3);
        QCOMPARE(recorder.Counter(Trace::FiveVolt), 1);
        for (int i = 0; i < 300; ++i)
            recorder.Record({false, true, true, true});
        QCOMPARE(recorder.Counter(Trace::Link), 255);
    }

    // The report: the header with the description, then the log as far as it is whole.
    void reportSaved()
    {
        BurnIn run;
        const QByteArray rule = QByteArray(60, '*') + "\r\n";
        const QByteArray header =
            rule + "2014/3/7 13:5:0\r\nSeries:QX710\r\nDescription:\r\n" + rule + "Rack 4\r\n";
        const QByteArray log = "2014/3/7 13:5:6\tLink Fail.\r\n2014/3/7 13:5:12\tNo HPD .\r\n";
        QStringList chosen{"first", "second.txt", "", "no such folder/report", "first", "first"};
        CDescription::SetSaveNameChooser([&](QWidget*) { return chosen.takeFirst(); });
        WhenModal([&](QWidget* dialog) {
            auto* text = ui::FindControl<QPlainTextEdit>(dialog, DescriptionControl::Text);
            QTest::keyClicks(text, "Rack 4");
            QCOMPARE(dialog->windowTitle(), "Description");
            QCOMPARE(text->toPlainText() + "\n", QString(header).replace("\r\n", "\n"));
            auto* saveAs = ui::FindControl<QPushButton>(dialog, DescriptionControl::SaveAs);
            saveAs->click(); // no log: an empty log part, and the log is not created
            QCOMPARE(ReadFile("first.txt"), header + "\t");
            QVERIFY(!QFile::exists("BIT.txt"));
            run.clock.seconds += 60; // the header keeps the time the dialog opened
            // An entry being written as the report reads is left out.
            WriteFile("BIT.txt", QByteArray(log).replace("Fail.\r\n", "Fail.\r\r\n") + "2014/3/7");
            saveAs->click();
            QCOMPARE(ReadFile("second.txt.txt"), header + log + "\t");
            saveAs->click(); // cancelled: nothing written
            saveAs->click(); // cannot be written: the name and the reason
            run.rig.answers = {false, true};
            saveAs->click(); // an existing file is replaced only when the user says so
            QCOMPARE(ReadFile("first.txt"), header + "\t");
            saveAs->click();
            QCOMPARE(ReadFile("first.txt"), header + log + "\t");
            const QString replace = "first.txt already exists. Replace it with this report?";
            QCOMPARE(run.rig.boxes.size(), 3);
            QVERIFY2(run.rig.boxes[0].startsWith(
                         "The report could not be saved as no such folder/report.txt:\n"),
                     qPrintable(run.rig.boxes[0]));
            QCOMPARE(run.rig.boxes.mid(1), QStringList(2, replace));
        });
        Click(run.page, SaveAs);
        CDescription::SetSaveNameChooser({});
        QCOMPARE(chosen, QStringList());
        QCOMPARE(QDir().entryList(QDir::Files).size(), 3);
    }

    // With its clock-and-log thread the page logs on its own time.
    void logsOnItsOwnThread()
    {
        BurnIn live({{}, {1h, 1h, 1h, 1h}, 10ms, false});
        Click(live.page, StartStop);
        Answer(live.rig, "GGGB");
        for (int i = 0; i < 6; ++i)
            live.page->OnTimer();
        live.clock.seconds += 30;
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1);
        QTRY_COMPARE(Text(live.page, Time), "2014/3/7 13:5:30");
        for (int i = 0; i < 40; ++i) // Stop and Start, 20 times within a cycle: the new run logs
            Click(live.page, StartStop);
        for (int i = 0; i < 6; ++i)
            live.page->OnTimer();
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1); // emptied by Start, logged again
    }

    // Start, a sample and Stop, and the period chosen.
    void runsOnThePage()
    {
        BurnIn run;
        auto* period = ui::FindControl<QComboBox>(run.page, Period);
        QStringList items;
        for (int i = 0; i < period->count(); ++i)
            items << period->itemText(i);
        QCOMPARE(period->currentText(), "1 second");
        QCOMPARE(items, (QStringList{"1 second", "10 second", "1 minute", "10 minute"}));
        WriteFile("BIT.txt", "2014/3/6 9:0:0\tLink Fail.\r\n");
        run.clock.seconds = FakeClock::At(QDate(2014, 2, 1), QTime(9, 5, 3));
        Click(run.page, StartStop);
        QCOMPARE(Texts(run.page, {StartStop, Time}), (QStringList{"Stop", "2014/2/1 9:5:3"}));
        QCOMPARE(ReadFile("BIT.txt"), "");        // emptied
        QCOMPARE(run.rig.Commands(), Payloads()); // the first sample comes one period later
        run.page->OnTimer();
        QCOMPARE(run.rig.Commands(), Wire("aa01ab 020103 020204 010b0c")); // a sample
        run.Run("BGGG*6");
        QTRY_COMPARE(Text(run.page, Time), "2014/2/1 9:5:10");
        Click(run.page, StartStop);
        QCOMPARE(Text(run.page, StartStop), "Start");
        QCOMPARE(ReadFile("BIT.txt"), "2014/2/1 9:5:10\tLink Fail.\r\n"); // kept
        run.rig.wire.Clear();
        run.page->OnTimer();
        QCOMPARE(run.rig.Commands(), Payloads());
        period->setCurrentIndex(2); // the chosen item's period
        Click(run.page, StartStop);
        QCOMPARE(run.page->findChild<QTimer*>("sampleTimer")->interval(), 3 * 3600 * 1000);
    }

    // The chart of a new run: thirty samples, then scrolled by one; the picture stays after Stop.
    void chartOfANewRun()
    {
        BurnIn run;
        auto* chart = ui::FindControl<ChartView>(run.page, Chart);
        QCOMPARE(chart->accessibleDescription(), "No sample yet");
        run.Run(QString("GGGG GGGG BGGG ").repeated(10).trimmed()); // the link down on every third
        const auto thirty = ChartTraces(run.page->Chart());
        QCOMPARE(thirty[0].points.size(), 30);
        QCOMPARE(thirty[0].points[2], QPoint(32, 50));
        QCOMPARE(thirty[0].points.last(), QPoint(464, 50));
        QCOMPARE(thirty[1].points[0], QPoint(0, 80));
        QCOMPARE(thirty[2].points[0], QPoint(0, 170));
        QVERIFY(!thirty[0].newestGood);
        QVERIFY(thirty[3].newestGood);
        run.Run("GGBB");                                    // 5V and HPD down on the 31st
        const auto traces = ChartTraces(run.page->Chart()); // scrolled by one: sample 3 at x 16
        QCOMPARE(traces[0].points[1], QPoint(16, 50));
        QCOMPARE(traces[0].points.last(), QPoint(464, 20));
        QCOMPARE(traces[2].points.last(), QPoint(464, 190));
        QCOMPARE(traces[3].points.last(), QPoint(464, 280));
        Click(run.page, StartStop);
        chart->Refresh();
        QCOMPARE(chart->accessibleDescription(),
                 "Newest sample: Link good, Video Signal good, 5V bad, HPD bad");
        const QImage picture = chart->grab().toImage(); // each trace in its newest sample's colour
        QCOMPARE(picture.pixelColor(200, 80), QColor(0, 255, 0));
        QCOMPARE(picture.pixelColor(200, 170), QColor(Qt::red));
    }

    // A log that cannot be written is told once, in the page, from the clock's start again.
    void logThatCannotBeWrittenToldOnce()
    {
        BurnIn run;
        QVERIFY(QDir().mkdir("BIT.txt"));
        Click(run.page, StartStop);
        auto* notice = run.page->findChild<QLabel*>("logNotice");
        const QString told = notice->text();
        QVERIFY(!notice->isHidden());
        QVERIFY2(told.startsWith("BIT.txt cannot be written ("), qPrintable(told));
        run.Run("BGGG*8");
        QCoreApplication::processEvents();
        QCOMPARE(notice->text(), told);
        QCOMPARE(run.rig.boxes, QStringList());
        QVERIFY(QDir().rmdir("BIT.txt"));
        run.page->ClockLogCycle(); // the kept failures go in once it can be written
        QCOMPARE(ReadFile("BIT.txt"), "2014/3/7 13:5:9\tLink Fail.\r\n");
        Click(run.page, StartStop);
        Click(run.page, StartStop);
        QVERIFY(notice->isHidden());
        QVERIFY(QFile::remove("BIT.txt"));
        QVERIFY(QDir().mkdir("BIT.txt"));
        Click(run.page, StartStop);
        Click(run.page, StartStop); // a new run tells it again
        QVERIFY(!notice->isHidden());
    }

    // A log that cannot be written is named as given, with the system's own cause, and keeps what
    // it held.
    void logWriteFailures_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("cause");
        AddLogWriteFailureRows(); // the system's own faults and words
    }
    void logWriteFailures()
    {
        QFETCH(QString, log);
        QFETCH(QString, cause);
        InTempDir dir;
        QDir().mkdir("folder");
        const QByteArray entry = "2014/3/7 13:5:0\tLink Fail.\r\n"; // 28 bytes
        BurnInLogFile file(log);
        file.Append(entry);
        const std::optional<LogError> error = [&] {
            const LogWriteFault fault(log); // the second entry goes in in part, or not at all
            return file.Append(entry);
        }();
        QVERIFY(error);
        QCOMPARE(burnin::LogFailureNotice(*error),
                 log + " cannot be written (" + cause
                     + "); failures are kept and logged when it can.");
        if (log == "BIT.txt")
            QCOMPARE(ReadFile(log), entry);
    }

    // The command line's run: exit 5 and the counts that failed when any sample failed, 0 for a
    // clean run; duration over period samples, however long the answers take; a log that holds
    // entries, BIT.txt as any other, kept unless the user says otherwise; one run at a time holds
    // the log, the page's or the command's, and the other is told who has it and changes nothing;
    // a log whose hold cannot be made is not taken for free, and the system's cause is said.
    // A run that starts logs what the page logs for the same samples, and prints a line a sample.
    void commandRuns_data()
    {
        const QString two = CommandRun().arguments, yes = two + " --yes";
        const QString inUse = "BIT.txt is in use by tst_burnin (process PID)";
        AddRows<CommandRun>({
            {"clean run",
             {.samples = "GGGG*2",
              .told = "2 samples; bad: Link 0, Video Signal 0, 5V 0, HPD 0; 0 entries logged in "
                      "BIT.txt; no sample failed\n"}},
            {"HPD failed",
             {.samples = "GGGB*2",
              .exit = 5,
              .told = "HPD 2; 0 entries logged in BIT.txt; failed: HPD\n"}},
            {"failed counts in JSON",
             {.arguments = "--json burn-in --period 10s --duration 25s",
              .samples = "BBGG*2",
              .exit = 5,
              .told = R"("failed":["link","video"],"format":2,"log":"BIT.txt","samples":2})"}},
            {"BIT.txt holding entries kept",
             {.samples = "GGGG",
              .logHeld = true,
              .exit = 4,
              .told = "burn-in: not started: BIT.txt was kept (--yes empties it)\n"}},
            {"command line while the page runs",
             {.arguments = yes,
              .samples = "GGGG",
              .logHeld = true,
              .clicksBefore = 1,
              .exit = 1,
              .told = "not started: " + inUse + "; --log names another file"}},
            {"command line after the page stopped, --yes",
             {.arguments = yes,
              .samples = "GGGG*2",
              .logHeld = true,
              .clicksBefore = 2,
              .told = "2 samples"}},
            {"the link down and HPD bad throughout",
             {.arguments = "burn-in --period 1s --duration 14s",
              .samples = "BGGB*14",
              .exit = 5,
              .told =
                  "Link bad   Video Signal good   5V good   HPD bad\nBurn-in ended (duration): 14 "
                  "samples; bad: Link 14, Video Signal 0, 5V 0, HPD 14; 4 entries logged in "
                  "BIT.txt; failed: Link, HPD\n"}},
            {"log whose hold cannot be made",
             {.arguments = two + " --log no/such/BIT.txt",
              .samples = "GGGG",
              .exit = 1,
              .told = "not started: no/such/BIT.txt cannot be kept for this run: HOLD cannot be "
                      "made ("
                      + kMissingFolderCause + ")"}},
            {"page while the command line runs",
             {.samples = "GGGG*2",
              .startDuring = true,
              .told = inUse + ". Start the test again when that run has ended."}},
        });
    }
    void commandRuns()
    {
        QFETCH(CommandRun, row);
        const QByteArray logged = BurnIn().Run(row.samples);
        BurnIn run;
        run.rig.main->Channel().Transport().Close(); // the unit is the command line's
        Answer(run.rig, row.samples.left(4));
        for (int i = 0; i < row.clicksBefore; ++i)
            Click(run.page, StartStop);
        const QByteArray log = row.logHeld ? "2014/3/6 9:0:0\tNo HPD .\r\n" : "";
        WriteFile("BIT.txt", log);
        bool startPending = row.startDuring;
        const CliResult cli =
            RunCli(run.rig.wire, row.arguments, &run.clock, false, [&](auto& now, auto&) {
                now += 7ms; // each answer takes its time
                if (startPending && now >= 1s) {
                    startPending = false;
                    Click(run.page, StartStop);
                }
            });
        QCOMPARE(cli.code, row.exit);
        const QString shown = cli.out + cli.err + run.rig.boxes.join('\n');
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString hold =
            QDir::toNativeSeparators(QDir().absoluteFilePath("no/such/BIT.txt.lock"));
        QVERIFY2(shown.contains(QString(row.told).replace("PID", pid).replace("HOLD", hold)),
                 qPrintable(shown));
        QCOMPARE(run.page->IsRunning(), row.clicksBefore == 1);
        // A run refused (1) or a log kept (4) leaves it as it was; else it is emptied first.
        QCOMPARE(ReadFile("BIT.txt"), row.exit == 1 || row.exit == 4 ? log : logged);
        const QString counted = QRegularExpression("(\\d+) samples").match(cli.out).captured(1);
        QCOMPARE(cli.out.count("   HPD "), counted.toInt());
    }
};

QTEST_MAIN(BurnInTest)
#include "tst_burnin.moc"
