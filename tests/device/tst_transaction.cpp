// The command transaction over the simulated extender: framing and sequence numbers on the wire,
// matching through stale, flagged and short reports, the length cuts, and bounded waits.
#include <QElapsedTimer>
#include <QtTest>
#include <thread>

#include "SimRig.h"
#include "device/CommandFrames.h"
#include "device/HidCmd.h"
#include "device/StatusRegister.h"

namespace {

constexpr uint32_t kShortTimeoutMs = 60;

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

} // namespace

class TransactionTest : public QObject {
    Q_OBJECT

private slots:
    void firstCommandOnTheWire()
    {
        SimRig rig;
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());
        std::array<uint8_t, 15> response{};
        size_t stored = 0;
        QVERIFY(channel.Execute(frames::ConnectCheck(), response, 1000, 0, &stored));

        const auto records = rig.wire.Records();
        QCOMPARE(records.size(), size_t(2));
        const auto& out = records[0].bytes;
        QCOMPARE(out.size(), size_t(65));
        QCOMPARE(std::vector<uint8_t>(out.begin(), out.begin() + 6),
                 Bytes({0x00, 0x13, 0x03, 0xAA, 0x01, 0xAB}));
        QCOMPARE(records[1].bytes[1] & 0x7F, 0x13);
        QCOMPARE(stored, size_t(2));
        QCOMPARE(response[0], uint8_t(0xAA));
        QCOMPARE(response[1], uint8_t(0x01));
    }

    void sequenceWrapsAfter7F()
    {
        SimRig rig;
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());
        std::array<uint8_t, 30> response{};
        // 0x13 .. 0x7F is 109 commands; the next two carry 0x00 and 0x01.
        for (int i = 0; i < 111; ++i)
            QVERIFY(channel.Execute(frames::ConnectCheck(), response, 1000, 0));
        std::vector<int> sequences;
        for (const auto& record : rig.wire.Records()) {
            if (record.direction == RecordingBackend::Direction::Out)
                sequences.push_back(record.bytes[1]);
        }
        QCOMPARE(sequences.front(), 0x13);
        QCOMPARE(sequences[108], 0x7F);
        QCOMPARE(sequences[109], 0x00);
        QCOMPARE(sequences[110], 0x01);
    }

    void matchingSkipsForeignReports_data()
    {
        QTest::addColumn<int>("stale");
        QTest::addColumn<bool>("bit7");
        QTest::addColumn<bool>("shortReport");
        QTest::addColumn<int>("readsExpected");
        QTest::newRow("two stale answers dropped") << 2 << false << false << 3;
        QTest::newRow("bit 7 set is still a match") << 0 << true << false << 1;
        QTest::newRow("a 2-byte report never matches") << 0 << false << true << 2;
        QTest::newRow("all at once") << 3 << true << true << 5;
    }

    void matchingSkipsForeignReports()
    {
        QFETCH(int, stale);
        QFETCH(bool, bit7);
        QFETCH(bool, shortReport);
        QFETCH(int, readsExpected);
        SimRig rig;
        rig.extender.SetRegister(0x01, 0x04, {7, 0, 0, 0});
        rig.extender.SetFaults({.staleBefore = stale, .setBit7 = bit7, .shortReport = shortReport});
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());

        RegisterData out{};
        QVERIFY(ReadStatusRegister(channel, 0x01, 0x04, out));
        QCOMPARE(out[0], uint8_t(7));
        int reads = 0;
        for (const auto& record : rig.wire.Records())
            reads += record.direction == RecordingBackend::Direction::In;
        QCOMPARE(reads, readsExpected);
    }

    void responseIsCutToLengthReceivedAndCapacity()
    {
        SimRig rig;
        std::vector<uint8_t> big(39);
        for (size_t i = 0; i < big.size(); ++i)
            big[i] = static_cast<uint8_t>(i + 1);
        rig.extender.SetRegister(0x01, 0x20, big);          // length byte 40
        rig.extender.SetRegister(0x01, 0x21, {1, 2, 3, 4}); // length byte 5
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());

        std::array<uint8_t, 31> response;
        response.fill(0xEE);
        size_t stored = 0;
        QVERIFY(channel.Execute(frames::RegisterRead(0x01, 0x20), std::span(response).first(30),
                                1000, 0, &stored));
        QCOMPARE(stored, size_t(30));
        QCOMPARE(response[29], uint8_t(29));
        QCOMPARE(response[30], uint8_t(0xEE)); // nothing past the capacity

        QVERIFY(channel.Execute(frames::RegisterRead(0x01, 0x21), std::span(response).first(30),
                                1000, 0, &stored));
        QCOMPARE(stored, size_t(5));
    }

    void refusedReadLeavesBufferAlone()
    {
        SimRig rig;
        rig.extender.SetRegister(0x01, 0x0B, {0x05});
        rig.extender.SetFaults({.refuse = true});
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());

        RegisterData out;
        out.fill(0x5A);
        QVERIFY(!ReadStatusRegister(channel, 0x01, 0x0B, out));
        QCOMPARE(out[0], uint8_t(0x5A));
        // An unknown register and a wrong check byte are refused by the device itself.
        std::array<uint8_t, 30> response{};
        size_t stored = 0;
        rig.extender.SetFaults({});
        const std::array<uint8_t, 3> badCheck{0x01, 0x0B, 0x0D};
        QVERIFY(channel.Execute(badCheck, response, 1000, 0, &stored));
        QCOMPARE(response[0], uint8_t(0x55));
        QVERIFY(!ReadStatusRegister(channel, 0x01, 0x33, out));
    }

    void waitsAreBounded_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("silent device") << true << 0;
        QTest::newRow("answer after the time-out") << false << 150;
    }

    void waitsAreBounded()
    {
        QFETCH(bool, silent);
        QFETCH(int, latencyMs);
        SimRig rig;
        rig.extender.SetFaults({.silent = silent, .latencyMs = latencyMs});
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());

        std::array<uint8_t, 30> response;
        response.fill(0x5A);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!channel.Execute(frames::ConnectCheck(), response, kShortTimeoutMs, 0));
        QVERIFY2(clock.elapsed() < 2 * kShortTimeoutMs + 100,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY(clock.elapsed() >= kShortTimeoutMs);
        QCOMPARE(response[0], uint8_t(0x5A));

        // A late answer stays queued; the next command drops it and gets its own.
        rig.extender.SetFaults({});
        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
        QVERIFY(channel.Execute(frames::ConnectCheck(), response, 1000, 0));
        QCOMPARE(response[0], uint8_t(0xAA));
    }

    void closedOrAbsentDeviceFailsAtOnce()
    {
        SimRig rig;
        rig.extender.Unplug();
        CHidCmd channel(rig.wire);
        QVERIFY(!channel.Transport().Open());
        std::array<uint8_t, 30> response{};
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!channel.Execute(frames::ConnectCheck(), response, 1000, 0));
        QVERIFY(clock.elapsed() < 200);
        QCOMPARE(channel.Sequence(), uint8_t(0x13)); // the counter advances whatever the outcome
    }

    void unplugFailsTheWaitAndReplugNeedsAnOpen()
    {
        SimRig rig;
        rig.extender.SetFaults({.latencyMs = 500});
        CHidCmd channel(rig.wire);
        QVERIFY(channel.Transport().Open());
        std::thread unplug([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            rig.extender.Unplug();
        });
        std::array<uint8_t, 30> response{};
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!channel.Execute(frames::ConnectCheck(), response, 1000, 0));
        unplug.join();
        QVERIFY(clock.elapsed() < 300);

        rig.extender.Replug();
        rig.extender.SetFaults({});
        QVERIFY(!channel.Execute(frames::ConnectCheck(), response, kShortTimeoutMs, 0));
        QVERIFY(channel.Transport().Open());
        QVERIFY(channel.Execute(frames::ConnectCheck(), response, 1000, 0));
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
    }

    void stopRequestEndsTheWaitAndIsCleared()
    {
        SimRig rig;
        rig.extender.SetFaults({.silent = true});
        CHidIO io(rig.wire);
        QVERIFY(io.Open());
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            io.RequestStop();
        });
        std::array<uint8_t, 65> report{};
        uint32_t read = 0;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!io.ReadReport(report.data(), &read, 2000));
        stopper.join();
        QVERIFY2(clock.elapsed() < 200, qPrintable(QString::number(clock.elapsed())));
        // The flag was taken by that wait: the next one runs its full time.
        clock.restart();
        QVERIFY(!io.ReadReport(report.data(), &read, 40));
        QVERIFY(clock.elapsed() >= 40);
    }

    void openPicksTheFirstMatchingDeviceAndLeaksNothing()
    {
        SimRig rig;
        rig.extender.AddForeignDevice(0x051A, 0x1234);
        rig.extender.AddUnreadableDevice();
        CHidIO io(rig.wire);
        QVERIFY(io.Open());
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
        // Reconnecting on an open transport closes the old handles first.
        for (int i = 0; i < 3; ++i)
            QVERIFY(io.Open());
        QCOMPARE(rig.extender.OpenHandleCount(), 2);

        rig.extender.FailOpen(HidAccess::Write, true);
        QVERIFY(!io.Open());
        QCOMPARE(rig.extender.OpenHandleCount(), 0);
        QVERIFY(!io.IsOpen());
        io.Close(); // closing a closed transport does nothing
    }

    void seededFaultsReplayExactly()
    {
        const auto run = [](uint32_t seed) {
            SimRig rig;
            rig.extender.SetRandomFaults(seed, 40);
            CHidCmd channel(rig.wire);
            channel.Transport().Open();
            std::vector<int> outcome;
            for (int i = 0; i < 40; ++i) {
                RegisterData out{};
                rig.extender.SetRegister(0x01, 0x04, {static_cast<uint8_t>(i)});
                outcome.push_back(ReadStatusRegister(channel, 0x01, 0x04, out) ? out[0] : -1);
            }
            return outcome;
        };
        const auto first = run(7);
        QCOMPARE(run(7), first);
        QVERIFY(std::count(first.begin(), first.end(), -1) > 0);
        QVERIFY(std::count(first.begin(), first.end(), -1) < 40);
    }
};

QTEST_GUILESS_MAIN(TransactionTest)
#include "tst_transaction.moc"
