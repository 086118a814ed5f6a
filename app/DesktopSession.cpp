#include "app/DesktopSession.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Held {
    QtMsgType type;
    QString category;
    QString text;
};

// One application object is made per program, so one session stands by at a time.
QString g_program;
std::vector<Held> g_held;

} // namespace

DesktopSession::DesktopSession(const char* program)
{
    g_program = program;
    m_previous = qInstallMessageHandler(Hold);
}

DesktopSession::~DesktopSession()
{
    qInstallMessageHandler(m_previous);
    for (const Held& held : g_held) {
        const QByteArray category = held.category.toUtf8();
        m_previous(held.type, QMessageLogContext(nullptr, 0, nullptr, category.constData()),
                   held.text);
    }
    g_held.clear();
}

QString DesktopSession::NoDisplayText(const QString& program, const QString& cause)
{
    return program + ": needs a desktop session to show its windows, and no display could be opened"
           + (cause.isEmpty() ? "" : " (" + cause + ")")
           + ".\ntorvanreader-cli does every job of the tool without one, over ssh too: "
             "torvanreader-cli --help lists them.\n";
}

void DesktopSession::Hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        g_held.push_back({type, context.category, text});
        return;
    }
    // Qt gives up on the display: its platform plugin said why first.
    const auto why = std::ranges::find_if(
        g_held, [](const Held& held) { return held.category.startsWith("qt.qpa"); });
    const QString cause = why == g_held.end() ? QString() : why->text.trimmed();
    std::fputs(NoDisplayText(g_program, cause).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}
