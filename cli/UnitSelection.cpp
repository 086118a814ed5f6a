#include "cli/UnitSelection.h"

namespace cli {
namespace {

// The first thing a new user without a unit meets: how to get one seen, or try without one.
QString NoneFoundNextStep(const QString& command)
{
    return "; plug the unit (TX) into this PC with its USB to mini-USB cable"
           + QString(command == "list" ? "" : ", see what is there with 'torvanreader-cli list'")
           + ", or try every command on a simulated extender with --demo";
}

} // namespace

UnitSelection::UnitSelection(const QCommandLineParser& options)
    : m_all(options.isSet("all")), m_device(options.value("device"))
{
    for (const QString& serial : options.values("serial")) {
        if (!m_serials.contains(serial))
            m_serials << serial;
    }
}

QString UnitSelection::Conflict() const
{
    if (m_all && (!m_serials.isEmpty() || !m_device.isEmpty()))
        return "--all names every extender; give it without --device and --serial";
    if (!m_device.isEmpty() && !m_serials.isEmpty())
        return "--device and --serial name the extender each; give one of them";
    return {};
}

bool UnitSelection::Names(const CHidIO::Unit& unit) const
{
    if (!m_serials.isEmpty())
        return m_serials.contains(QString::fromStdString(unit.attributes.serial));
    return m_device.isEmpty() || QString::fromStdString(unit.path) == m_device;
}

std::vector<CHidIO::Unit> UnitSelection::Named(IHidBackend& backend) const
{
    std::vector<CHidIO::Unit> units = CHidIO::Extenders(backend);
    std::erase_if(units, [&](const CHidIO::Unit& unit) { return !Names(unit); });
    return units;
}

QStringList UnitSelection::Absent(const std::vector<CHidIO::Unit>& present) const
{
    QStringList absent;
    for (const QString& serial : m_serials) {
        if (std::ranges::none_of(present, [&](const CHidIO::Unit& unit) {
                return QString::fromStdString(unit.attributes.serial) == serial;
            }))
            absent << serial;
    }
    return absent;
}

QString UnitSelection::NotAllThere(const std::vector<CHidIO::Unit>& named,
                                   const QString& command) const
{
    if (named.empty())
        return Missing(command);
    const QStringList absent = Absent(named);
    return absent.isEmpty() ? QString() : MissingSerial(absent.join(", "));
}

QString UnitSelection::Missing(const QString& command) const
{
    if (!m_serials.isEmpty())
        return MissingSerial(m_serials.join(", "));
    const std::string path = m_device.toStdString();
    return QString::fromStdString(CHidIO::Opening{.path = path}.Why())
           + (path.empty() ? NoneFoundNextStep(command) : QString());
}

QString UnitSelection::MissingSerial(const QString& serial)
{
    return "no extender with serial number " + serial;
}

QString UnitSelection::SerialShared(const std::vector<CHidIO::Unit>& named) const
{
    QStringList paths;
    for (const CHidIO::Unit& unit : named)
        paths << QString::fromStdString(unit.path);
    return QString("%1 extenders have serial number %2 (%3): use --device to name one")
        .arg(named.size())
        .arg(m_serials.value(0), paths.join(", "));
}

} // namespace cli
