#pragma once
#include <vector>

#include "device/sim/SimExtender.h"

// Several simulated extenders on one PC, each at its own path, as the back end of a program:
// the command line's demo offers two, so that picking one with --device can be tried. A handle
// tells the unit it belongs to.
class SimUnits : public IHidBackend {
public:
    // The units are not owned and must outlive this object.
    explicit SimUnits(std::vector<SimExtender*> units) : m_units(std::move(units)) {}

    std::string Name() const override { return "simulated extenders"; }
    std::vector<std::string> EnumeratePaths() override;
    bool ReadAttributes(const std::string& path, HidAttributes& out) override;
    HidClaim Claim(const std::string& path) override;
    HidOpened Open(const std::string& path, HidAccess access) override;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override;
    void Cancel(HidHandle handle) override;
    void Close(HidHandle handle) override;

private:
    SimExtender& Unit(HidHandle handle) const { return *m_units[handle % m_units.size()]; }
    static HidHandle Inner(HidHandle handle, size_t units)
    {
        return handle / static_cast<int>(units);
    }

    std::vector<SimExtender*> m_units;
};
