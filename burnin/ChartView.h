#pragma once
#include <QWidget>
#include <functional>

#include "burnin/SampleRecorder.h"

// The burn-in strip chart. It paints from a fresh copy of the histories every time it is
// painted, so the picture comes back whenever the page is shown or uncovered.
class ChartView : public QWidget {
public:
    ChartView(std::function<ChartData()> source, QWidget* parent);

    // Repaints from the histories and tells their newest state in words.
    void Refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<ChartData()> m_source;
};
