#include "cli/Summary.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace cli {
namespace {

// The exit codes from the worst down.
constexpr int kWorstFirst[]{kFailed, kDevice, kRefused, kFile, kUsage, kDone};

QString CodeWord(int code)
{
    switch (code) {
    case kDone: return "done";
    case kDevice: return "failed";
    case kUsage: return "usage";
    case kFile: return "file not usable";
    case kRefused: return "refused";
    default: return "failed samples";
    }
}

QString Seconds(std::chrono::milliseconds took)
{
    return QString::number(double(took.count()) / 1000, 'f', 1) + " s";
}

} // namespace

int WorstCode(const std::vector<UnitResult>& results)
{
    for (const int code : kWorstFirst) {
        if (std::ranges::any_of(results, [&](const UnitResult& r) { return r.code == code; }))
            return code;
    }
    return kDone;
}

QString ResultText(const UnitResult& result)
{
    if (!result.outcome.result.isEmpty())
        return result.outcome.result;
    if (result.outcome.error.isEmpty())
        return CodeWord(result.code);
    return result.outcome.error.section(QRegularExpression("(: |\\. )"), 0, 0);
}

QStringList SummaryTable(const std::vector<UnitResult>& results)
{
    QString counted;
    for (const UnitResult& result : results)
        counted = result.outcome.counted.isEmpty() ? counted : result.outcome.counted;
    std::vector<QStringList> rows{
        {"SERIAL", "PATH", "CHIP", "EXIT", counted.toUpper(), "TIME", "RESULT"}};
    for (const UnitResult& r : results) {
        const auto orNone = [](const QString& text) { return text.isEmpty() ? "-" : text; };
        rows.push_back({orNone(QString::fromStdString(r.unit.attributes.serial)),
                        orNone(QString::fromStdString(r.unit.path)), orNone(r.outcome.chip),
                        QString::number(r.code),
                        r.outcome.counted.isEmpty() ? "-" : QString::number(r.outcome.count),
                        r.unit.path.empty() ? "-" : Seconds(r.took), ResultText(r)});
    }
    std::vector<qsizetype> widths(rows[0].size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column)
            widths[size_t(column)] = std::max(widths[size_t(column)], row[column].size());
    }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (column == 4 && counted.isEmpty())
                continue; // no count for this command
            line += column + 1 < row.size() ? row[column].leftJustified(widths[size_t(column)] + 2)
                                            : row[column];
        }
        lines << line;
    }
    return lines;
}

QJsonObject SummaryJson(const std::vector<UnitResult>& results)
{
    QJsonArray units;
    for (const UnitResult& r : results) {
        const auto orNull = [](const QString& text) {
            return text.isEmpty() ? QJsonValue() : QJsonValue(text);
        };
        QJsonObject unit{{"serial", QString::fromStdString(r.unit.attributes.serial)},
                         {"path", orNull(QString::fromStdString(r.unit.path))},
                         {"chip", orNull(r.outcome.chip)},
                         {"code", r.code},
                         {"result", ResultText(r)},
                         {"seconds", r.unit.path.empty()
                                         ? QJsonValue()
                                         : QJsonValue(double(r.took.count()) / 1000)},
                         {"error", r.code == kDone ? QJsonValue() : orNull(r.outcome.error)}};
        if (!r.outcome.counted.isEmpty())
            unit[r.outcome.counted] = r.outcome.count;
        units.append(unit);
    }
    return {{"event", "summary"}, {"units", units}};
}

int Summarize(Session& session, const std::vector<UnitResult>& results)
{
    if (session.Json())
        session.Data(SummaryJson(results));
    else {
        for (const QString& line : SummaryTable(results))
            session.Data(line);
    }
    return WorstCode(results);
}

} // namespace cli
