#pragma once
#include <QPixmap>
#include <QWidget>

#include "status/StatusDecoding.h"

// The RJ45 jack picture of the Status page with the red marking of faulty pairs. The marking is
// part of the picture's own painting, so a repaint neither loses it nor leaves it behind.
class Rj45Picture : public QWidget {
public:
    explicit Rj45Picture(QWidget* parent = nullptr);

    // The ports whose pairs are marked; all false shows the plain jack.
    void SetMarking(const status::PortFlags& ports);
    const status::PortFlags& Marking() const { return m_marking; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_jack;
    status::PortFlags m_marking{};
};
