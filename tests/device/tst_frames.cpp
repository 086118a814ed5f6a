// Command frames built by the plain frame functions: check bytes and firmware chunk framing.
#include <QtTest>

#include "device/CommandFrames.h"

class FramesTest : public QObject {
    Q_OBJECT

private slots:
    void checkBytes()
    {
        QCOMPARE(frames::CheckByte(0x04, 0x04), uint8_t(0x08));
        QCOMPARE(frames::ConnectCheck(), (frames::Command3{0xAA, 0x01, 0xAB}));
        QCOMPARE(frames::RegisterRead(0x02, 0x04), (frames::Command3{0x02, 0x04, 0x06}));
        QCOMPARE(frames::RegisterRead(0xFF, 0x02)[2], uint8_t(0x01)); // mod 256
        QCOMPARE(frames::EraseFirmware(frames::Chip::Remote), (frames::Command3{0x04, 0x02, 0x06}));
        QCOMPARE(frames::BeginWrite(frames::Chip::Local), (frames::Command3{0x03, 0x03, 0x06}));
        QCOMPARE(frames::RestartChip(frames::Chip::Local), (frames::Command3{0x03, 0x04, 0x07}));
        // The value byte follows the check byte, unchecked.
        QCOMPARE(frames::FailSafeSetting(0x9D), (frames::Command4{0x05, 0x01, 0x06, 0x9D}));
    }

    void chunkFraming_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("chunks");
        QTest::addColumn<int>("lastDataBytes");
        QTest::newRow("1 byte") << 1 << 1 << 1;
        QTest::newRow("5 bytes") << 5 << 1 << 5;
        QTest::newRow("31 bytes") << 31 << 1 << 31;
        QTest::newRow("32 bytes, one full last chunk") << 32 << 1 << 32;
        QTest::newRow("33 bytes") << 33 << 2 << 1;
        QTest::newRow("64 bytes") << 64 << 2 << 32;
        QTest::newRow("69 bytes, 5 left") << 69 << 3 << 5;
    }

    void chunkFraming()
    {
        QFETCH(int, size);
        QFETCH(int, chunks);
        QFETCH(int, lastDataBytes);
        std::vector<uint8_t> image(static_cast<size_t>(size));
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 7 + 1);

        QCOMPARE(frames::DataChunkCount(image.size()), size_t(chunks));
        for (int c = 0; c < chunks; ++c) {
            const frames::DataChunk chunk = frames::DataChunkAt(image, static_cast<size_t>(c));
            const bool last = c == chunks - 1;
            QCOMPARE(chunk[0], last ? uint8_t(0xBB) : uint8_t(0xAA));
            const int dataBytes = last ? lastDataBytes : 32;
            for (int i = 0; i < 32; ++i) {
                const uint8_t expected =
                    i < dataBytes ? image[static_cast<size_t>(c * 32 + i)] : 0xFF;
                QVERIFY2(chunk[1 + i] == expected,
                         qPrintable(QString("chunk %1 byte %2").arg(c).arg(i)));
            }
        }
        QCOMPARE(frames::DataChunkCount(0), size_t(0));
    }
};

QTEST_GUILESS_MAIN(FramesTest)
#include "tst_frames.moc"
