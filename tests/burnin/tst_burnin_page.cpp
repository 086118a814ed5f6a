// The Burn-In Test page in the tool window over the simulated extender: Start/Stop, the samples on
// the wire, the strip chart, the run ending when the device goes away, the clock-and-log thread
// and closing mid-run.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "BurnInRig.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "burnin/BurnInPage.h"
#include "burnin/ChartTraces.h"
#include "burnin/ChartView.h"
#include "burnin/CycleWorker.h"
#include "burnin/DescriptionDlg.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

using namespace std::chrono_literals;

namespace {

using Payloads = std::vector<std::vector<uint8_t>>;

const Payloads kOneSample{
    {0xAA, 0x01, 0xAB}, {0x02, 0x01, 0x03}, {0x02, 0x02, 0x04}, {0x01, 0x0B, 0x0C}};

// The tool window on the simulated extender, its burn-in page shown, with a fake clock.
struct BurnInWindow {
    TempCurrentDir dir;
    SimRig rig;
    FakeClock clock;
    CTorvanReaderDlg mainDlg{rig.wire};
    PerformanceTool tool{&mainDlg};
    CBIT* page = static_cast<CBIT*>(tool.Page(PerformanceTool::BurnInTab));

    explicit BurnInWindow(BurnInTiming timing = ManualTiming())
    {
        timing.clock = clock.Reader();
        page->SetTiming(timing);
        SetSignals(rig.extender, true, true, true, true);
        tool.show();
        ui::FindControl<QTabWidget>(&tool, 1004)->setCurrentIndex(PerformanceTool::BurnInTab);
        rig.wire.Clear();
    }

    // Sampling only when the test says, and no clock-and-log thread.
    static BurnInTiming ManualTiming()
    {
        BurnInTiming timing;
        timing.periods = {1h, 1h, 1h, 1h};
        timing.manualCycle = true;
        return timing;
    }

    QPushButton* StartStop() const { return ui::FindControl<QPushButton>(page, 1103); }
    QString TimeBox() const { return ui::FindControl<QLineEdit>(page, 1120)->text(); }
    QImage Chart() const { return ui::FindControl<QWidget>(page, 1105)->grab().toImage(); }
    size_t Samples() const
    {
        size_t count = 0;
        for (const auto& command : rig.Commands())
            count += command == kOneSample[0];
        return count;
    }
};

bool IsGreen(QRgb pixel)
{
    return qGreen(pixel) > 200 && qRed(pixel) < 60;
}

bool IsRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 60;
}

} // namespace

class BurnInPageTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        ui::SetMessagePresenter({});
        CDescription::SetSaveNameChooser({});
    }

    void startAndStop()
    {
        BurnInWindow window;
        auto* period = ui::FindControl<QComboBox>(window.page, 1107);
        QCOMPARE(period->count(), 4);
        QCOMPARE(period->itemText(3), QString("10 minute"));
        QCOMPARE(period->currentIndex(), 0);
        QCOMPARE(window.StartStop()->text(), QString("Start"));

        QFile old("BIT.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("2014/3/6 9:0:0\tLink Fail.\r\n");
        old.close();

        window.clock.seconds = QDateTime(QDate(2014, 2, 1), QTime(9, 5, 3)).toSecsSinceEpoch();
        window.StartStop()->click();
        QVERIFY(window.page->IsRunning());
        QCOMPARE(window.StartStop()->text(), QString("Stop"));
        QCOMPARE(window.TimeBox(), QString("2014/2/1 9:5:3"));
        QCOMPARE(ReadFile("BIT.txt"), QByteArray());
        QCOMPARE(window.Samples(), size_t(0)); // the first sample comes one period later

        window.page->OnTimer();
        QCOMPARE(window.rig.Commands(), kOneSample);

        SetSignals(window.rig.extender, false, true, true, true);
        for (int i = 0; i < 6; ++i)
            window.page->OnTimer();
        window.clock.Advance(7);
        window.page->ClockLogCycle();
        QTRY_COMPARE(window.TimeBox(), QString("2014/2/1 9:5:10"));
        window.StartStop()->click();
        QCOMPARE(window.StartStop()->text(), QString("Start"));
        QVERIFY(!window.page->IsRunning());
        // Stop leaves the log as it is; a sample tick after Stop sends nothing.
        QCOMPARE(ReadFile("BIT.txt"), QByteArray("2014/2/1 9:5:10\tLink Fail.\r\n"));
        window.rig.wire.Clear();
        window.page->OnTimer();
        QCOMPARE(window.Samples(), size_t(0));
    }

    void sampleTimerRunsAtTheChosenPeriod()
    {
        BurnInTiming timing = BurnInWindow::ManualTiming();
        timing.periods = {1h, 20ms, 1h, 1h};
        BurnInWindow window(timing);
        ui::FindControl<QComboBox>(window.page, 1107)->setCurrentIndex(1);
        window.StartStop()->click();
        QTRY_VERIFY(window.Samples() >= 3);
        window.StartStop()->click();
        const Payloads commands = window.rig.Commands();
        for (size_t i = 0; i < commands.size(); ++i)
            QCOMPARE(commands[i], kOneSample[i % 4]);
    }

    void chartAfterOneThirtyAndThirtyOneSamples()
    {
        BurnInWindow window;
        window.StartStop()->click();
        QImage empty = window.Chart();
        QCOMPARE(empty.pixel(8, 20), QColor(Qt::black).rgb());

        // Sample k (from 1): the link is down on every third, HPD on the 31st only.
        auto sample = [&](int k) {
            SetSignals(window.rig.extender, k % 3 != 0, true, true, k != 31);
            window.page->OnTimer();
        };
        sample(1);
        auto traces = ChartTraces(window.page->Chart());
        for (int trace = 0; trace < kTraceCount; ++trace) {
            QCOMPARE(traces[trace].points, QList<QPoint>{QPoint(0, kTraceLevels[trace].good)});
            QVERIFY(traces[trace].newestGood);
        }

        for (int k = 2; k <= 30; ++k)
            sample(k);
        traces = ChartTraces(window.page->Chart());
        QCOMPARE(traces[0].points.size(), 30);
        QCOMPARE(traces[0].points.first(), QPoint(0, 20));
        QCOMPARE(traces[0].points[2], QPoint(32, 50));      // sample 3, link down
        QCOMPARE(traces[0].points.last(), QPoint(464, 50)); // sample 30, link down
        QVERIFY(!traces[0].newestGood);
        QVERIFY(traces[3].newestGood);
        QImage picture = window.Chart();
        QVERIFY(IsRed(picture.pixel(8, 20)));    // the link trace is red: its newest is bad
        QVERIFY(IsGreen(picture.pixel(8, 260))); // HPD is green
        QCOMPARE(picture.pixel(8, 50), QColor(Qt::black).rgb());

        sample(31);
        traces = ChartTraces(window.page->Chart());
        QCOMPARE(traces[0].points.size(), 30);
        // Scrolled by one: sample 2 is now at x 0, sample 3 (link down) at x 16.
        QCOMPARE(traces[0].points[0], QPoint(0, 20));
        QCOMPARE(traces[0].points[1], QPoint(16, 50));
        QCOMPARE(traces[0].points.last(), QPoint(464, 20));
        QVERIFY(traces[0].newestGood);
        QCOMPARE(traces[3].points.last(), QPoint(464, 280));
        QVERIFY(!traces[3].newestGood);
        picture = window.Chart();
        QVERIFY(IsGreen(picture.pixel(424, 20))); // samples 28 and 29, both good
        QVERIFY(IsRed(picture.pixel(8, 260)));
        // The colours in words, for the tool tip and screen readers.
        auto* chart = ui::FindControl<ChartView>(window.page, 1105);
        QCOMPARE(chart->accessibleDescription(), QString("No sample yet"));
        chart->Refresh();
        QCOMPARE(chart->accessibleDescription(),
                 QString("Newest sample: Link good, Video Signal good, 5V good, HPD bad"));
        QCOMPARE(chart->toolTip(), chart->accessibleDescription());

        // The picture survives Stop and the page being hidden and shown again.
        window.StartStop()->click();
        auto* tabs = ui::FindControl<QTabWidget>(&window.tool, 1004);
        tabs->setCurrentIndex(0);
        tabs->setCurrentIndex(PerformanceTool::BurnInTab);
        QCOMPARE(window.Chart(), picture);
    }

    void lostDeviceEndsTheRunAndIsLogged()
    {
        BurnInWindow window;
        window.StartStop()->click();
        window.page->OnTimer();
        window.rig.extender.Unplug();
        window.clock.Advance(2);
        window.page->OnTimer();
        QVERIFY(!window.page->IsRunning());
        QCOMPARE(window.StartStop()->text(), QString("Start"));
        QCOMPARE(ReadFile("BIT.txt"), QByteArray("2014/3/7 13:5:2\tDevice Disconnected.\r\n"));
        QCOMPARE(window.page->Chart().count, 1);
    }

    void logThatCannotBeWrittenIsToldOnceInThePage()
    {
        BurnInWindow window;
        QStringList boxes;
        ui::SetMessagePresenter([&](QWidget*, const QString& text) { boxes << text; });
        QVERIFY(QDir().mkdir("BIT.txt"));
        window.StartStop()->click();
        QLabel* shown = nullptr;
        for (QLabel* label : window.page->findChildren<QLabel*>()) {
            if (label->isVisible() && label->text().contains("BIT.txt"))
                shown = label;
        }
        QVERIFY(shown);
        const QString told = shown->text();

        SetSignals(window.rig.extender, false, true, true, true);
        for (int i = 0; i < 8; ++i) {
            window.page->OnTimer();
            window.page->ClockLogCycle();
        }
        QCoreApplication::processEvents();
        QCOMPARE(shown->text(), told);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(window.page->Session().Recorder().Counter(Trace::Link), uint8_t(8));

        // Once the log can be written again, the kept failures are logged.
        QVERIFY(QDir().rmdir("BIT.txt"));
        window.page->ClockLogCycle();
        QCOMPARE(ReadFile("BIT.txt"), QByteArray("2014/3/7 13:5:0\tLink Fail.\r\n"));

        // A new run starts without the old notice.
        window.StartStop()->click();
        window.StartStop()->click();
        QVERIFY(!shown->isVisible());
    }

    void clockAndLogThreadRunsWithTheRun()
    {
        BurnInTiming timing = BurnInWindow::ManualTiming();
        timing.manualCycle = false;
        timing.cycle = 10ms;
        BurnInWindow window(timing);
        window.StartStop()->click();
        SetSignals(window.rig.extender, true, true, true, false);
        for (int i = 0; i < 6; ++i)
            window.page->OnTimer();
        window.clock.Advance(30);
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1);
        QTRY_COMPARE(window.TimeBox(), QString("2014/3/7 13:5:30"));

        // Stop and Start again and again within one cycle: the run goes on with one thread, and
        // it logs as before.
        for (int i = 0; i < 20; ++i) {
            window.StartStop()->click();
            window.StartStop()->click();
        }
        QVERIFY(window.page->IsRunning());
        for (int i = 0; i < 6; ++i)
            window.page->OnTimer();
        QTRY_COMPARE(ReadFile("BIT.txt").count("No HPD"), 1); // emptied by Start, then logged again
        window.clock.Advance();
        QTRY_COMPARE(window.TimeBox(), QString("2014/3/7 13:5:31"));
    }

    void closingMidRunStopsAtOnce()
    {
        BurnInTiming timing = BurnInWindow::ManualTiming();
        timing.manualCycle = false;
        timing.cycle = 10s; // a close that waited out the cycle would show
        timing.periods = {5ms, 5ms, 5ms, 5ms};
        BurnInWindow window(timing);
        window.StartStop()->click();
        QTRY_VERIFY(window.Samples() >= 2);
        QElapsedTimer closing;
        closing.start();
        window.tool.close();
        QVERIFY2(closing.elapsed() < 500, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(window.tool.Page(PerformanceTool::BurnInTab) == nullptr);
        const size_t samples = window.Samples();
        QTest::qWait(30);
        QCOMPARE(window.Samples(), samples);
    }

    void saveAsOpensTheReportDialog()
    {
        BurnInWindow window;
        QString header;
        WhenModal([&](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QString("Description"));
            header = ui::FindControl<QPlainTextEdit>(modal, 1010)->toPlainText();
        });
        ui::FindControl<QPushButton>(window.page, 1106)->click();
        QVERIFY(header.contains("\n2014/3/7 13:5:0\nSeries:QX710\n"));
    }
};

// The clock-and-log thread on its own: it begins at once, Stop wakes it, and Start soon after
// Stop never makes a second one.
class CycleWorkerTest : public QObject {
    Q_OBJECT

private slots:
    void startStopRacesKeepOneThread()
    {
        std::atomic<int> runs{0};
        std::atomic<int> inJob{0};
        std::atomic<int> mostAtOnce{0};
        CycleWorker worker(
            [&] {
                const int now = ++inJob;
                mostAtOnce = std::max(mostAtOnce.load(), now);
                std::this_thread::sleep_for(1ms);
                --inJob;
                ++runs;
            },
            200ms);
        worker.Start();
        QTRY_COMPARE(runs.load(), 1);
        int mostThreads = 0;
        for (int i = 0; i < 200; ++i) {
            worker.Stop();
            if (i % 3 == 0)
                std::this_thread::sleep_for(100us);
            worker.Start();
            mostThreads = std::max(mostThreads, worker.LiveThreads());
        }
        QCOMPARE(mostThreads, 1);
        QCOMPARE(mostAtOnce.load(), 1);

        QElapsedTimer waiting;
        waiting.start();
        worker.Stop();
        worker.Wait();
        QVERIFY(waiting.elapsed() < 150);
        QCOMPARE(worker.LiveThreads(), 0);
        const int done = runs;
        std::this_thread::sleep_for(30ms);
        QCOMPARE(runs.load(), done);
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    BurnInPageTest page;
    CycleWorkerTest worker;
    return QTest::qExec(&page, argc, argv) | QTest::qExec(&worker, argc, argv);
}
#include "tst_burnin_page.moc"
