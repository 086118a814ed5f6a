#include "cli/UnitRun.h"

#include "cli/AtOnce.h"
#include "cli/Summary.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

// The bars are redrawn at most this often: eight units' blocks would otherwise redraw them
// thousands of times a second. The last state of each is drawn at the end in any case.
constexpr auto kRedrawPeriod = 50ms;

// The cursor's moves on a terminal: up a number of lines, and the screen cleared below it.
QString Up(int lines)
{
    return lines > 0 ? QString("\x1b[%1A").arg(lines) : QString();
}
const char* const kClearBelow = "\x1b[J";

} // namespace

UnitRun::UnitRun(Session& parent, std::vector<CHidIO::Unit> units)
    : m_parent(parent), m_context(parent.Ctx()), m_units(std::move(units)),
      m_bars(m_context.terminal && !parent.Json() && !parent.Options().isSet("quiet")),
      m_barTexts(m_units.size())
{
}

std::vector<UnitResult> UnitRun::Run(const std::function<int(Session&)>& job)
{
    // Every unit's session is made before any starts, each with its own time; the unit is taken
    // and let go of on its own thread.
    std::vector<std::unique_ptr<Session>> sessions;
    for (size_t index = 0; index < m_units.size(); ++index)
        sessions.push_back(std::make_unique<Session>(m_parent, *this, index, m_units[index]));
    std::vector<UnitResult> results(m_units.size());
    m_parent.WarnThrough(this);
    AtOnce(m_units.size(), [&](size_t index) {
        std::unique_ptr<Session> unit = std::move(sessions[index]);
        const auto start = unit->Ctx().now();
        const int code = job(*unit);
        results[index] = {
            m_units[index], code, unit->Result(),
            std::chrono::duration_cast<std::chrono::milliseconds>(unit->Ctx().now() - start)};
    });
    m_parent.WarnThrough(nullptr);
    std::lock_guard lock(m_output);
    EraseBlock(); // each bar as it ended, then the rest stays as it is
    m_posed.clear();
    DrawBlock();
    m_barsDrawn = 0;
    return results;
}

void UnitRun::Print(QTextStream& stream, const QString& lines)
{
    std::lock_guard lock(m_output);
    EraseBlock();
    stream << lines << Qt::flush;
    DrawBlock();
}

void UnitRun::Bar(size_t index, const QString& text)
{
    std::lock_guard lock(m_output);
    m_barTexts[index] = text;
    const auto now = std::chrono::steady_clock::now();
    // Frozen while a question waits for its answer, so that what is typed stays in view.
    if (!m_posed.isEmpty() || now - m_drawn < kRedrawPeriod)
        return;
    EraseBlock();
    DrawBlock();
}

void UnitRun::EraseBlock()
{
    if (m_barsDrawn > 0 || !m_posed.isEmpty())
        m_context.err << "\r" << Up(m_barsDrawn) << kClearBelow << Qt::flush; // before stdout
    m_barsDrawn = 0;
}

void UnitRun::DrawBlock()
{
    if (m_bars) {
        for (const QString& bar : m_barTexts) {
            if (!bar.isEmpty()) {
                m_context.err << bar << "\n";
                ++m_barsDrawn;
            }
        }
    }
    m_context.err << m_posed << Qt::flush;
    m_drawn = std::chrono::steady_clock::now();
}

void UnitRun::QuestionEnded(bool typed)
{
    // Typed, the answer's Enter has moved the cursor below the question; Ctrl-C has not.
    if (!typed)
        m_context.err << "\n";
    m_posed.clear();
    m_barsDrawn = 0; // the bars above stay as they were; new ones are drawn below
    DrawBlock();
}

std::optional<bool> UnitRun::ReadAnswer(std::chrono::milliseconds wait)
{
    const std::optional<QString> line = m_context.readLine(wait);
    return line ? std::optional(line->trimmed().toLower().startsWith('y')) : std::nullopt;
}

bool UnitRun::Ask(Session& unit, const QString& question)
{
    std::lock_guard asking(m_asking);
    if (const auto known = m_answers.find(question); known != m_answers.end())
        return known->second;
    {
        std::lock_guard lock(m_output);
        EraseBlock();
        m_posed = QString::fromStdString(unit.Unit()->Identity()) + ": " + question
                  + " (the answer holds for every unit of this run asked it) [y/N] ";
        DrawBlock();
    }
    std::optional<bool> yes;
    while (!yes && unit.Stopping() == Stop::None) {
        std::lock_guard keyboard(m_keyboard);
        yes = ReadAnswer(100ms);
    }
    std::lock_guard lock(m_output);
    EraseBlock();
    QuestionEnded(yes.has_value());
    return m_answers[question] = yes.value_or(false);
}

int UnitRun::PoseStop(const QString& question, int taken)
{
    std::lock_guard lock(m_output);
    // A unit that comes to a Ctrl-C already answered for the others takes that answer.
    if (!m_stopQuestion && m_stopAnswered && m_stopCovers >= taken)
        return m_stopAnswered;
    if (!m_stopQuestion) {
        m_stopQuestion = ++m_stopQuestions;
        EraseBlock();
        m_posed = question + " [y/N] ";
        DrawBlock();
    }
    ++m_stopWaiting;
    return m_stopQuestion;
}

std::optional<bool> UnitRun::StopAnswer(int question)
{
    std::lock_guard lock(m_output);
    if (question == m_stopQuestion) {
        std::unique_lock keyboard(m_keyboard, std::try_to_lock); // a question asked meanwhile
        const std::optional<bool> yes = keyboard ? ReadAnswer(0ms) : std::nullopt;
        if (!yes)
            return std::nullopt;
        m_stopAnswers[question] = *yes;
        m_stopQuestion = 0;
        m_stopAnswered = question;
        m_stopCovers = m_interrupts; // every Ctrl-C until the answer
        EraseBlock();
        QuestionEnded(true);
    }
    return m_stopAnswers[question];
}

void UnitRun::LeaveStop(int question)
{
    std::lock_guard lock(m_output);
    // The question goes away with the last update it was posed for.
    if (question != m_stopQuestion || --m_stopWaiting > 0)
        return;
    m_stopQuestion = 0;
    EraseBlock();
    QuestionEnded(false);
}

Stop UnitRun::Stopping(int taken)
{
    Stop raw = m_context.stop;
    if (raw == Stop::Terminate)
        return raw;
    // A Ctrl-C is taken from the signal once, and counted for every unit to see.
    if (raw == Stop::Interrupt && m_context.stop.compare_exchange_strong(raw, Stop::None))
        ++m_interrupts;
    return taken < m_interrupts ? Stop::Interrupt : Stop::None;
}

void UnitRun::HoldSessionEnd(const QString& reason)
{
    std::lock_guard lock(m_holding);
    if (reason.isEmpty() ? --m_holders == 0 : m_holders++ == 0)
        m_context.holdSessionEnd(reason);
}

namespace {

// The units the options name, with --wait once they are present: every serial number named, or
// with --all one extender at least.
int Chosen(Session& session, std::vector<CHidIO::Unit>& units)
{
    IHidBackend& backend = session.Backend();
    const bool wait = session.Options().isSet("wait");
    if (wait) {
        QString ignored; // without a descriptor the wait tries every 250 ms instead
        session.Watcher(ignored);
    }
    return session.Retrying([&]() -> Session::Attempt {
        units = session.Units().Named(backend);
        if (session.Options().isSet("all") && units.empty())
            return {kDevice, session.Missing()};
        // Without --wait, a serial number that no unit has is a row of the summary.
        const QString missing = wait ? session.NotAllThere(units) : QString();
        return {missing.isEmpty() ? kDone : kDevice, missing, !units.empty()};
    });
}

} // namespace

int OnUnits(Session& session, const std::function<int(Session&)>& job)
{
    if (!session.Units().Many())
        return job(session);
    std::vector<CHidIO::Unit> units;
    if (const int none = Chosen(session, units))
        return none;
    std::vector<UnitResult> missing;
    for (const QString& serial : session.Units().Absent(units)) {
        const QString why = UnitSelection::MissingSerial(serial);
        session.Warn(why, serial + ": ");
        missing.push_back(
            {CHidIO::Unit{{}, {.serial = serial.toStdString()}}, kDevice, Outcome{.error = why}});
    }
    // Units plugged in from now on are not of this run.
    std::vector<UnitResult> results = UnitRun(session, units).Run(job);
    results.insert(results.end(), missing.begin(), missing.end());
    return Summarize(session, results);
}

} // namespace cli
