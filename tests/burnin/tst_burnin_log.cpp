// The burn-in logging rules over simulated time: which failures are counted, when an entry is
// written, what it looks like, and what happens when the log cannot be written.
#include <QtTest>

#include "BurnInRig.h"
#include "burnin/BurnInSession.h"

namespace {

struct Entry {
    int second; // of the simulated run, 1 for the first sample
    QByteArray message;
};

// Runs one sample and one clock-and-log cycle per simulated second. signals(second) sets what
// the extender answers for that second's sample.
template <typename Signals>
QList<Entry> RunSeconds(int seconds, Signals setSignals)
{
    TempCurrentDir dir;
    SimRig rig;
    ChannelHost host(rig.wire);
    FakeClock clock;
    const qint64 start = clock.seconds;
    BurnInSession session(clock.Reader());
    session.Begin();
    for (int second = 1; second <= seconds; ++second) {
        clock.Advance();
        setSignals(rig.extender, second);
        if (!session.Sample(host))
            break;
        session.ClockLogCycle();
    }

    QList<Entry> entries;
    for (const QByteArray& line : ReadFile("BIT.txt").split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> parts = line.split('\t');
        const QDateTime stamp = QDateTime::fromString(QString(parts[0]), "yyyy/M/d H:m:s");
        entries.append({static_cast<int>(stamp.toSecsSinceEpoch() - start), parts[1] + '\n'});
    }
    return entries;
}

// One trace follows pattern (B bad, G good, one letter a second); the others stay good.
QList<int> EntrySecondsFor(int trace, const QString& pattern)
{
    const auto entries = RunSeconds(pattern.size(), [&](SimExtender& extender, int second) {
        std::array<bool, 4> good{true, true, true, true};
        good[trace] = pattern[second - 1] == 'G';
        SetSignals(extender, good[0], good[1], good[2], good[3]);
    });
    QList<int> seconds;
    for (const Entry& entry : entries)
        seconds.append(entry.second);
    return seconds;
}

} // namespace

class BurnInLogTest : public QObject {
    Q_OBJECT

private slots:
    void linkDownIsLoggedEverySixSeconds()
    {
        TempCurrentDir dir;
        SimRig rig;
        ChannelHost host(rig.wire);
        FakeClock clock;
        BurnInSession session(clock.Reader());
        QFile::remove("BIT.txt");
        QVERIFY(session.Begin().ok);
        QCOMPARE(ReadFile("BIT.txt"), QByteArray());

        SetSignals(rig.extender, false, true, true, true);
        for (int second = 1; second <= 61; ++second) {
            clock.Advance();
            QVERIFY(session.Sample(host));
            const CycleReport report = session.ClockLogCycle();
            QVERIFY(!report.writeError);
            QCOMPARE(report.time.second, (second) % 60);
        }
        // Sixty seconds after 13:05:00: an entry every sixth second, CR LF on this platform too,
        // and no leading zeros anywhere.
        QByteArray expected;
        for (int second = 6; second <= 60; second += 6) {
            expected += QString("2014/3/7 13:%1:%2\tLink Fail.\r\n")
                            .arg(5 + second / 60)
                            .arg(second % 60)
                            .toLatin1();
        }
        QCOMPARE(ReadFile("BIT.txt"), expected);
        QCOMPARE(session.Recorder().Counter(Trace::Link), uint8_t(1));
    }

    void countingRules_data()
    {
        QTest::addColumn<int>("trace");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QList<int>>("entrySeconds");
        // Link and video count every bad sample since their last entry, good ones between or not.
        QTest::newRow("link, good samples between") << 0 << "BGBGBGBGBGBG" << QList<int>{11};
        QTest::newRow("link, five bad") << 0 << "BGBGBGBGBG" << QList<int>{};
        QTest::newRow("link, twelve bad") << 0 << "BBBBBBBBBBBB" << QList<int>{6, 12};
        QTest::newRow("video, good samples between") << 1 << "GBBGBBGBBGGG" << QList<int>{9};
        // 5 V and HPD count only bad samples in a row.
        QTest::newRow("5V, broken run") << 2 << "BBBBBGBBBBBG" << QList<int>{};
        QTest::newRow("5V, six in a row") << 2 << "BBBBBGBBBBBB" << QList<int>{12};
        QTest::newRow("HPD, broken run") << 3 << "BBBBBGBBBBB" << QList<int>{};
        QTest::newRow("HPD, twelve in a row") << 3 << "BBBBBBBBBBBB" << QList<int>{6, 12};
    }

    void countingRules()
    {
        QFETCH(int, trace);
        QFETCH(QString, pattern);
        QFETCH(QList<int>, entrySeconds);
        QCOMPARE(EntrySecondsFor(trace, pattern), entrySeconds);
    }

    void severalCountersAtOneTimeStampInFixedOrder()
    {
        const auto entries = RunSeconds(6, [](SimExtender& extender, int) {
            SetSignals(extender, false, false, false, false);
        });
        QCOMPARE(entries.size(), 4);
        const QList<QByteArray> order{"No HPD .\r\n", "Link Fail.\r\n", "No Video Signal.\r\n",
                                      "No 5V from Source.\r\n"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(entries[i].second, 6);
            QCOMPARE(entries[i].message, order[i]);
        }
    }

    void unacknowledgedReadsCountAsBad()
    {
        // The extender refuses the link state and signal line reads; the video source is good.
        const auto entries = RunSeconds(
            6, [](SimExtender& extender, int) { extender.SetRegister(0x02, 0x02, {3}); });
        QList<QByteArray> messages;
        for (const Entry& entry : entries)
            messages.append(entry.message);
        QCOMPARE(messages,
                 (QList<QByteArray>{"No HPD .\r\n", "Link Fail.\r\n", "No 5V from Source.\r\n"}));
    }

    void countersKeptWhileTheLogCannotBeWritten()
    {
        TempCurrentDir dir;
        SimRig rig;
        ChannelHost host(rig.wire);
        FakeClock clock;
        BurnInSession session(clock.Reader());
        QVERIFY(QDir().mkdir("BIT.txt"));
        QVERIFY(!session.Begin().ok);

        SetSignals(rig.extender, false, true, true, true);
        for (int second = 1; second <= 7; ++second) {
            clock.Advance();
            session.Sample(host);
            const CycleReport report = session.ClockLogCycle();
            QCOMPARE(bool(report.writeError), second >= 6);
        }
        QCOMPARE(session.Recorder().Counter(Trace::Link), uint8_t(7));

        QVERIFY(QDir().rmdir("BIT.txt"));
        clock.Advance();
        QVERIFY(!session.ClockLogCycle().writeError);
        QCOMPARE(ReadFile("BIT.txt"), QByteArray("2014/3/7 13:5:8\tLink Fail.\r\n"));
        QCOMPARE(session.Recorder().Counter(Trace::Link), uint8_t(0));
    }

    void anEntryNeverSwallowsFailuresCountedMeanwhile()
    {
        SampleRecorder recorder;
        recorder.Begin();
        const SampleResult bad{false, true, false, true};
        for (int i = 0; i < 6; ++i)
            recorder.Record(bad);
        // The logger read 6 for link and 5 V; before it clears them, one more bad sample comes,
        // then a good 5 V sample and a bad one start the 5 V run again.
        recorder.Record(bad);
        recorder.Record({false, true, true, true});
        recorder.Record(bad);
        recorder.Consume(Trace::Link, 6);
        recorder.Consume(Trace::FiveVolt, 6);
        QCOMPARE(recorder.Counter(Trace::Link), uint8_t(3));
        QCOMPARE(recorder.Counter(Trace::FiveVolt), uint8_t(1));
    }

    void countersStopAtTheirCeiling()
    {
        SampleRecorder recorder;
        recorder.Begin();
        for (int i = 0; i < 300; ++i)
            recorder.Record({false, true, true, true});
        QCOMPARE(recorder.Counter(Trace::Link), uint8_t(255));
    }

    void disconnectedSampleRecordsNothing()
    {
        TempCurrentDir dir;
        SimRig rig;
        ChannelHost host(rig.wire);
        FakeClock clock;
        BurnInSession session(clock.Reader());
        session.Begin();
        SetSignals(rig.extender, true, true, true, true);
        QVERIFY(session.Sample(host));
        rig.extender.SetFaults({.refuse = true});
        QVERIFY(!session.Sample(host));
        QCOMPARE(session.Chart().count, 1);
        QVERIFY(session.LogDisconnect().ok);
        QCOMPARE(ReadFile("BIT.txt"), QByteArray("2014/3/7 13:5:0\tDevice Disconnected.\r\n"));
    }
};

QTEST_MAIN(BurnInLogTest)
#include "tst_burnin_log.moc"
