// Intel HEX conversion, image files and the identification of an image, on bytes in memory.
#include <QtTest>

#include "HexText.h"
#include "firmware/DeviceInfo.h"
#include "firmware/ImageFile.h"
#include "firmware/IntelHex.h"
#include "firmware/ProgressScale.h"

using firmware::Image;

namespace {

firmware::HexConversion Convert(const QByteArray& text)
{
    return firmware::ConvertHexToBin(std::span(reinterpret_cast<const uint8_t*>(text.constData()),
                                               static_cast<size_t>(text.size())));
}

QByteArray ToBytes(const Image& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.data()),
                      static_cast<qsizetype>(image.size()));
}

QByteArray Rec(uint8_t type, uint16_t address, const QByteArray& data, const char* lineEnd = "\r\n")
{
    return QByteArray::fromStdString(hextext::Record(
        type, address,
        std::span(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())),
        lineEnd));
}

const QByteArray kEof = ":00000001FF\r\n";
const QByteArray kABC = QByteArray::fromHex("0a0b0c");

} // namespace

class HexConvertTest : public QObject {
    Q_OBJECT

private slots:
    void convertsSoundFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("image");

        const QByteArray two = Rec(0, 0, kABC) + Rec(0, 3, "\x01\x02");
        const QByteArray twoImage = QByteArray::fromHex("0a0b0c0102");
        QTest::newRow("CR LF") << two + kEof << twoImage;
        QTest::newRow("LF only") << Rec(0, 0, kABC, "\n") + Rec(0, 3, "\x01\x02", "\n")
                                        + ":00000001FF\n"
                                 << twoImage;
        QTest::newRow("CR only") << Rec(0, 0, kABC, "\r") + Rec(0, 3, "\x01\x02", "\r")
                                        + ":00000001FF\r"
                                 << twoImage;
        QTest::newRow("blank lines, also of blanks and tabs")
            << "\r\n" + Rec(0, 0, kABC) + "\n\n  \t\r\n" + Rec(0, 3, "\x01\x02") + kEof << twoImage;
        QTest::newRow("lower-case digits") << QByteArray(":030000000a0b0cdc\n") << kABC;
        QTest::newRow("last line without line end") << Rec(0, 0, kABC, "") << kABC;
        QTest::newRow("image begins at address 0, gaps are 0x00")
            << Rec(0, 2, "\x01") + Rec(0, 5, "\x02") + kEof << QByteArray::fromHex("000001000002");
        QTest::newRow("later record over an earlier address wins")
            << Rec(0, 0, kABC) + Rec(0, 1, "\x55") + kEof << QByteArray::fromHex("0a550c");
        QTest::newRow("02 segment base x 16")
            << Rec(2, 0, QByteArray::fromHex("0001")) + Rec(0, 1, "\x77") + kEof
            << QByteArray(17, '\0') + "\x77";
        QTest::newRow("04 linear base x 65536, the later base wins")
            << Rec(2, 0, QByteArray::fromHex("0100")) + Rec(4, 0, QByteArray::fromHex("0001"))
                   + Rec(0, 2, "\x77") + kEof
            << QByteArray(0x10002, '\0') + "\x77";
        QTest::newRow("record at 0xFFF7 kept, its bytes run on past the segment")
            << Rec(0, 0xFFF7, "\x01\x02") << QByteArray(0xFFF7, '\0') + "\x01\x02";
        QTest::newRow("records at 0xFFF8..0xFFFF dropped")
            << Rec(0, 0, "\x01") + Rec(0, 0xFFF8, "\x02") + Rec(0, 0xFFFF, "\x03") + kEof
            << QByteArray("\x01");
        QTest::newRow("start addresses 03 and 05 ignored")
            << Rec(0, 0, kABC) + Rec(3, 0, QByteArray::fromHex("10002340"))
                   + Rec(5, 0, QByteArray::fromHex("00012340")) + kEof
            << kABC;
        QTest::newRow("no end-of-file record: the text's end ends it") << Rec(0, 0, kABC) << kABC;
        QTest::newRow("nothing after the end-of-file record is read")
            << Rec(0, 0, kABC) + kEof + "garbage\r\n" + Rec(0, 9, "\x01") << kABC;
        QTest::newRow("no data records: empty image")
            << Rec(4, 0, QByteArray::fromHex("0000")) + kEof << QByteArray();
        QTest::newRow("empty text") << QByteArray() << QByteArray();
    }

    void convertsSoundFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, image);
        const firmware::HexConversion converted = Convert(text);
        QVERIFY2(converted.ok, converted.error.reason.c_str());
        QCOMPARE(ToBytes(converted.image), image);
    }

    void refusesUnsoundLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");

        const QByteArray good = Rec(0, 0, kABC);
        QTest::newRow("no colon") << good + "030000000A0B0CE6\r\n" << 2 << "no ':' at the start";
        QTest::newRow("non-hex digit") << good + ":03000000GA0B0CE6\r\n"
                                       << 2 << "'G' is no hex digit";
        QTest::newRow("control character") << good
                                                  + QByteArray(":0300000\0"
                                                               "0A0B0CE6\r\n",
                                                               19)
                                           << 2 << "character 0x00 is no hex digit";
        QTest::newRow("trailing blank")
            << QByteArray(":030000000A0B0CE6 \r\n") << 1 << "' ' is no hex digit";
        QTest::newRow("odd digit count") << good + ":030000000A0B0CE\r\n"
                                         << 2 << "odd number of hex digits";
        QTest::newRow("too short") << QByteArray(":00000001\r\n") << 1 << "record too short";
        QTest::newRow("count above the data")
            << QByteArray(":040000000A0B0CE6\r\n") << 1 << "byte count 4 but 3 data bytes";
        QTest::newRow("count below the data")
            << QByteArray(":020000000A0B0CE6\r\n") << 1 << "byte count 2 but 3 data bytes";
        QTest::newRow("bad checksum") << good + ":030000000A0B0CDD\r\n"
                                      << 2 << "checksum DD, computed DC";
        QTest::newRow("unknown type") << Rec(6, 0, kABC) << 1 << "unknown record type 06";
        QTest::newRow("short address record")
            << Rec(4, 0, "\x01") << 1 << "address record of 1 bytes, not 2";
        QTest::newRow("line numbers count every kind of line end")
            << "\r\n" + good + "\n\r" + Rec(0, 3, "\x01", "\r") + "x\r\n"
            << 6 << "no ':' at the start";
        QTest::newRow("line of 100000 digits") << ":" + QByteArray(100000, 'A') + "\r\n"
                                               << 1 << "byte count 170 but 49995 data bytes";
        QTest::newRow("beyond the 16 MiB limit")
            << good + Rec(4, 0, QByteArray::fromHex("0100")) + Rec(0, 0, "\x01") << 3
            << "data at 0x1000000 lies beyond the 16 MiB limit";
        QTest::newRow("crossing the 16 MiB limit")
            << Rec(4, 0, QByteArray::fromHex("00FF")) + Rec(0, 0xFFF0, QByteArray(17, 'x')) << 2
            << "data at 0xFFFFF0 lies beyond the 16 MiB limit";
        QTest::newRow("the error stops the conversion before a later end record")
            << Rec(7, 0, {}) + kEof << 1 << "unknown record type 07";
    }

    void refusesUnsoundLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const firmware::HexConversion converted = Convert(text);
        QVERIFY(!converted.ok);
        QVERIFY(converted.image.empty());
        QCOMPARE(QString::fromStdString(converted.error.reason), reason);
        QCOMPARE(converted.error.line, size_t(line));
    }

    // A file is read in pieces: lines, CR LF pairs and errors cut anywhere give the same result.
    void piecesGiveTheSameResultAsTheWhole()
    {
        const QByteArray good = "\r\n" + Rec(0, 0, kABC) + Rec(0, 3, "\x01\x02", "\r") + "  \n"
                                + Rec(4, 0, QByteArray::fromHex("0001"), "\n") + Rec(0, 0x10, kABC);
        const QByteArray bad = good + "\r\n\r" + Rec(0, 0x20, kABC).replace("0A", "0G");
        for (const QByteArray& text : {good, bad, good + kEof + "junk"}) {
            const firmware::HexConversion whole = Convert(text);
            for (int pieceSize = 1; pieceSize <= text.size(); ++pieceSize) {
                firmware::HexConverter converter;
                QByteArray pending;
                int at = 0;
                for (;;) {
                    pending += text.mid(at, pieceSize);
                    at += pieceSize;
                    const bool last = at >= text.size();
                    const size_t used = converter.Feed(
                        std::span(reinterpret_cast<const uint8_t*>(pending.constData()),
                                  size_t(pending.size())),
                        last);
                    if (last || converter.Done())
                        break;
                    pending.remove(0, qsizetype(used));
                }
                const firmware::HexConversion pieces = converter.Finish();
                QCOMPARE(pieces.ok, whole.ok);
                QCOMPARE(ToBytes(pieces.image), ToBytes(whole.image));
                QCOMPARE(pieces.error.line, whole.error.line);
                QCOMPARE(pieces.error.reason, whole.error.reason);
            }
        }
        QCOMPARE(Convert(bad).error.line, size_t(9));
    }

    void largeFileReadInPieces()
    {
        QTemporaryDir dir;
        QByteArray image(3 * 1024 * 1024 + 7, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 31 + i / 4093);
        QByteArray text = QByteArray::fromStdString(hextext::Write(
            std::span(reinterpret_cast<const uint8_t*>(image.constData()), size_t(image.size())),
            32, 0, "\r"));
        const QString path = dir.filePath("large.hex");
        const auto write = [&](const QByteArray& bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write(text);
        firmware::LoadedImage loaded = firmware::ReadImageFile(path.toStdString());
        QCOMPARE(loaded.result, firmware::LoadResult::Loaded);
        QCOMPARE(ToBytes(loaded.image), image);

        const int badAt = text.indexOf('\r', 2 * 1024 * 1024) + 5;
        text[badAt] = 'Z';
        write(text);
        loaded = firmware::ReadImageFile(path.toStdString());
        QCOMPARE(loaded.result, firmware::LoadResult::NotConverted);
        QCOMPARE(loaded.hexError.line, size_t(text.left(badAt).count('\r') + 1));
        QCOMPARE(loaded.hexError.reason, std::string("'Z' is no hex digit"));
    }

    void takesAnImageUpToTheLimit()
    {
        const QByteArray text =
            Rec(4, 0, QByteArray::fromHex("00FF")) + Rec(0, 0xFFE0, QByteArray(32, '\x5A'));
        const firmware::HexConversion converted = Convert(text);
        QVERIFY(converted.ok);
        QCOMPARE(converted.image.size(), firmware::kMaxImageSize);
        QCOMPARE(converted.image.back(), uint8_t(0x5A));
    }

    void fileBytesChooseHexOrRaw()
    {
        using firmware::LoadResult;
        const auto load = [](const QByteArray& bytes) {
            return firmware::ImageFromFileBytes(std::span(
                reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())));
        };
        QCOMPARE(load(QByteArray(256, '\x01')).result, LoadResult::TooSmall);

        const firmware::LoadedImage raw = load(QByteArray(257, '\x01'));
        QCOMPARE(raw.result, LoadResult::Loaded);
        QCOMPARE(raw.image.size(), size_t(257));

        // The first byte alone decides: a HEX text after a byte-order mark is taken byte for byte.
        const QByteArray hex = Rec(0, 0, kABC).repeated(20);
        QCOMPARE(ToBytes(load(hex).image), kABC);
        QCOMPARE(load("\xEF\xBB\xBF" + hex).image.size(), size_t(hex.size() + 3));

        const firmware::LoadedImage bad = load(hex + "oops\r\n");
        QCOMPARE(bad.result, LoadResult::NotConverted);
        QCOMPARE(bad.hexError.line, size_t(21));

        QCOMPARE(load(QByteArray(int(firmware::kMaxImageSize) + 1, '\x01')).result,
                 LoadResult::TooLarge);
        QCOMPARE(firmware::ReadImageFile("/nonexistent/firmware.hex").result,
                 LoadResult::CannotOpen);
    }

    void identificationInTheImage_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("revision");
        QTest::newRow("plain") << QByteArray::fromHex("001234fedc23072110ff") << true << "QX710TX"
                               << "3072.1";
        QTest::newRow("after a lone 0x12")
            << QByteArray::fromHex("121234fedc33072100") << true << "QX720RX"
            << "3072.1";
        QTest::newRow("first true marker after a false one")
            << QByteArray::fromHex("1234fe001234fedc1abcde10") << true << "QX740TX"
            << "abcd.e";
        QTest::newRow("type above 3 has no name")
            << QByteArray::fromHex("1234fedc53000510") << true << "TX"
            << "3000.5";
        QTest::newRow("block runs past the end")
            << QByteArray::fromHex("1234fedc230721") << false << ""
            << "";
        QTest::newRow("no marker") << QByteArray::fromHex("1234fe") << false << ""
                                   << "";
    }

    void identificationInTheImage()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, found);
        QFETCH(QString, type);
        QFETCH(QString, revision);
        const auto block = firmware::FindImageInfo(
            std::span(reinterpret_cast<const uint8_t*>(image.constData()), size_t(image.size())));
        QCOMPARE(block.has_value(), found);
        if (!found)
            return;
        QCOMPARE(QString::fromStdString(block->ChipTypeName() + block->RoleText()), type);
        QCOMPARE(QString::fromStdString(block->RevisionText()), revision);
    }

    void demoSamplesLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("identification");
        QTest::newRow("local") << "demo-local-tx-3072.2.hex"
                               << "QX710TX 3072.2";
        QTest::newRow("remote") << "demo-remote-rx-3072.2.hex"
                                << "QX720RX 3072.2";
    }

    void demoSamplesLoad()
    {
        QFETCH(QString, name);
        QFETCH(QString, identification);
        const QString path = QT_TESTCASE_SOURCEDIR "/../../samples/firmware/" + name;
        const firmware::LoadedImage loaded = firmware::ReadImageFile(path.toStdString());
        QCOMPARE(loaded.result, firmware::LoadResult::Loaded);
        QCOMPARE(loaded.image.size(), size_t(8192));
        const auto block = firmware::FindImageInfo(loaded.image);
        QVERIFY(block);
        QCOMPARE(QString::fromStdString(block->ChipTypeName() + block->RoleText() + " "
                                        + block->RevisionText()),
                 identification);
    }

    void textForms()
    {
        QCOMPARE(firmware::ByteToHex(0x07), std::string("07"));
        QCOMPARE(firmware::ByteToHex(0xAB), std::string("ab"));
        QCOMPARE(firmware::ByteToHex(0x00), std::string("00"));
        // Only bit 4 of the last byte tells the role.
        const auto block = [](uint8_t b0, uint8_t b3) {
            return firmware::DeviceInfoBlock{{b0, 0, 0, b3}};
        };
        QCOMPARE(block(0, 0xEF).RoleText(), std::string("RX"));
        QCOMPARE(block(0, 0x10).RoleText(), std::string("TX"));
        QCOMPARE(block(0x0F, 0).ChipTypeName(), std::string(""));
    }

    void progressScale()
    {
        const firmware::ProgressScale one(1);
        QCOMPARE(one.Maximum(), 1);
        QCOMPARE(one.Position(0), 0);
        QCOMPARE(one.Position(1), 1);

        const firmware::ProgressScale large(524288); // a 16 MiB image
        QCOMPARE(large.Maximum(), 65535);
        QCOMPARE(large.Position(262144), 32767);
        QCOMPARE(large.Position(524287), 65534);
        QCOMPARE(large.Position(524288), 65535);
    }
};

QTEST_MAIN(HexConvertTest)
#include "tst_hex_convert.moc"
