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
    QByteArray text, image;
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
        // clang-format off
        AddRows<Converted>({
            {"LF line ends", {Rec(0, 0, kABC, "\n") + Rec(0, 3, "\1\2", "\n") + Rec(1, 0, {}, "\n"), two}},
            {"CR line ends", {Rec(0, 0, kABC, "\r") + Rec(0, 3, "\1\2", "\r") + Rec(1, 0, {}, "\r"), two}},
            {"blank lines", {"\r\n" + Rec(0, 0, kABC) + "\n\n  \t\r\n" + Rec(0, 3, "\1\2") + kEof, two}},
            {"lower case", {":030000000a0b0cdc\n", kABC}},
            {"no end-of-file record, no last line end", {Rec(0, 0, kABC, ""), kABC}},
            {"gaps filled with zeros", {Rec(0, 2, "\1") + Rec(0, 5, "\2") + kEof, QByteArray::fromHex("000001000002")}},
            {"a later record overwrites", {Rec(0, 0, kABC) + Rec(0, 1, "\x55") + kEof, QByteArray::fromHex("0a550c")}},
            {"segment address", {Rec(2, 0, kBase1) + Rec(0, 1, "\x77") + kEof, zeros + "\x77"}},
            {"linear address after a segment one",
             {Rec(2, 0, QByteArray::fromHex("0100")) + Rec(4, 0, kBase1) + Rec(0, 2, "\x77"), QByteArray(0x10002, '\0') + "\x77"}},
            {"the last bytes the chip takes", {Rec(0, 0xFFF7, "\1\2"), QByteArray(0xFFF7, '\0') + "\1\2"}},
            {"the longest record", {Rec(0, 0, QByteArray(255, 'x')) + Rec(0, 0xFF, kABC), QByteArray(255, 'x') + kABC}},
            {"data from 0xFFF8 dropped", {Rec(0, 0, "\1") + Rec(0, 0xFFF8, "\2") + Rec(0, 0xFFFF, "\3") + kEof, "\1"}},
            {"start addresses passed over", {Rec(0, 0, kABC) + Rec(3, 0, "\1\2\3\4") + Rec(5, 0, "\1\2\3\4") + kEof, kABC}},
            {"nothing read after the end", {Rec(0, 0, kABC) + kEof + "garbage\r\n" + Rec(0, 9, "\1"), kABC}},
            {"no data", {Rec(4, 0, kBase1) + kEof, {}}},
            {"up to the 16 MiB limit", {baseFF + Rec(0, 0xFFE0, QByteArray(32, 'Z')), QByteArray(0xFFFFE0, '\0') + QByteArray(32, 'Z')}},
            {"no colon", {good + "030000000A0B0CE6\r\n", {}, 2, "no ':' at the start"}},
            {"a letter past F", {good + ":03000000GA0B0CE6\r\n", {}, 2, "'G' is no hex digit"}},
            {"a zero byte", {good + ":0300000" + '\0' + "0A0B0CE6\r\n", {}, 2, "character 0x00 is no hex digit"}},
            {"a space before the line end", {":030000000A0B0CE6 \r\n", {}, 1, "' ' is no hex digit"}},
            {"an odd number of digits", {good + ":030000000A0B0CE\r\n", {}, 2, "odd number of hex digits"}},
            {"too short", {":00000001\r\n", {}, 1, "record too short"}},
            {"a count above the data", {":040000000A0B0CE6\r\n", {}, 1, "byte count 4 but 3 data bytes"}},
            {"a count below the data", {":020000000A0B0CE6\r\n", {}, 1, "byte count 2 but 3 data bytes"}},
            {"a wrong checksum", {good + ":030000000A0B0CDD\r\n", {}, 2, "checksum DD, computed DC"}},
            {"an unknown type", {Rec(6, 0, kABC), {}, 1, "unknown record type 06"}},
            {"an address of one byte", {Rec(4, 0, "\1"), {}, 1, "address record of 1 bytes, not 2"}},
            {"lines counted at CR, LF and CR LF", {"\r\n" + good + "\n\r" + Rec(0, 3, "\1", "\r") + "x\r\n", {}, 6, "no ':' at the start"}},
            {"a line longer than any record", {good + ":" + QByteArray(521, 'A') + "\r\n", {}, 2, "line longer than 521 characters, the longest record"}},
            {"data at 16 MiB", {good + base100 + Rec(0, 0, "\1"), {}, 3, "data at 0x1000000 lies beyond the 16 MiB limit"}},
            {"data across 16 MiB", {baseFF + Rec(0, 0xFFF0, QByteArray(17, 'x')), {}, 2, "data at 0xFFFFF0 lies beyond the 16 MiB limit"}},
            {"refused before the end record", {Rec(7, 0, {}) + kEof, {}, 1, "unknown record type 07"}}});
        // clang-format on
    }
    void converts()
    {
        const auto& [text, image, line, reason] = Fetch<Converted>();
        const auto said = [](const firmware::HexConversion& converted) {
            return std::tuple(Bytes(converted.image), converted.error.line,
                              QString::fromStdString(converted.error.reason), converted.ok);
        };
        const auto expected =
            std::tuple(image, size_t(line), QString::fromStdString(reason), reason.empty());
        QCOMPARE(said(firmware::ConvertHexToBin(AsBytes(text))), expected);
        // Not the 16 MiB image in pieces: filling it once per size would take seconds.
        for (int size = 1; size <= text.size() && image.size() < 0x1000000; ++size) {
            firmware::HexConverter converter;
            QByteArray pending;
            for (int at = 0; !converter.Done() && at < text.size(); at += size) {
                pending += text.mid(at, size);
                pending.remove(
                    0, qsizetype(converter.Feed(AsBytes(pending), at + size >= text.size())));
            }
            QCOMPARE(said(converter.Finish()), expected);
        }
    }

    void filesToImages()
    {
        const auto load = [](const QByteArray& bytes) {
            return firmware::ImageFromFileBytes(AsBytes(bytes));
        };
        QCOMPARE(load(QByteArray(257, '\1')).image.size(), size_t(257)); // 256 is the page's case
        const QByteArray hex = Rec(0, 0, kABC).repeated(20); // HEX by its first byte alone
        QCOMPARE(Bytes(load(hex).image), kABC);
        QCOMPARE(load("\xEF\xBB\xBF" + hex).image.size(), size_t(hex.size() + 3));
        QCOMPARE(load(QByteArray(16 * 1024 * 1024 + 1, 1)).result, firmware::LoadResult::TooLarge);
        InTempDir dir; // a large file is read in pieces; an error deep in it names its line
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
        QCOMPARE(QString("%1: %2").arg(loaded.hexError.line).arg(loaded.hexError.reason.c_str()),
                 QString("%1: 'Z' is no hex digit").arg(text.left(badAt).count('\r') + 1));

        // After a lone 0x12, after a false marker, type above 3, the role from bit 4 alone; none
        // past the end.
        QString shown;
        for (const char* image :
             {"001234fedc23072110ff", "121234fedc33072100", "1234fe001234fedc1abcde10",
              "1234fedc53000510", "1234fedc0f0000ef", "1234fedc230721", "1234fe"}) {
            const auto block = firmware::FindImageInfo(Hex(image));
            shown += QString::fromStdString(block ? block->ChipTypeName() + block->RoleText() + " "
                                                        + block->RevisionText() + "|"
                                                  : "-|");
        }
        QCOMPARE(shown, "QX710TX 3072.1|QX720RX 3072.1|QX740TX abcd.e|TX 3000.5|RX f000.0|-|-|");
        const firmware::ProgressScale one(1), large(524288); // a 16 MiB image
        QVERIFY(one.Maximum() == 1 && one.Position(1) == 1 && large.Maximum() == 65535);
        QVERIFY(large.Position(262144) == 32767 && large.Position(524287) == 65534
                && large.Position(524288) == 65535);

        // srec_cat and objcopy write HEX files of generated images; ours reads them back.
        if (QStandardPaths::findExecutable("srec_cat").isEmpty()
            || QStandardPaths::findExecutable("objcopy").isEmpty())
            QSKIP(
                "srec_cat or objcopy is missing (the test command installs srecord and binutils)");
        const QString srec = "srec_cat image.bin -binary -offset %1 -o image.hex -intel -obs=";
        const QString objcopy =
            "objcopy -I binary -O ihex --change-addresses %1 image.bin image.hex";
        const std::tuple<int, int, QString> table[]{
            {33, 0, srec + "32"},          {70000, 0, srec + "32"},
            {5000, 0x1FFF0, srec + "255"}, {200000, 0x300000, srec + "16"},
            {100000, 0x10, objcopy},       {3000, 0x123450, objcopy}};
        for (const auto& [size, origin, command] : table) {
            const QByteArray image = Pattern(size);
            WriteFile("image.bin", image);
            QStringList arguments = command.arg("0x" + QString::number(origin, 16)).split(' ');
            QCOMPARE(QProcess::execute(arguments.takeFirst(), arguments), 0);
            QCOMPARE(Bytes(firmware::ConvertHexToBin(AsBytes(ReadFile("image.hex"))).image),
                     QByteArray(origin, '\0') + image);
        }
    }
};

QTEST_GUILESS_MAIN(HexTest)
#include "tst_hex.moc"
