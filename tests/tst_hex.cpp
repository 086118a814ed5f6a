// Firmware files to images: Intel HEX and its refusals with line numbers, reading in pieces, raw
// files, the identification in an image, and our conversion against srec_cat and objcopy.
#include <QProcess>
#include <QStandardPaths>

#include "HexText.h"
#include "Rig.h"
#include "firmware/DeviceInfo.h"
#include "firmware/ImageFile.h"
#include "firmware/ProgressScale.h"

namespace {

QByteArray Rec(uint8_t type, uint16_t address, const QByteArray& data, const char* end = "\r\n")
{
    std::string line;
    hextext::Record(line, type, address, AsBytes(data), end);
    return QByteArray::fromStdString(line);
}

const QByteArray kEof = ":00000001FF\r\n";
const QByteArray kABC = QByteArray::fromHex("0a0b0c");
const QByteArray kBase1 = QByteArray::fromHex("0001");

// The file, its image, and where refused the line and the reason.
struct Converted {
    QByteArray text, image{};
    int line = 0;
    std::string reason = {};
};

} // namespace

class HexTest : public QObject {
    Q_OBJECT

private slots:
    // Sound files and their images; unsound ones refused with the line and the reason. A file is
    // read whole and in pieces of every size: lines, CR LF pairs and errors cut anywhere.
    void converts_data()
    {
        const QByteArray two = QByteArray::fromHex("0a0b0c0102"), zeros = QByteArray(17, '\0');
        const QByteArray good = Rec(0, 0, kABC), base100 = Rec(4, 0, QByteArray::fromHex("0100")),
                         baseFF = Rec(4, 0, QByteArray::fromHex("00FF"));
        AddRows<Converted>({
            {"LF line ends",
             {.text = Rec(0, 0, kABC, "\n") + Rec(0, 3, "\1\2", "\n") + Rec(1, 0, {}, "\n"),
              .image = two}},
            {"blank lines",
             {.text = "\r\n" + Rec(0, 0, kABC) + "\n\n  \t\r\n" + Rec(0, 3, "\1\2") + kEof,
              .image = two}},
            {"lower case", {.text = ":030000000a0b0cdc\n", .image = kABC}},
            {"no end-of-file record, no last line end",
             {.text = Rec(0, 0, kABC, ""), .image = kABC}},
            {"gaps filled with zeros",
             {.text = Rec(0, 2, "\1") + Rec(0, 5, "\2") + kEof,
              .image = QByteArray::fromHex("000001000002")}},
            {"a later record overwrites",
             {.text = Rec(0, 0, kABC) + Rec(0, 1, "\x55") + kEof,
              .image = QByteArray::fromHex("0a550c")}},
            {"segment address",
             {.text = Rec(2, 0, kBase1) + Rec(0, 1, "\x77") + kEof, .image = zeros + "\x77"}},
            {"linear address after a segment one",
             {.text =
                  Rec(2, 0, QByteArray::fromHex("0100")) + Rec(4, 0, kBase1) + Rec(0, 2, "\x77"),
              .image = QByteArray(0x10002, '\0') + "\x77"}},
            {"the last bytes the chip takes",
             {.text = Rec(0, 0xFFF7, "\1\2"), .image = QByteArray(0xFFF7, '\0') + "\1\2"}},
            {"the longest record",
             {.text = Rec(0, 0, QByteArray(255, 'x')) + Rec(0, 0xFF, kABC),
              .image = QByteArray(255, 'x') + kABC}},
            {"data from 0xFFF8 dropped",
             {.text = Rec(0, 0, "\1") + Rec(0, 0xFFF8, "\2") + Rec(0, 0xFFFF, "\3") + kEof,
              .image = "\1"}},
            {"start addresses passed over",
             {.text = Rec(0, 0, kABC) + Rec(3, 0, "\1\2\3\4") + Rec(5, 0, "\1\2\3\4") + kEof,
              .image = kABC}},
            {"nothing read after the end",
             {.text = Rec(0, 0, kABC) + kEof + "garbage\r\n" + Rec(0, 9, "\1"), .image = kABC}},
            {"no data", {.text = Rec(4, 0, kBase1) + kEof}},
            {"up to the 16 MiB limit",
             {.text = baseFF + Rec(0, 0xFFE0, QByteArray(32, 'Z')),
              .image = QByteArray(0xFFFFE0, '\0') + QByteArray(32, 'Z')}},
            {"a zero byte",
             {.text = good + ":0300000" + '\0' + "0A0B0CE6\r\n",
              .line = 2,
              .reason = "character 0x00 is no hex digit"}},
            {"a space before the line end",
             {.text = ":030000000A0B0CE6 \r\n", .line = 1, .reason = "' ' is no hex digit"}},
            {"an odd number of digits",
             {.text = good + ":030000000A0B0CE\r\n",
              .line = 2,
              .reason = "odd number of hex digits"}},
            {"too short", {.text = ":00000001\r\n", .line = 1, .reason = "record too short"}},
            {"a count above the data",
             {.text = ":040000000A0B0CE6\r\n",
              .line = 1,
              .reason = "byte count 4 but 3 data bytes"}},
            {"a count below the data",
             {.text = ":020000000A0B0CE6\r\n",
              .line = 1,
              .reason = "byte count 2 but 3 data bytes"}},
            {"a wrong checksum",
             {.text = good + ":030000000A0B0CDD\r\n",
              .line = 2,
              .reason = "checksum DD, computed DC"}},
            {"an address of one byte",
             {.text = Rec(4, 0, "\1"), .line = 1, .reason = "address record of 1 bytes, not 2"}},
            {"lines counted at CR, LF and CR LF",
             {.text = "\r\n" + good + "\n\r" + Rec(0, 3, "\1", "\r") + "x\r\n",
              .line = 6,
              .reason = "no ':' at the start"}},
            {"a line longer than any record",
             {.text = good + ":" + QByteArray(521, 'A') + "\r\n",
              .line = 2,
              .reason = "line longer than 521 characters, the longest record"}},
            {"data at 16 MiB",
             {.text = good + base100 + Rec(0, 0, "\1"),
              .line = 3,
              .reason = "data at 0x1000000 lies beyond the 16 MiB limit"}},
            {"data across 16 MiB",
             {.text = baseFF + Rec(0, 0xFFF0, QByteArray(17, 'x')),
              .line = 2,
              .reason = "data at 0xFFFFF0 lies beyond the 16 MiB limit"}},
            {"refused before the end record",
             {.text = Rec(7, 0, {}) + kEof, .line = 1, .reason = "unknown record type 07"}},
        });
    }
    void converts()
    {
        QFETCH(Converted, row);
        const auto check = [&](const firmware::HexConversion& converted) {
            QCOMPARE(Bytes(converted.image), row.image);
            QCOMPARE(converted.error.line, size_t(row.line));
            QCOMPARE(converted.error.reason, row.reason);
            QCOMPARE(converted.ok, row.reason.empty());
        };
        check(firmware::ConvertHexToBin(AsBytes(row.text)));
        if (QTest::currentTestFailed())
            return;
        // Not the 16 MiB image in pieces: filling it once per size would take seconds.
        for (int size = 1; size <= row.text.size() && row.image.size() < 0x1000000; ++size) {
            firmware::HexConverter converter;
            QByteArray pending;
            for (int at = 0; !converter.Done() && at < row.text.size(); at += size) {
                pending += row.text.mid(at, size);
                pending.remove(
                    0, qsizetype(converter.Feed(AsBytes(pending), at + size >= row.text.size())));
            }
            check(converter.Finish());
            if (QTest::currentTestFailed())
                return qInfo("read in pieces of %d bytes", size);
        }
    }

    // A raw file is taken as it is, a HEX file by its first byte alone; neither above 16 MiB.
    void filesToImages()
    {
        const auto load = [](const QByteArray& bytes) {
            return firmware::ImageFromFileBytes(AsBytes(bytes));
        };
        QCOMPARE(load(QByteArray(257, '\1')).image.size(), size_t(257)); // 256 is the page's case
        const QByteArray hex = Rec(0, 0, kABC).repeated(20);
        QCOMPARE(Bytes(load(hex).image), kABC);
        QCOMPARE(load("\xEF\xBB\xBF" + hex).image.size(), size_t(hex.size() + 3));
        QCOMPARE(load(QByteArray(16 * 1024 * 1024 + 1, 1)).result, firmware::LoadResult::TooLarge);
    }

    // A large file is read in pieces; an error deep in it names its line.
    void largeFileReadInPieces()
    {
        InTempDir dir;
        const QByteArray image = Pattern(3 * 1024 * 1024);
        QByteArray text = QByteArray::fromStdString(hextext::Write(AsBytes(image), "\r"));
        const auto read = [](const QByteArray& file) {
            return firmware::ReadImageFile(
                QFileInfo(WriteFile("large.hex", file)).filesystemFilePath());
        };
        QCOMPARE(Bytes(read(text).image), image);
        const int badAt = text.indexOf('\r', 2 * 1024 * 1024) + 5;
        text[badAt] = 'Z';
        const auto loaded = read(text);
        QCOMPARE(loaded.hexError.line, size_t(text.left(badAt).count('\r') + 1));
        QCOMPARE(loaded.hexError.reason, "'Z' is no hex digit");
    }

    // After a lone 0x12, after a false marker, type above 3, the role from bit 4 alone; none past
    // the end.
    void identificationInAnImage()
    {
        QStringList shown;
        for (const char* image :
             {"001234fedc23072110ff", "121234fedc33072100", "1234fe001234fedc1abcde10",
              "1234fedc53000510", "1234fedc0f0000ef", "1234fedc230721", "1234fe"}) {
            const auto block = firmware::FindImageInfo(Hex(image));
            shown << QString::fromStdString(block ? block->ChipTypeName() + block->RoleText() + " "
                                                        + block->RevisionText()
                                                  : "-");
        }
        QCOMPARE(shown, (QStringList{"QX710TX 3072.1", "QX720RX 3072.1", "QX740TX abcd.e",
                                     "TX 3000.5", "RX f000.0", "-", "-"}));
    }

    // The progress bar's scale of a one-block image and of a 16 MiB one.
    void progressScale()
    {
        const firmware::ProgressScale one(1), large(524288);
        QCOMPARE(one.Maximum(), 1);
        QCOMPARE(one.Position(1), 1);
        QCOMPARE(large.Maximum(), 65535);
        QCOMPARE(large.Position(262144), 32767);
        QCOMPARE(large.Position(524287), 65534);
        QCOMPARE(large.Position(524288), 65535);
    }

    // srec_cat and objcopy write HEX files of generated images; ours reads them back.
    void readsWhatOtherToolsWrite_data()
    {
        const QString srec = "srec_cat image.bin -binary -offset %1 -o image.hex -intel -obs=";
        const QString objcopy =
            "objcopy -I binary -O ihex --change-addresses %1 image.bin image.hex";
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("origin");
        QTest::addColumn<QString>("command");
        QTest::newRow("srec_cat, past 64 KiB") << 70000 << 0 << srec + "32";
        QTest::newRow("srec_cat, 255-byte records") << 5000 << 0x1FFF0 << srec + "255";
        QTest::newRow("srec_cat, 16-byte records") << 200000 << 0x300000 << srec + "16";
        QTest::newRow("objcopy") << 100000 << 0x10 << objcopy;
        QTest::newRow("objcopy, far") << 3000 << 0x123450 << objcopy;
    }
    void readsWhatOtherToolsWrite()
    {
        QFETCH(int, size);
        QFETCH(int, origin);
        QFETCH(QString, command);
        if (QStandardPaths::findExecutable("srec_cat").isEmpty()
            || QStandardPaths::findExecutable("objcopy").isEmpty())
            QSKIP(
                "srec_cat or objcopy is missing (the test command installs srecord and binutils)");
        InTempDir dir;
        const QByteArray image = Pattern(size);
        WriteFile("image.bin", image);
        QStringList arguments = command.arg("0x" + QString::number(origin, 16)).split(' ');
        QCOMPARE(QProcess::execute(arguments.takeFirst(), arguments), 0);
        QCOMPARE(Bytes(firmware::ConvertHexToBin(AsBytes(ReadFile("image.hex"))).image),
                 QByteArray(origin, '\0') + image);
    }
};

QTEST_GUILESS_MAIN(HexTest)
#include "tst_hex.moc"
