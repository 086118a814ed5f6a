#pragma once
#include <QAbstractButton>
#include <QByteArray>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMetaType>
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "device/CommandFrames.h"
#include "device/HidCmd.h"
#include "device/sim/SimExtender.h"
#include "ui/DialogUnits.h"

// The faults of the matrix, how the simulated extender plays each, and what a step of a page may
// cost the UI thread while one of them hits.

enum class Fault { Silent, Refuse, Latency, Stale, Bit7, ShortReport, Unplug };
Q_DECLARE_METATYPE(Fault)

inline constexpr std::array kFaults{Fault::Silent, Fault::Refuse,      Fault::Latency, Fault::Stale,
                                    Fault::Bit7,   Fault::ShortReport, Fault::Unplug};

inline const char* FaultName(Fault fault)
{
    switch (fault) {
    case Fault::Silent: return "silent";
    case Fault::Refuse: return "refusing";
    case Fault::Latency: return "900 ms latency";
    case Fault::Stale: return "stale answers";
    case Fault::Bit7: return "bit-7 answers";
    case Fault::ShortReport: return "short reports";
    case Fault::Unplug: return "unplug";
    }
    return "?";
}

// Under these the command is not acknowledged; the others only delay the answer or put other
// reports before it, which the channel must see through.
constexpr bool Fails(Fault fault)
{
    return fault == Fault::Silent || fault == Fault::Refuse || fault == Fault::Unplug;
}

inline constexpr int kLatencyMs = 900;

// The fault on the commands whose payload starts with prefix (every command when empty); nth
// picks one of those, counted from 1 (every one when 0).
inline SimFaults Playing(Fault fault, std::vector<uint8_t> prefix = {}, int nth = 0)
{
    SimFaults faults;
    switch (fault) {
    case Fault::Silent: faults.silent = true; break;
    case Fault::Refuse: faults.refuse = true; break;
    case Fault::Latency: faults.latencyMs = kLatencyMs; break;
    case Fault::Stale: faults.staleBefore = 3; break;
    case Fault::Bit7: faults.setBit7 = true; break;
    case Fault::ShortReport: faults.shortReport = true; break;
    case Fault::Unplug: faults.unplug = true; break;
    }
    faults.onlyPrefix = std::move(prefix);
    faults.onlyNth = nth;
    return faults;
}

// The longest one transaction may hold the UI thread: the write wait, the pause, and up to about
// twice the response time-out (a report that does not match can arrive just before the deadline).
constexpr qint64 TransactionBoundMs(uint32_t timeoutMs, uint32_t pauseMs = 0)
{
    return CHidIO::kWriteWaitMs + pauseMs + 2 * qint64(timeoutMs);
}
inline constexpr qint64 kCommandBoundMs = TransactionBoundMs(frames::kCommandTimeoutMs);
inline constexpr qint64 kFlashCommandBoundMs =
    TransactionBoundMs(frames::kCommandTimeoutMs, frames::kFlashPauseMs);
inline constexpr qint64 kChunkBoundMs = TransactionBoundMs(frames::kChunkTimeoutMs);

// One step (a click, a timer tick) as the UI thread ran it: how long it held the thread, and how
// many transactions it ran, counted by the channel's sequence number, which every transaction
// advances whether or not its report could be written.
struct StepCost {
    qint64 ms = 0;
    int transactions = 0;

    // Empty when the step ran at most maxTransactions, each within boundMs; else what went over.
    QString OverBound(int maxTransactions, qint64 boundMs) const
    {
        if (transactions > maxTransactions)
            return QString("%1 transactions, at most %2 expected")
                .arg(transactions)
                .arg(maxTransactions);
        if (ms > boundMs * std::max(transactions, 1))
            return QString("held the UI thread %1 ms for %2 transactions of at most %3 ms")
                .arg(ms)
                .arg(transactions)
                .arg(boundMs);
        return {};
    }
};

template <typename Step>
StepCost Measure(CHidCmd& channel, Step step)
{
    const uint8_t before = channel.Sequence();
    QElapsedTimer clock;
    clock.start();
    step();
    return {clock.elapsed(), (channel.Sequence() - before) & 0x7F};
}

// The longest stretch in which the UI thread served none of its timers: how long the window froze
// while timer-driven steps ran.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_since.start();
        m_timer.start(1);
    }
    qint64 LongestMs() const { return std::max(m_longest, m_since.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

inline std::vector<uint8_t> Bytes(const QByteArray& bytes)
{
    return {bytes.begin(), bytes.end()};
}

// What a person reads off the control numbered id: a field, a label, a text box or a button.
inline QString ShownText(const QWidget* root, int id)
{
    if (auto* field = ui::FindControl<QLineEdit>(root, id))
        return field->text();
    if (auto* text = ui::FindControl<QPlainTextEdit>(root, id))
        return text->toPlainText();
    if (auto* button = ui::FindControl<QAbstractButton>(root, id))
        return button->text();
    return ui::FindControl<QLabel>(root, id)->text();
}
