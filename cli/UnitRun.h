#pragma once
#include <QString>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "cli/Session.h"

// A command on several units at once (--all, or --serial given more than once): each unit on a
// thread of its own with a session of its own, so its own channel to the unit and its own pace,
// and nothing about one unit waits on another. What they share meets here: their output, kept in
// whole lines, one progress bar per unit on a terminal redrawn together, each question asked once,
// and every stop told to every unit.
namespace cli {

// How a unit's job ended.
struct UnitResult {
    CHidIO::Unit unit; // its path empty for a serial number that no unit present has
    int code = kDone;
    Outcome outcome;
    std::chrono::milliseconds took{0};
};

class UnitRun {
public:
    UnitRun(Session& parent, std::vector<CHidIO::Unit> units);
    UnitRun(const UnitRun&) = delete;
    UnitRun& operator=(const UnitRun&) = delete;

    // Runs job on every unit at once, each with the session of its unit, and waits for all:
    // each unit's result, in the units' order.
    std::vector<UnitResult> Run(const std::function<int(Session&)>& job);

    // What the units' sessions do through the run: text of whole lines on stdout or stderr, put
    // above the progress bars; the progress bar of a unit.
    void Print(QTextStream& stream, const QString& lines);
    void Bar(size_t index, const QString& text);
    // Asks a question once, on the terminal, for every unit that asks it; Ctrl-C answers No.
    bool Ask(Session& unit, const QString& question);
    // The stop question during a write: posed once for all that pose it while it is open; each is
    // given the answer to the question it was posed (the number PoseStop gave), or takes it back.
    // A unit that has taken no Ctrl-C since the last answer takes that answer without a question.
    int PoseStop(const QString& question, int taken);
    std::optional<bool> StopAnswer(int question);
    void LeaveStop(int question);
    // A stop as a unit that has taken `taken` Ctrl-Cs sees it: every Ctrl-C reaches every unit.
    Stop Stopping(int taken);
    void Resume(int& taken) { taken = m_interrupts; }
    // Holds off the end of the user's session while any unit asks it to: the last to let go lets
    // go, so that a unit done first cannot leave the others' streams unheld.
    void HoldSessionEnd(const QString& reason);

private:
    // The bottom of the terminal: the progress bars and a question waiting for its answer.
    void EraseBlock();
    void DrawBlock();
    // A question's line has ended (the answer typed, or Ctrl-C): what is on screen stays.
    void QuestionEnded(bool typed);
    std::optional<bool> ReadAnswer(std::chrono::milliseconds wait);

    Session& m_parent;
    Context& m_context;
    const std::vector<CHidIO::Unit> m_units;
    const bool m_bars; // progress bars are drawn
    std::atomic<int> m_interrupts{0};

    std::mutex m_output; // the two streams and the bottom block
    std::vector<QString> m_barTexts;
    int m_barsDrawn = 0;
    QString m_posed; // the question on screen, waiting for its answer
    std::chrono::steady_clock::time_point m_drawn;

    std::mutex m_holding;
    int m_holders = 0;

    std::mutex m_keyboard; // one reader of the keyboard at a time
    std::mutex m_asking;   // one question at a time
    std::map<QString, bool> m_answers;
    int m_stopQuestion = 0; // the stop question open, or 0
    int m_stopQuestions = 0;
    int m_stopWaiting = 0; // units that were posed the open one and have not had its answer
    std::map<int, bool> m_stopAnswers;
    int m_stopAnswered = 0; // the last one answered, and the Ctrl-Cs its answer is for
    int m_stopCovers = 0;
};

// The command's job on the unit the options name, or on each of the units --all or several
// --serial name, all at once, followed by their summary: the job's exit code, or of several the
// worst of theirs.
int OnUnits(Session& session, const std::function<int(Session&)>& job);

} // namespace cli
