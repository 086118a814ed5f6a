// history: what the tool did to which unit, newest first: as text, as JSON, or as CSV that opens
// in a spreadsheet. It reads the file only, and sends nothing to any unit.
#include <QDir>

#include "cli/Session.h"
#include "history/Formats.h"
#include "history/Store.h"

namespace cli {
namespace {

// "2025-03-07" from its start, "2025-03-07T13:05" or "…T13:05:30", in local time, or in UTC or
// another zone where the time names it ("…Z", "…+02:00").
QDateTime SinceOption(const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    return day.isValid() ? day.startOfDay() : QDateTime::fromString(text, Qt::ISODate);
}

} // namespace

int History(Session& session)
{
    const QCommandLineParser& options = session.Options();
    if (options.isSet("json") && options.isSet("csv"))
        return session.Fail(kUsage, "--json and --csv each choose the output; give one of them");
    for (const char* option : {"device", "wait"}) {
        if (options.isSet(option))
            return session.Fail(kUsage, QString("--%1 does not go with history, which reads the "
                                                "record of every unit: --serial names units")
                                            .arg(option));
    }
    history::Query query{.serials = options.values("serial")};
    if (options.isSet("since")) {
        query.since = SinceOption(options.value("since"));
        if (!query.since.isValid())
            return session.Fail(kUsage, "--since takes a date or a time, as 2025-03-07 or "
                                        "2025-03-07T13:05, not '"
                                            + options.value("since") + "'");
    }
    const Context& context = session.Ctx();
    const QString file = context.history ? context.history(options.isSet("demo")) : QString();
    const history::Reading reading = history::Read(file, query);
    if (!reading.failure.isEmpty())
        return session.Fail(kFile, "the update history cannot be read: " + reading.failure);
    if (options.isSet("csv"))
        session.Data(history::CsvHeader());
    for (const history::Row& row : reading.rows) {
        if (session.Json())
            session.Data(history::JsonObject(row));
        else
            session.Data(options.isSet("csv") ? history::CsvRecord(row) : history::TextLine(row));
    }
    if (reading.rows.empty())
        session.Say((query.serials.isEmpty() && !query.since.isValid() ? "nothing recorded in "
                                                                       : "nothing of that in ")
                    + QDir::toNativeSeparators(file));
    return kDone;
}

} // namespace cli
