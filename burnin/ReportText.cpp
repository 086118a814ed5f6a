#include "burnin/ReportText.h"

#include <QFile>
#include <QSaveFile>

namespace report {
namespace {

const QString kRule = QString(60, '*') + "\r\n";

} // namespace

QString Header(const ClockReading& opened)
{
    return kRule + FormatTimeStamp(opened) + "\r\n" + "Series:QX710\r\n" + "Description:\r\n"
           + kRule;
}

QByteArray RepairLineEnds(QByteArray log)
{
    return log.replace("\r\r\n", "\r\n");
}

QByteArray ReadLog(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // An entry being written at this moment is left to the next report: only whole lines.
    const QByteArray log = file.readAll();
    return RepairLineEnds(log.left(log.lastIndexOf('\n') + 1));
}

QByteArray Body(const QString& description, const QByteArray& log)
{
    QString text = description;
    text.replace("\r\n", "\n");
    text.replace('\n', "\r\n");
    return text.toUtf8() + "\r\n" + log + '\t';
}

QString FileName(const QString& chosen)
{
    return chosen + ".txt";
}

FileWrite Write(const QString& path, const QByteArray& body)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {false, file.errorString()};
    if (file.write(body) != body.size() || !file.commit())
        return {false, file.errorString()};
    return {};
}

} // namespace report
