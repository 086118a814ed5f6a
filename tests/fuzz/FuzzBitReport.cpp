// The fuzz target of the burn-in report's reading of BIT.txt: any bytes as the log on disk, after
// a description and a NUL byte ("description\0log") when there is one. The log must come back
// in whole lines (one still being written left out) with exactly the line ends repaired that a
// newline-translating write doubled, the file must stay as it was, and the report must be the
// description with CR LF line breaks, CR LF, log, one tab.
#include <QFile>
#include <QTemporaryDir>

#include "FuzzCheck.h"
#include "burnin/ReportText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype separator = input.indexOf('\0');
    const QString description =
        separator < 0 ? QString() : QString::fromUtf8(input.left(separator));
    const QByteArray stored = input.mid(separator + 1);

    QByteArray expected; // a CR run before LF loses one CR when it has two or more
    for (const char c : stored) {
        if (c == '\n' && expected.endsWith("\r\r"))
            expected.chop(1);
        expected.append(c);
    }
    const QByteArray log = report::RepairLineEnds(stored);
    Require(log == expected, "doubled line ends are repaired, nothing else changes");

    static QTemporaryDir dir;
    QFile file(dir.filePath("BIT.txt"));
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && file.write(stored) == stored.size(),
            "the log is written");
    file.close();
    Require(report::ReadLog(file.fileName()) == log.left(log.lastIndexOf('\n') + 1),
            "the log reads back repaired, in whole lines");
    Require(file.open(QIODevice::ReadOnly) && file.readAll() == stored,
            "reading leaves the log as it was");

    const QByteArray body = report::Body(description, log);
    Require(body.endsWith(log + '\t'), "the report ends in the log and one tab");
    const QByteArray text = body.chopped(log.size() + 1);
    Require(text.count('\n') == text.count("\r\n"), "every line break is CR LF");
    QByteArray typed = description.toUtf8();
    Require(text.endsWith("\r\n")
                && text.chopped(2).replace("\r\n", "\n") == typed.replace("\r\n", "\n"),
            "the description keeps its text and ends in CR LF");
    return 0;
}
