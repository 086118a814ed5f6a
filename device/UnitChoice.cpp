#include "device/UnitChoice.h"

#include <algorithm>

size_t ChosenUnit(const std::vector<CHidIO::Unit>& units, const UnitChoice& choice)
{
    const auto first = [&](auto matches) {
        return size_t(std::ranges::find_if(units, matches) - units.begin());
    };
    const size_t there = first([&](const CHidIO::Unit& unit) {
        return unit.attributes.serial == choice.serial && unit.path == choice.path;
    });
    // A unit without a serial number is known only where it was.
    const size_t elsewhere =
        choice.serial.empty() ? units.size() : first([&](const CHidIO::Unit& unit) {
            return unit.attributes.serial == choice.serial;
        });
    return there < units.size() ? there : elsewhere < units.size() ? elsewhere : 0;
}

std::string UnitLabel(const CHidIO::Unit& unit)
{
    const HidAttributes& said = unit.attributes;
    std::string label = said.serial;
    if (!said.product.empty())
        label += (label.empty() ? "(" : " (") + said.product + ")";
    return label + (label.empty() ? "" : " at ") + unit.path;
}

void UnitsSeen::Note(const std::vector<CHidIO::Unit>& units)
{
    m_several = units.size() > 1 || (m_several && !units.empty());
    for (const CHidIO::Unit& unit : units) {
        if (unit.serialShared)
            m_sharedSerials.insert(unit.attributes.serial);
    }
}

bool UnitsSeen::KnownAgain(const CHidIO::Unit& pulled, const CHidIO::Unit& plugged) const
{
    const std::string& serial = pulled.attributes.serial;
    return !serial.empty() && plugged.attributes.serial == serial
           && !m_sharedSerials.contains(serial);
}

std::string UnitsSeen::Name(CHidIO::Unit unit) const
{
    unit.serialShared = unit.serialShared || m_sharedSerials.contains(unit.attributes.serial);
    return unit.Identity();
}
