#pragma once
#include <string>
#include <vector>

#include "device/HidIO.h"

// Which of the extenders present a program works with, when more than one is plugged in.

// The unit known as identity (the one chosen last), when it is present; otherwise the first.
// Units must not be empty.
size_t ChosenUnit(const std::vector<CHidIO::Unit>& units, const std::string& identity);

// How a unit is offered: "SIM0001 (Simulated HDBaseT extender) at sim:extender", serial and
// product where the unit tells them.
std::string UnitLabel(const CHidIO::Unit& unit);
