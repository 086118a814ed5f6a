// list: the extenders on this PC, once with the connect check, or watched as they are plugged
// in and pulled out.
#include <QJsonArray>
#include <map>

#include "cli/Session.h"
#include "device/UnitWatcher.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

// list --watch: the extenders present, then each one plugged in or pulled out, until a stop;
// only those --serial or --device names, when given. Nothing is sent to any unit.
int WatchUnits(Session& session, IHidBackend& backend, IUnitWatcher& watcher)
{
    std::map<std::string, QString> serials; // by path: a unit pulled out no longer tells its own
    const auto tell = [&](const QString& event, const std::string& path) {
        const QString node = QString::fromStdString(path);
        if (session.Json())
            session.Data(QJsonObject{{"event", event}, {"path", node}, {"serial", serials[path]}});
        else
            session.Data(QStringList{event, node, serials[path]}.join('\t'));
    };
    for (const CHidIO::Unit& unit : session.Units().Named(backend)) {
        serials[unit.path] = QString::fromStdString(unit.attributes.serial);
        tell("present", unit.path);
    }
    while (session.Stopping() == Stop::None) {
        if (!session.Ctx().await(watcher.Handle(), 100ms))
            continue;
        // A unit plugged in before the first enumeration is told once; one pulled out before it
        // was never told. One already pulled out again is told without its serial number.
        for (const UnitChange& change : watcher.TakeChanges()) {
            const bool known = serials.contains(change.path);
            if (change.kind == UnitChange::Kind::Added && !known) {
                CHidIO::Unit added{change.path, {}};
                for (const CHidIO::Unit& unit : CHidIO::Extenders(backend)) {
                    if (unit.path == change.path)
                        added = unit;
                }
                if (!session.Units().Names(added))
                    continue;
                serials[added.path] = QString::fromStdString(added.attributes.serial);
                tell("added", change.path);
            } else if (change.kind == UnitChange::Kind::Removed && known) {
                tell("removed", change.path);
                serials.erase(change.path);
            }
        }
    }
    return kDone;
}

} // namespace

int List(Session& session)
{
    IHidBackend& backend = session.Backend();
    const bool watch = session.Options().isSet("watch");
    QString failure;
    IUnitWatcher* watcher =
        watch || session.Options().isSet("wait") ? &session.Watcher(failure) : nullptr;
    if (watch && watcher->Handle() == kNoWaitHandle)
        return session.Fail(kDevice,
                            "extenders plugged in or pulled out cannot be watched: " + failure);
    if (session.Options().isSet("wait")) { // for every serial number named, or one unit
        if (const int present = session.Retrying([&]() -> Session::Attempt {
                const std::vector<CHidIO::Unit> named = session.Units().Named(backend);
                const QString missing = session.NotAllThere(named);
                return {missing.isEmpty() ? kDone : kDevice, missing, !named.empty()};
            }))
            return present;
    }
    if (watch)
        return WatchUnits(session, backend, *watcher);
    QJsonArray units;
    for (const CHidIO::Unit& unit : session.Units().Named(backend)) {
        // A unit that another program holds is not sent anything: it may be mid-update.
        CHidCmd channel(backend);
        const CHidIO::Opening opening = channel.Transport().Open(unit.path);
        const bool inUse = opening.result == CHidIO::Opening::Result::InUse;
        // A node this user may not open: the package's udev rule is missing or not yet applied.
        const bool denied = !opening.Advice().empty();
        const bool answers = opening && AnswersConnectCheck(channel);
        QJsonObject object{{"path", QString::fromStdString(unit.path)},
                           {"serial", QString::fromStdString(unit.attributes.serial)},
                           {"manufacturer", QString::fromStdString(unit.attributes.manufacturer)},
                           {"product", QString::fromStdString(unit.attributes.product)},
                           {"answers", answers},
                           {"in_use", inUse},
                           {"no_permission", denied}};
        if (inUse)
            object["held_by"] = QString::fromStdString(opening.holder);
        if (denied)
            session.Say(QString::fromStdString(opening.Why() + "; " + opening.Advice()));
        units.append(object);
        if (!session.Json())
            session.Data(QStringList{object["path"].toString(), object["serial"].toString(),
                                     object["manufacturer"].toString(),
                                     object["product"].toString(),
                                     inUse     ? "in use"
                                     : denied  ? "no permission"
                                     : answers ? "answers"
                                               : "does not answer"}
                             .join('\t'));
    }
    if (session.Json())
        session.Data(QJsonObject{{"devices", units}});
    return units.isEmpty() ? session.Fail(kDevice, session.Missing()) : kDone;
}

} // namespace cli
