#include "status/PortCheck.h"

namespace status {

QString PortAdvice(const PortFlags& faults)
{
    QString advice;
    for (int port = 1; port <= kPairCount; ++port) {
        if (faults[port - 1])
            advice += QString("Please Check Port %1\r\n").arg(port);
    }
    return advice.isEmpty() ? QString("All port signal are good.\r\n") : advice;
}

PortCheck::Pass PortCheck::Run(bool linkUp, const PortFlags& faults)
{
    if (!linkUp)
        return {"Disconnected", Blink::Unchanged};
    const Blink blink = m_overlayPhase ? Blink::Draw : Blink::Erase;
    m_overlayPhase = !m_overlayPhase;
    return {PortAdvice(faults), blink};
}

} // namespace status
