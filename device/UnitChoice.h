#pragma once
#include <set>
#include <string>
#include <vector>

#include "device/HidIO.h"

// Which of the extenders present a program works with, when more than one is plugged in.

// The unit the user chose, kept from one session to the next: its serial number, and where it
// was plugged in, which alone tells apart two units that tell the same serial number.
struct UnitChoice {
    std::string serial;
    std::string path;
};

// The unit chosen, where it was; else the one with its serial number elsewhere; else the first.
// Units must not be empty.
size_t ChosenUnit(const std::vector<CHidIO::Unit>& units, const UnitChoice& choice);

// How a unit is offered: "SIM0001 (Simulated HDBaseT extender) at sim:extender", serial and
// product where the unit tells them.
std::string UnitLabel(const CHidIO::Unit& unit);

// What a window has seen of the units since it opened: whether it offers a choice, and which
// unit pulled out it may know again when it is plugged in.
class UnitsSeen {
public:
    // The units present now.
    void Note(const std::vector<CHidIO::Unit>& units);
    // While two or more are present, and while any is after a second one was seen.
    bool ChoiceOffered() const { return m_several; }
    // Only by a serial number that no other unit told while the window watched: a unit without
    // one, or one of two with the same, may be another unit on the same node or serial.
    bool KnownAgain(const CHidIO::Unit& pulled, const CHidIO::Unit& plugged) const;
    // How the unit is named to the user: its identity, with its path where its serial number was
    // seen on two units.
    std::string Name(CHidIO::Unit unit) const;

private:
    bool m_several = false;
    std::set<std::string> m_sharedSerials;
};
