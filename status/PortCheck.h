#pragma once
#include <QString>
#include <QStringList>

#include "status/StatusDecoding.h"

// One pass of the port check: the advice beside the RJ45 picture and the blink of the marking of
// faulty pairs. The page runs a pass when Test is pressed and then every 1.5 s while polling.
namespace status {

// The advice, line by line: a line for each faulty port, or that all are good; with the link down
// "Disconnected" alone.
QStringList AdviceLines(bool linkUp, const PortFlags& faults);
// The advice as its field shows it: every port line ends in a line break, "Disconnected" does not.
QString AdviceText(bool linkUp, const PortFlags& faults);

class PortCheck {
public:
    enum class Blink { Unchanged, Draw, Erase };
    struct Pass {
        QString advice;
        Blink blink = Blink::Unchanged;
    };

    // With the link down the blink stays where it stands.
    Pass Run(bool linkUp, const PortFlags& faults);

    // True when the next pass draws the marking.
    bool OverlayPhase() const { return m_overlayPhase; }

private:
    bool m_overlayPhase = true;
};

} // namespace status
