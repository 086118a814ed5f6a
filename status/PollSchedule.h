#pragma once
#include <chrono>
#include <cstdint>

// Which blocks of reads a poll tick runs, by the number of ticks handled before it. Splitting the
// reads this way bounds how long one tick blocks the window: ten reads on every tenth tick, five on
// the other even ticks and multiples of five, none on the rest.
namespace status {

// A poll tick every second, in the window after Test and in the command line's status --watch.
inline constexpr std::chrono::milliseconds kPollTick{1000};
// The port check, in the window after Test: the advice and the blink of the marking.
inline constexpr std::chrono::milliseconds kPortCheckPeriod{1500};

// Pair levels, modes and cable length: every fifth tick.
constexpr bool RunsLinkBlock(uint32_t tick)
{
    return tick % 5 == 0;
}

// Signal lamps, source types and bit error rate: every second tick.
constexpr bool RunsSignalBlock(uint32_t tick)
{
    return tick % 2 == 0;
}

} // namespace status
