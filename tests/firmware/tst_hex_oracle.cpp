// Our HEX conversion against two independent tools: srec_cat (srecord) and objcopy (binutils)
// write HEX files of generated images, and srec_cat reads every HEX file back to a binary that
// ours must equal byte for byte.
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "HexText.h"
#include "firmware/IntelHex.h"

namespace {

QByteArray RandomImage(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray image(size, '\0');
    for (char& byte : image)
        byte = static_cast<char>(random.bounded(256));
    return image;
}

std::span<const uint8_t> AsBytes(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

} // namespace

class HexOracleTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    void WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(PathOf(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    QByteArray ReadFile(const QString& name)
    {
        QFile file(PathOf(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void Run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(program, arguments);
        QVERIFY2(process.waitForFinished(60000), qPrintable(program + " did not finish"));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 qPrintable(program + ": " + process.readAllStandardError()));
    }

    // What srec_cat reads out of the HEX file: its binary begins at address 0 with holes of 0x00,
    // as our image does.
    QByteArray SrecCatReads(const QString& hexName)
    {
        Run("srec_cat", {hexName, "-intel", "-o", "oracle.bin", "-binary"});
        return ReadFile("oracle.bin");
    }

    QByteArray OursReads(const QString& hexName)
    {
        const firmware::HexConversion converted =
            firmware::ConvertHexToBin(AsBytes(ReadFile(hexName)));
        if (!converted.ok)
            qWarning("line %zu: %s", converted.error.line, converted.error.reason.c_str());
        return QByteArray(reinterpret_cast<const char*>(converted.image.data()),
                          qsizetype(converted.image.size()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (const char* tool : {"srec_cat", "objcopy"})
            QVERIFY2(
                !QStandardPaths::findExecutable(tool).isEmpty(),
                qPrintable(
                    QString("%1 is missing: scripts/torvan.sh test installs srecord and binutils")
                        .arg(tool)));
    }

    void sameBytesAsTheTools_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("origin");
        QTest::addColumn<int>("recordSize");
        QTest::newRow("srec_cat, 1 byte") << "srec_cat" << 1 << 0 << 32;
        QTest::newRow("srec_cat, 33 bytes") << "srec_cat" << 33 << 0 << 32;
        QTest::newRow("srec_cat, 70000 bytes over a 64 KiB boundary")
            << "srec_cat" << 70000 << 0 << 32;
        QTest::newRow("srec_cat, long records at 0x1FFF0") << "srec_cat" << 5000 << 0x1FFF0 << 255;
        QTest::newRow("srec_cat, 200000 bytes at 0x300000")
            << "srec_cat" << 200000 << 0x300000 << 16;
        QTest::newRow("objcopy, 31 bytes") << "objcopy" << 31 << 0 << 16;
        QTest::newRow("objcopy, 100000 bytes at 0x10") << "objcopy" << 100000 << 0x10 << 16;
        QTest::newRow("objcopy, 3000 bytes at 0x123450") << "objcopy" << 3000 << 0x123450 << 16;
    }

    void sameBytesAsTheTools()
    {
        QFETCH(QString, tool);
        QFETCH(int, size);
        QFETCH(int, origin);
        QFETCH(int, recordSize);
        const QByteArray image = RandomImage(size, quint32(size + origin));
        WriteFile("image.bin", image);
        const QString base = "0x" + QString::number(origin, 16);
        if (tool == "srec_cat")
            Run("srec_cat", {"image.bin", "-binary", "-offset", base, "-o", "image.hex", "-intel",
                             QString("-obs=%1").arg(recordSize)});
        else
            Run("objcopy", {"-I", "binary", "-O", "ihex", "--change-addresses", base, "image.bin",
                            "image.hex"});

        const QByteArray ours = OursReads("image.hex");
        QCOMPARE(ours.size(), origin + size);
        QCOMPARE(ours, QByteArray(origin, '\0') + image);
        QCOMPARE(ours, SrecCatReads("image.hex"));
    }

    // A file the tools do not write: CR LF, gaps, a segment base, a later linear base, records
    // out of address order, no end-of-file record.
    void sameBytesAsSrecCatOnAMixedFile()
    {
        const auto piece = [](int size, quint32 seed) { return RandomImage(size, seed); };
        const auto record = [](uint8_t type, uint16_t address, const QByteArray& data) {
            return hextext::Record(type, address, AsBytes(data));
        };
        std::string text;
        text += record(0x00, 0x0100, piece(100, 1));
        text += record(0x02, 0, QByteArray::fromHex("2000")); // base 0x20000
        text += record(0x00, 0x0010, piece(50, 2));
        text += hextext::LinearBase(3);
        text += record(0x00, 0x8000, piece(255, 3));
        text += hextext::LinearBase(0);
        text += record(0x00, 0x0000, piece(16, 4));
        WriteFile("mixed.hex", QByteArray::fromStdString(text));

        const QByteArray ours = OursReads("mixed.hex");
        QCOMPARE(ours.size(), 0x38000 + 255);
        QCOMPARE(ours, SrecCatReads("mixed.hex"));
    }
};

QTEST_MAIN(HexOracleTest)
#include "tst_hex_oracle.moc"
