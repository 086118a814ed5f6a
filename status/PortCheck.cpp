#include "status/PortCheck.h"

namespace status {

QStringList AdviceLines(bool linkUp, const PortFlags& faults)
{
    if (!linkUp)
        return {"Disconnected"};
    QStringList advice;
    for (int port = 1; port <= kPairCount; ++port) {
        if (faults[port - 1])
            advice << QString("Please Check Port %1").arg(port);
    }
    return advice.isEmpty() ? QStringList{"All port signal are good."} : advice;
}

QString AdviceText(bool linkUp, const PortFlags& faults)
{
    const QStringList lines = AdviceLines(linkUp, faults);
    return linkUp ? lines.join('\n') + '\n' : lines.join('\n');
}

PortCheck::Pass PortCheck::Run(bool linkUp, const PortFlags& faults)
{
    if (!linkUp)
        return {AdviceText(linkUp, faults), Blink::Unchanged};
    const Blink blink = m_overlayPhase ? Blink::Draw : Blink::Erase;
    m_overlayPhase = !m_overlayPhase;
    return {AdviceText(linkUp, faults), blink};
}

} // namespace status
