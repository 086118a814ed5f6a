#include "history/Formats.h"

#include <QDateTime>
#include <QRegularExpression>

namespace history {
namespace {

QString CsvField(QString text)
{
    // What a user's file name or a unit's serial number may start with, and a spreadsheet would
    // run as a formula.
    if (!text.isEmpty() && QString("=+-@").contains(text[0]))
        text.prepend('\'');
    if (text.contains(QRegularExpression("[\",\r\n]")))
        return '"' + text.replace('"', "\"\"") + '"';
    return text;
}

QString Text(const QString& text)
{
    return text;
}

QString Text(std::optional<qint64> number)
{
    return number ? QString::number(*number) : QString();
}

QJsonValue Json(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonValue Json(std::optional<qint64> number)
{
    return number ? QJsonValue(*number) : QJsonValue();
}

// The time kept in UTC as the local time with its offset, as every JSON time is printed.
QJsonValue LocalTime(const QString& utc)
{
    const QDateTime local = QDateTime::fromString(utc, Qt::ISODateWithMs).toLocalTime();
    if (!local.isValid())
        return Json(utc); // a row written by hand: shown as it is
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// The setting byte kept in hex as its number; null where there is none or it is no byte.
QJsonValue SettingValue(const QString& hex)
{
    bool isNumber = false;
    const uint value = hex.toUInt(&isNumber, 16);
    return isNumber && value <= 0xFF ? QJsonValue(int(value)) : QJsonValue();
}

} // namespace

QString OutcomeText(const Row& row)
{
    if (row.outcome == kStarted)
        return "started, never ended";
    if (row.outcome == kStopped)
        return QString(kStopped) + " " + row.cause;
    return row.cause.isEmpty() ? row.outcome : row.outcome + ": " + row.cause;
}

QString TextLine(const Row& row)
{
    QString what = row.action;
    if (!row.chip.isEmpty())
        what += " " + row.chip;
    if (!row.setting.isEmpty())
        what += " (" + row.setting + ")";
    QStringList ended{OutcomeText(row)};
    if (row.blocks)
        ended << QString("%1 blocks").arg(*row.blocks);
    if (row.durationMs)
        ended << QString("%1 s").arg(*row.durationMs / 1000.0, 0, 'f', 1);
    QStringList image;
    if (!row.imageFile.isEmpty())
        image << row.imageFile << QString("%1 bytes").arg(row.imageBytes.value_or(0))
              << "SHA-256 " + row.imageSha256;
    if (!row.chipBefore.isEmpty())
        image << "the chip was " + row.chipBefore;
    if (!row.imageIdentification.isEmpty())
        image << "the image is for " + row.imageIdentification;
    return QStringList{row.time, row.serial, row.path, what, ended.join(", "), image.join(", ")}
        .join('\t');
}

QJsonObject JsonObject(const Row& row)
{
    QJsonObject object;
    for (const Field& field : kFields)
        std::visit([&](auto member) { object[field.name] = Json(row.*member); }, field.member);
    object["time"] = LocalTime(row.time);
    object["setting"] = SettingValue(row.setting);
    return object;
}

QString CsvHeader()
{
    return FieldNames().join(',');
}

QString CsvRecord(const Row& row)
{
    QStringList fields;
    for (const Field& field : kFields)
        std::visit([&](auto member) { fields << CsvField(Text(row.*member)); }, field.member);
    return fields.join(',');
}

} // namespace history
