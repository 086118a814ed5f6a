#pragma once
#include <QCommandLineParser>
#include <QStringList>
#include <vector>

#include "device/HidIO.h"

// Which extenders a command runs on, as the options name them: the first one found, the one at
// --device, the one or several that --serial names, or every one present with --all. The commands
// and the listing of units all ask here.
namespace cli {

class UnitSelection {
public:
    explicit UnitSelection(const QCommandLineParser& options);

    // Several units, each at once: --all, or --serial given with more than one serial number.
    // One --serial, --device or neither name one unit, as they always have.
    bool Many() const { return m_all || m_serials.size() > 1; }
    // Why the options cannot go together, or nothing.
    QString Conflict() const;

    bool Names(const CHidIO::Unit& unit) const;
    // The extenders present that the options name, in enumeration order; all of them when none
    // is named.
    std::vector<CHidIO::Unit> Named(IHidBackend& backend) const;
    // The serial numbers asked for that no unit present has.
    QStringList Absent(const std::vector<CHidIO::Unit>& present) const;
    // Why the units named, of those present, are not all there: none is (as Missing says), or a
    // serial number named is not; nothing when they are.
    QString NotAllThere(const std::vector<CHidIO::Unit>& named, const QString& command) const;

    // "no extender with serial number B2", "no extender at PATH", or that none is found at all
    // and what to do about it (the command named in the advice).
    QString Missing(const QString& command) const;
    // One serial number that no unit has.
    static QString MissingSerial(const QString& serial);
    // "2 extenders have serial number B2 (PATH, PATH): use --device to name one".
    QString SerialShared(const std::vector<CHidIO::Unit>& named) const;

private:
    bool m_all;
    QStringList m_serials; // each once, as given
    QString m_device;
};

} // namespace cli
