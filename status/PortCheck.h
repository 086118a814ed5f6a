#pragma once
#include <QString>

#include "status/StatusDecoding.h"

// One pass of the port check: the advice beside the RJ45 picture and the blink of the marking of
// faulty pairs. The page runs a pass when Test is pressed and then every 1.5 s while polling.
namespace status {

QString PortAdvice(const PortFlags& faults);

class PortCheck {
public:
    enum class Blink { Unchanged, Draw, Erase };
    struct Pass {
        QString advice;
        Blink blink = Blink::Unchanged;
    };

    // With the link down the advice is "Disconnected" and the blink stays where it stands.
    Pass Run(bool linkUp, const PortFlags& faults);

    // True when the next pass draws the marking.
    bool OverlayPhase() const { return m_overlayPhase; }

private:
    bool m_overlayPhase = true;
};

} // namespace status
