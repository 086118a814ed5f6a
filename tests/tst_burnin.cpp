// The burn-in run: its logging rules over simulated seconds, the page with its sample on the wire,
// chart, clock-and-log thread and notices, and the report saved from it.
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

#include "Rig.h"
#include "burnin/BurnInPage.h"
#include "burnin/BurnInSession.h"
#include "burnin/ChartTraces.h"
#include "burnin/ChartView.h"
#include "burnin/CycleWorker.h"
#include "burnin/DescriptionDlg.h"
#include "burnin/ReportText.h"

using namespace std::chrono_literals;

namespace {

const Payloads kSample{Hex("aa01ab"), Hex("020103"), Hex("020204"), Hex("010b0c")};

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

// "BGGG*5 GGGG": what each second's sample finds, with repeats.
QStringList Seconds(const QString& runs)
{
    QStringList seconds;
    for (const QString& run : runs.split(' '))
        seconds += QStringList(run.section('*', 1).isEmpty() ? 1 : run.section('*', 1).toInt(),
                               run.left(4));
    return seconds;
}

// The tool window with its Burn-In Test page on a fake clock; samples and clock cycles only when
// the test runs them, unless timing says otherwise.
struct BurnIn {
    InTempDir dir;
    Rig rig;
    FakeClock clock;
    CBIT* page;

    explicit BurnIn(std::function<void(BurnInTiming&)> adjust = {})
    {
        rig.Open();
        page = &rig.page<CBIT>();
        BurnInTiming timing;
        timing.periods = {1h, 1h, 1h, 1h};
        timing.manualCycle = true;
        timing.clock = clock.Reader();
        if (adjust)
            adjust(timing);
        page->SetTiming(timing);
        Answer(rig, "GGGG");
        rig.wire.Clear();
    }
    qsizetype Samples() const { return rig.Commands().size() / 4; }
};

} // namespace

class BurnInTest : public QObject {
    Q_OBJECT

private slots:
    // One sample and one clock-and-log cycle per second; the entries by the second they came.
    void loggingRules()
    {
        const std::pair<const char*, const char*> table[]{
            // Link and video count every bad sample since their last entry, 5 V and HPD a run.
            {"BGGG GGGG BGGG GGGG BGGG GGGG BGGG GGGG BGGG GGGG BGGG", "11 Link Fail."},
            {"BGGG*5 GGGG*5", ""},
            {"BGGG*12", "6 Link Fail.|12 Link Fail."},
            {"GBGG*5 GGGG GBGG", "7 No Video Signal."},
            {"GGBG*5 GGGG GGBG*5", ""},
            {"GGBG*5 GGGG GGBG*6", "12 No 5V from Source."},
            {"GGGB*5 GGGG GGGB*5", ""},
            {"GGGB*12", "6 No HPD .|12 No HPD ."},
            {"ggGG*6 GGGG*6", ""},
            {"bbGG*6", "6 Link Fail.|6 No Video Signal."},
            {"BBBB*6", "6 No HPD .|6 Link Fail.|6 No Video Signal.|6 No 5V from Source."},
            {"RGRR*6", "6 No HPD .|6 Link Fail.|6 No 5V from Source."}};
        for (const auto& [seconds, entries] : table) {
            BurnIn run;
            BurnInSession session(run.clock.Reader());
            QVERIFY(session.Begin().ok);
            for (const QString& signal : Seconds(seconds)) {
                ++run.clock.seconds;
                Answer(run.rig, signal);
                QVERIFY(session.Sample(*run.rig.tool) && !session.ClockLogCycle().writeError);
            }
            QStringList logged;
            for (const QByteArray& entry : ReadFile("BIT.txt").split('\n')) {
                if (!entry.isEmpty()) {
                    const QList<QByteArray> parts = entry.split('\t');
                    logged << parts[0].mid(parts[0].lastIndexOf(':') + 1) + " "
                                  + parts[1].chopped(1);
                    QVERIFY(parts[1].endsWith('\r'));
                }
            }
            QVERIFY2(logged.join('|') == entries,
                     qPrintable(seconds + QString(": ") + logged.join('|')));
        }
    }

    void logEntriesAndCounters()
    {
        BurnIn run;
        BurnInSession session(run.clock.Reader());
        WriteFile("BIT.txt", "old\r\n");
        session.Begin(); // a new run empties the log
        Answer(run.rig, "BGGG");
        for (int second = 1; second <= 61; ++second) {
            ++run.clock.seconds;
            session.Sample(*run.rig.tool);
            session.ClockLogCycle();
        }
        QByteArray expected; // no leading zeros, CR LF on every platform
        for (int second = 6; second <= 60; second += 6)
            expected += QString("2014/3/7 13:%1:%2\tLink Fail.\r\n")
                            .arg(5 + second / 60)
                            .arg(second % 60)
                            .toLatin1();
        QCOMPARE(ReadFile("BIT.txt"), expected);
        QCOMPARE(session.Recorder().Counter(Trace::Link), 1);

        QFile::remove("BIT.txt"); // a log that cannot be written keeps the counters until it can
        QVERIFY(QDir().mkdir("BIT.txt"));
        for (int second = 0; second < 6; ++second) {
            session.Sample(*run.rig.tool);
            QCOMPARE(bool(session.ClockLogCycle().writeError), second >= 4);
        }
        QCOMPARE(session.Recorder().Counter(Trace::Link), 7);
        QVERIFY(QDir().rmdir("BIT.txt") && !session.ClockLogCycle().writeError);
        QCOMPARE(ReadFile("BIT.txt"), "2014/3/7 13:6:1\tLink Fail.\r\n");

        // An entry takes off what it logged: failures counted meanwhile stay, a good 5 V sample
        // starts its run again. Counters stop at 255.
        SampleRecorder recorder;
        for (int i = 0; i < 9; ++i)
            recorder.Record({false, true, i == 7, true});
        recorder.Consume(Trace::Link, 6);
        recorder.Consume(Trace::FiveVolt, 6);
        QVERIFY(recorder.Counter(Trace::Link) == 3 && recorder.Counter(Trace::FiveVolt) == 1);
        for (int i = 0; i < 300; ++i)
            recorder.Record({false, true, true, true});
        QCOMPARE(recorder.Counter(Trace::Link), 255);
    }

    void startSampleStop()
    {
        BurnIn run;
        auto* period = ui::FindControl<QComboBox>(run.page, 1107);
        QStringList items;
        for (int i = 0; i < period->count(); ++i)
            items << period->itemText(i);
        QCOMPARE(items.join('|') + period->currentText(),
                 "1 second|10 second|1 minute|10 minute1 second");
        WriteFile("BIT.txt", "2014/3/6 9:0:0\tLink Fail.\r\n");
        run.clock.seconds = QDateTime(QDate(2014, 2, 1), QTime(9, 5, 3)).toSecsSinceEpoch();
        Click(run.page, 1103);
        QCOMPARE(Texts(run.page, {1103, 1120}), "Stop|2014/2/1 9:5:3");
        QCOMPARE(ReadFile("BIT.txt"), "");   // Start empties the log
        QVERIFY(run.rig.Commands().empty()); // the first sample comes one period later
        run.page->OnTimer();
        QCOMPARE(run.rig.Commands(), kSample);
        Answer(run.rig, "BGGG");
        for (int i = 0; i < 6; ++i)
            run.page->OnTimer();
        run.clock.seconds += 7;
        run.page->ClockLogCycle();
        QTRY_COMPARE(Text(run.page, 1120), "2014/2/1 9:5:10");
        Click(run.page, 1103);
        QCOMPARE(Text(run.page, 1103), "Start");
        QCOMPARE(ReadFile("BIT.txt"), "2014/2/1 9:5:10\tLink Fail.\r\n"); // Stop keeps the log
        run.rig.wire.Clear();
        run.page->OnTimer();
        QVERIFY(run.rig.Commands().empty());

        BurnIn timed([](BurnInTiming& timing) { timing.periods[1] = 20ms; });
        ui::FindControl<QComboBox>(timed.page, 1107)->setCurrentIndex(1);
        Click(timed.page, 1103);
        QTRY_VERIFY(timed.Samples() >= 3);
        Click(timed.page, 1103);
        const Payloads sent = timed.rig.Commands();
        for (size_t i = 0; i < sent.size(); ++i)
            QCOMPARE(sent[i], kSample[i % 4]);
    }

    void chartOfThirtySamples()
    {
        BurnIn run;
        run.rig.tool->show();
        auto* tabs = ui::FindControl<QTabWidget>(run.rig.tool.get(), 1004);
        tabs->setCurrentIndex(PerformanceTool::BurnInTab);
        Click(run.page, 1103);
        auto* chart = ui::FindControl<ChartView>(run.page, 1105);
        const auto pixel = [&](int x, int y) { return chart->grab().toImage().pixelColor(x, y); };
        QCOMPARE(pixel(8, 20), QColor(Qt::black));
        QCOMPARE(chart->accessibleDescription(), "No sample yet");
        const auto sample = [&](int k) { // the link down on every third, HPD on the 31st only
            Answer(run.rig, QString(k % 3 ? "G" : "B") + "GG" + (k == 31 ? "B" : "G"));
            run.page->OnTimer();
        };
        for (int k = 1; k <= 30; ++k)
            sample(k);
        auto traces = ChartTraces(run.page->Chart());
        QCOMPARE(traces[0].points.size(), 30);
        QVERIFY(traces[0].points[1] == QPoint(16, 20) && traces[0].points[2] == QPoint(32, 50));
        QVERIFY(traces[0].points.last() == QPoint(464, 50) && traces[1].points[0] == QPoint(0, 80));
        QVERIFY(traces[2].points[0] == QPoint(0, 170) && !traces[0].newestGood
                && traces[3].newestGood);
        QVERIFY(pixel(8, 20) == QColor(255, 0, 0) && pixel(8, 260) == QColor(0, 255, 0));
        sample(31); // scrolled by one: sample 3 is now at x 16
        traces = ChartTraces(run.page->Chart());
        QVERIFY(traces[0].points[1] == QPoint(16, 50)
                && traces[0].points.last() == QPoint(464, 20));
        QCOMPARE(traces[3].points.last(), QPoint(464, 280));
        chart->Refresh();
        QCOMPARE(chart->accessibleDescription(),
                 "Newest sample: Link good, Video Signal good, 5V good, HPD bad");
        const QImage picture = chart->grab().toImage();
        QCOMPARE(picture.pixelColor(424, 20), QColor(0, 255, 0));
        Click(run.page, 1103); // the picture stays after Stop and a trip to another tab
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(PerformanceTool::BurnInTab);
        QCOMPARE(chart->grab().toImage(), picture);
    }

    void unwritableLogIsToldOnceInThePage()
    {
        BurnIn run;
        QVERIFY(QDir().mkdir("BIT.txt"));
        Click(run.page, 1103);
        QLabel* notice = nullptr;
        for (QLabel* label : run.page->findChildren<QLabel*>())
            notice = !label->isHidden() && label->text().contains("BIT.txt") ? label : notice;
        QVERIFY(notice);
        const QString told = notice->text();
        Answer(run.rig, "BGGG");
        for (int i = 0; i < 8; ++i) {
            run.page->OnTimer();
            run.page->ClockLogCycle();
        }
        QCoreApplication::processEvents();
        QVERIFY(notice->text() == told && run.rig.boxes.isEmpty());
        QVERIFY(QDir().rmdir("BIT.txt"));
        run.page->ClockLogCycle(); // the kept failures go in once it can be written
        QCOMPARE(ReadFile("BIT.txt"), "2014/3/7 13:5:0\tLink Fail.\r\n");
        Click(run.page, 1103);
        Click(run.page, 1103);
        QVERIFY(notice->isHidden());
    }

    void clockAndLogThreadFollowsTheRun()
    {
        BurnIn run([](BurnInTiming& timing) {
            timing.manualCycle = false;
            timing.cycle = 10ms;
        });
        Click(run.page, 1103);
        Answer(run.rig, "GGGB");
        for (int i = 0; i < 6; ++i)
            run.page->OnTimer();
        run.clock.seconds += 30;
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1);
        QTRY_COMPARE(Text(run.page, 1120), "2014/3/7 13:5:30");
        for (int i = 0; i < 20; ++i) { // Stop and Start within a cycle: one thread goes on
            Click(run.page, 1103);
            Click(run.page, 1103);
        }
        for (int i = 0; i < 6; ++i)
            run.page->OnTimer();
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1); // emptied by Start, logged again
        ++run.clock.seconds;
        QTRY_COMPARE(Text(run.page, 1120), "2014/3/7 13:5:31");

        // The worker alone: it begins at once, Stop wakes it, and Start right after Stop keeps one
        // thread.
        std::atomic<int> runs{0};
        CycleWorker worker([&] { ++runs; }, 1h);
        worker.Start();
        QTRY_COMPARE(runs.load(), 1);
        int most = 0;
        for (int i = 0; i < 200; ++i, most = std::max(most, worker.LiveThreads())) {
            worker.Stop();
            worker.Start();
        }
        QElapsedTimer waiting;
        waiting.start();
        worker.Stop();
        worker.Wait();
        QVERIFY(most == 1 && waiting.elapsed() < 1000 && worker.LiveThreads() == 0);
    }

    void reportFiles()
    {
        QCOMPARE(report::RepairLineEnds("1/1/1 1:1:1\tLink Fail.\r\r\n2/2/2 2:2:2\tNo HPD .\r\n"),
                 "1/1/1 1:1:1\tLink Fail.\r\n2/2/2 2:2:2\tNo HPD .\r\n");
        QCOMPARE(report::Body("a\nb\r\nGrüße", {}), "a\r\nb\r\nGr\xc3\xbc\xc3\x9f"
                                                    "e\r\n\t");
        BurnIn run;
        const QByteArray rule = QByteArray(60, '*') + "\r\n";
        const QByteArray header =
            rule + "2014/3/7 13:5:0\r\nSeries:QX710\r\nDescription:\r\n" + rule;
        QStringList chosen{"first", "second.txt", "", "no such folder/report", "first", "first"};
        CDescription::SetSaveNameChooser([&](QWidget*) { return chosen.takeFirst(); });
        WhenModal([&](QWidget* dialog) {
            auto* text = ui::FindControl<QPlainTextEdit>(dialog, 1010);
            QCOMPARE(dialog->windowTitle() + text->toPlainText(),
                     "Description" + QString(header).replace("\r\n", "\n"));
            QTest::keyClicks(text, "Rack 4");
            auto* saveAs = ui::FindControl<QPushButton>(dialog, 1090);
            saveAs->click(); // no log: an empty log part, and the log is not created
            QCOMPARE(ReadFile("first.txt"), header + "Rack 4\r\n\t");
            QVERIFY(!QFile::exists("BIT.txt"));
            run.clock.seconds += 60; // the header keeps the time the dialog opened
            WriteFile("BIT.txt", "2014/3/7 13:5:6\tLink Fail.\r\r\n2014/3/7 13:5:12\tNo HPD .\r\n");
            saveAs->click();
            QCOMPARE(
                ReadFile("second.txt.txt"),
                header
                    + "Rack 4\r\n2014/3/7 13:5:6\tLink Fail.\r\n2014/3/7 13:5:12\tNo HPD .\r\n\t");
            saveAs->click(); // cancelled: nothing written
            saveAs->click(); // cannot be written: the name and the reason
            QVERIFY(run.rig.boxes.size() == 1
                    && run.rig.boxes[0].startsWith(
                        "The report could not be saved as no such folder/report.txt:\n"));
            run.rig.answers = {false, true};
            saveAs->click(); // an existing file is replaced only when the user says so
            QCOMPARE(ReadFile("first.txt"), header + "Rack 4\r\n\t");
            saveAs->click();
            QVERIFY(ReadFile("first.txt").endsWith("No HPD .\r\n\t"));
            QCOMPARE(run.rig.boxes.mid(1),
                     QStringList(2, "first.txt already exists. Replace it with this report?"));
        });
        Click(run.page, 1106);
        CDescription::SetSaveNameChooser({});
        QVERIFY(chosen.isEmpty() && QDir().entryList(QDir::Files).size() == 3);
    }
};

QTEST_MAIN(BurnInTest)
#include "tst_burnin.moc"
