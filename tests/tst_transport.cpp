// The transport and the channel: the simulated extender's own answers, bounded waits, which device
// is opened, and the real hidraw path end to end. Framing, matching and cutting an answer are the
// hid_response fuzz target's invariants.
#include "Rig.h"
#include "TestPlatform.h"
#include "device/HidCmd.h"

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    // One program per unit: a second one is refused before it sends a byte and told who holds the
    // unit, and the command line lists it in use; a failed open lets go of it. (A command refused
    // for a held unit is the status suite's check and the command line's rack runs; that an absent
    // device fails at once, and the way on, are the fault matrix's.)
    void opensOneExtenderForOneProgram()
    {
        Rig rig;
        rig.extender.AddForeignDevice(0x051A, 0x1234);
        rig.extender.AddUnreadableDevice();
        CHidIO io(rig.wire), other(rig.wire);
        QVERIFY(io.Open());
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
        const QString held = QString("sim:extender is in use by tst_transport (process %1)")
                                 .arg(QCoreApplication::applicationPid());
        QCOMPARE(QString::fromStdString(other.Open().Why()), held);
        QVERIFY(!other.IsOpen());
        QVERIFY(RunCli(rig.wire, "list").out.endsWith("\tin use\n"));
        QCOMPARE(rig.Commands(), Payloads());
        rig.extender.FailOpen(HidAccess::Write, true);
        QVERIFY(!io.Open());
        QVERIFY(!io.IsOpen());
        QCOMPARE(rig.extender.OpenHandleCount(), 0);
    }

    // command>answer: refused (55) are an unknown register, a wrong check byte, another group's
    // four bytes, a block before a write was begun and an unknown firmware command.
    void answersAndRefusals()
    {
        Rig rig;
        rig.Set("0104=07090909");
        CHidCmd channel(rig.bounded);
        QVERIFY(channel.Transport().Open());
        const QStringList commands =
            QString("aa01ab 010405 013334 010406 050106ff 060107b3 040408 "
                    "030508 bb%1 030306 aa%2 030306 bb%3")
                .arg(QString(64, 'f'), QString(64, '0').replace("00", "0f"),
                     QString(64, '0').replace("00", "f0"))
                .split(' ');
        const QStringList expected = {"aa01", "aa07090909", "55", "55", "aa", "55", "aa",
                                      "55",   "55",         "aa", "aa", "aa", "aa"};
        QStringList answers;
        for (const QString& command : commands)
            answers << ChannelAnswer(channel, command.toLatin1());
        QCOMPARE(answers, expected);
        // Programming clears bits only: a block over one not erased keeps what both cleared.
        QCOMPARE(rig.extender.Flash(SimDeviceModel::Local)[0], 0x00);
    }

    // A wait for an answer ends by its time-out, a stuck write by the write wait.
    void waitsAreBounded()
    {
        Rig rig;
        CHidIO other(rig.wire);
        CHidCmd channel(rig.bounded);
        QVERIFY(channel.Transport().Open());
        rig.extender.SetFaults({.silent = true});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ChannelAnswer(channel, "aa01ab", 100), QByteArray("none"));
        QCOMPARE_GE(clock.elapsed(), 100);
        QCOMPARE_LT(clock.elapsed(), 500);
        // A write that blocks, as hidraw's does when the extender stops taking reports, fails after
        // the write wait, and later calls fail at once while it is stuck. Closed or opened again
        // meanwhile, the unit stays claimed until the write has returned, so that no other program
        // takes it while our report still goes out; nothing waits for it.
        rig.extender.SetFaults({.writeStallMs = 1600, .onlyNth = 1});
        clock.restart();
        QCOMPARE(ChannelAnswer(channel, "aa01ab"), QByteArray("none"));
        QCOMPARE_GE(clock.elapsed(), 1000);
        QCOMPARE_LT(clock.elapsed(), 1500);
        clock.restart();
        QCOMPARE(ChannelAnswer(channel, "aa01ab"), QByteArray("none")); // still stuck: at once
        QVERIFY(!channel.Transport().Open());
        QVERIFY(!other.Open());
        QCOMPARE_LT(clock.elapsed(), 200);
        QTRY_VERIFY_WITH_TIMEOUT(other.Open(), 2000);
        QCOMPARE_GE(clock.elapsed(), 400);
    }

    void systemBackendKeepsTheCause() { SystemBackendKeepsTheCause(); }
    void unitHoldIsSystemWide() { UnitHoldIsSystemWide(); }
    void reportsBetweenReadsAreKept() { ReportsBetweenReadsAreKept(); }
    void hidrawEndToEnd() { HidrawEndToEnd(); }
    void deviceWatcherTellsUnits() { DeviceWatcherTellsUnits(); }
};

QTEST_MAIN(TransportTest) // the end-to-end case opens the main window
#include "tst_transport.moc"
