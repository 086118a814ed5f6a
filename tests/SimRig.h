#pragma once
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "device/RecordingBackend.h"
#include "device/sim/SimExtender.h"

// The simulated extender with the recorder around it: what every test above the transport runs on.
struct SimRig {
    SimExtender extender;
    RecordingBackend wire{extender};

    std::vector<std::vector<uint8_t>> Commands() const { return wire.CommandPayloads(); }
};

// Runs check on the next modal window to open (a box or dialog shown with exec), then closes it.
inline void WhenModal(std::function<void(QWidget*)> check)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, check] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        check(modal);
        if (modal->isVisible())
            modal->close();
    });
    poll->start();
}

// The menu item of window with the given text, or nullptr.
inline QAction* MenuAction(const QWidget& window, const QString& text)
{
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}
