#include "device/UnitChoice.h"

size_t ChosenUnit(const std::vector<CHidIO::Unit>& units, const std::string& identity)
{
    for (size_t index = 0; index < units.size(); ++index) {
        if (units[index].Identity() == identity)
            return index;
    }
    return 0;
}

std::string UnitLabel(const CHidIO::Unit& unit)
{
    const HidAttributes& said = unit.attributes;
    std::string label = said.serial;
    if (!said.product.empty())
        label += (label.empty() ? "(" : " (") + said.product + ")";
    return label + (label.empty() ? "" : " at ") + unit.path;
}
