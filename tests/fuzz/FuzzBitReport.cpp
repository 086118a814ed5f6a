// The fuzz target of the burn-in report's read-back of BIT.txt: any bytes as the log on disk,
// optionally after a description and a NUL byte ("description\0log"). Besides not crashing, the
// log must come back with exactly the line ends repaired that a newline-translating write
// doubled, the file must stay as it was, and the report must end in its tab.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "FuzzCheck.h"
#include "burnin/ReportText.h"

namespace {

using fuzz::Require;

// The log as a newline-translating read gives it back, with the one difference that
// our entries end in CR LF: a CR run before LF loses one CR when it has two or more (an entry
// stored as CR CR LF reads as CR LF), a single CR LF stays as it is.
QByteArray RepairedAsDesigned(const QByteArray& stored)
{
    QByteArray repaired;
    for (const char c : stored) {
        if (c == '\n' && repaired.endsWith("\r\r"))
            repaired.chop(1);
        repaired.append(c);
    }
    return repaired;
}

QByteArray ReadBack(const QByteArray& stored)
{
    static QTemporaryDir dir;
    Require(dir.isValid(), "a temporary directory for the log");
    const QString path = dir.filePath("BIT.txt");
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the log can be written");
    Require(file.write(stored) == stored.size(), "the log is written whole");
    file.close();

    const QByteArray log = report::ReadLog(path);
    Require(file.open(QIODevice::ReadOnly) && file.readAll() == stored,
            "reading the log leaves it as it was");
    return log;
}

void CheckBody(const QString& description, const QByteArray& log)
{
    const QByteArray body = report::Body(description, log);
    Require(body.endsWith(log + '\t'), "the report ends in the log and one tab");
    const QByteArray text = body.chopped(log.size() + 1);
    Require(text.endsWith("\r\n"), "the description ends in CR LF");
    for (qsizetype i = 0; i < text.size(); ++i)
        Require(text[i] != '\n' || (i > 0 && text[i - 1] == '\r'),
                "every line break of the description is CR LF");

    // Only line breaks change: CR LF pairs read back as LF give the description's text again.
    QByteArray typed = description.toUtf8();
    QByteArray kept = text.chopped(2);
    Require(kept.replace("\r\n", "\n") == typed.replace("\r\n", "\n"),
            "the description keeps its text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype separator = input.indexOf('\0');
    const QString description =
        separator < 0 ? QString() : QString::fromUtf8(input.left(separator));
    const QByteArray stored = separator < 0 ? input : input.mid(separator + 1);

    const QByteArray repaired = report::RepairLineEnds(stored);
    Require(repaired == RepairedAsDesigned(stored),
            "doubled line ends are repaired, nothing else changes");
    Require(ReadBack(stored) == repaired, "the log reads back repaired");
    CheckBody(description, repaired);
    return 0;
}
