#pragma once
#include <QByteArray>
#include <span>

class SimExtender;

// The command line's demo runs one program per command, so its chips are kept in the user's cache
// between commands: flash, apply and info then play an update through. They are restored when
// this is made and kept, when they changed, as it goes.
namespace cli {

class DemoChips {
public:
    explicit DemoChips(std::span<SimExtender* const> units);
    ~DemoChips();
    DemoChips(const DemoChips&) = delete;
    DemoChips& operator=(const DemoChips&) = delete;

private:
    QByteArray State() const;

    std::span<SimExtender* const> m_units;
    QByteArray m_restored;
};

} // namespace cli
