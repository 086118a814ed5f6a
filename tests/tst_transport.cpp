// The transport and the channel over the simulated extender: the extender's own answers, bounded
// waits, and which device is opened. Framing, matching and cutting an answer are the hid_response
// fuzz target's invariants.
#include "Rig.h"
#include "device/BoundedWriteBackend.h"
#include "device/HidCmd.h"
#include "device/StatusRegister.h"

namespace {

// The answer's status byte and data in hex, or "none".
QByteArray Answer(CHidCmd& channel, const QByteArray& command, uint32_t timeoutMs = 1000)
{
    std::array<uint8_t, 30> response{};
    size_t stored = 0;
    const QByteArray payload = QByteArray::fromHex(command);
    if (!channel.Execute(AsBytes(payload), response, timeoutMs, 0, &stored))
        return "none";
    return QByteArray(reinterpret_cast<const char*>(response.data()), qsizetype(stored)).toHex();
}

} // namespace

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    // command>answer: refused (55) are an unknown register, a wrong check byte, another group's
    // four bytes, a block before a write was begun and an unknown firmware command.
    void extenderAnswers()
    {
        Rig rig;
        rig.Set("0104=07090909");
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());
        QString answers;
        for (const QString& command :
             QString("aa01ab 010405 013334 010406 050106ff 060107b3 040408 030508 "
                     "bb%1 030306 aa%2 030306 bb%3")
                 .arg(QString(64, 'f'), QString(64, '0').replace("00", "0f"),
                      QString(64, '0').replace("00", "f0"))
                 .split(' '))
            answers += Answer(channel, command.toLatin1()) + " ";
        QCOMPARE(answers, "aa01 aa07090909 55 55 aa 55 aa 55 55 aa aa aa aa ");
        // Programming clears bits only: a block over one not erased keeps what both cleared.
        QCOMPARE(rig.extender.Flash(SimDeviceModel::Local)[0], 0x00);
        RegisterData out; // a refused read leaves the caller's buffer as it was
        out.fill(0x5A);
        QVERIFY(!ReadStatusRegister(channel, 0x01, 0x33, out) && out[0] == 0x5A);
    }

    // A wait ends by its time-out, or at once when the device is absent; the count goes on.
    void waitsAreBounded()
    {
        for (const bool absent : {false, true}) {
            Rig rig;
            if (absent)
                rig.extender.Unplug();
            CHidCmd channel(rig.wire);
            QCOMPARE(channel.Transport().Open(), !absent);
            rig.extender.SetFaults({.silent = true});
            QElapsedTimer clock;
            clock.start();
            QCOMPARE(Answer(channel, "aa01ab", 100), QByteArray("none"));
            QVERIFY(clock.elapsed() >= (absent ? 0 : 100)
                    && clock.elapsed() < (absent ? 400 : 500));
            QCOMPARE(channel.Sequence(), uint8_t(0x13));
            rig.extender.SetFaults({});
            rig.extender.Replug();
            QVERIFY(channel.Transport().IsOpen() || channel.Transport().Open());
            QCOMPARE(Answer(channel, "aa01ab"), QByteArray("aa01"));
        }
        // A write that blocks, as hidraw's does when the extender stops taking reports, fails after
        // the write wait; the device then counts as gone until it is opened again, and neither that
        // nor closing waits for the stuck write.
        auto extender = std::make_shared<SimExtender>();
        BoundedWriteBackend backend(extender);
        CHidCmd channel(backend);
        QVERIFY(channel.Transport().Open());
        extender->SetFaults({.writeStallMs = 3000, .onlyNth = 1});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Answer(channel, "aa01ab"), QByteArray("none"));
        QVERIFY2(clock.elapsed() >= 1000 && clock.elapsed() < 1500,
                 qPrintable(QString::number(clock.elapsed())));
        clock.restart();
        QCOMPARE(Answer(channel, "aa01ab"), QByteArray("none")); // gone: at once
        QVERIFY(channel.Transport().Open() && clock.elapsed() < 200);
        QCOMPARE(Answer(channel, "aa01ab"), QByteArray("aa01"));
    }

    void opensTheFirstExtenderAndLeaksNothing()
    {
        Rig rig;
        rig.extender.AddForeignDevice(0x051A, 0x1234);
        rig.extender.AddUnreadableDevice();
        CHidIO io(rig.wire);
        for (int i = 0; i < 3; ++i)
            QVERIFY(io.Open()); // reconnecting closes the old handles first
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
        rig.extender.Unplug(); // handles of an unplugged device stay dead once it is back
        rig.extender.Replug();
        const std::array<uint8_t, 65> report{};
        QVERIFY(!io.WriteReport(report.data()));
        rig.extender.FailOpen(HidAccess::Write, true);
        QVERIFY(!io.Open() && !io.IsOpen());
        QCOMPARE(rig.extender.OpenHandleCount(), 0);
    }
};

QTEST_MAIN(TransportTest)
#include "tst_transport.moc"
