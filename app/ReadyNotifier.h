#pragma once
#include <QObject>
#include <functional>

#include "device/Waitable.h"

// The event loop's watch on a WaitHandle: onReady runs on the UI thread whenever the handle is
// ready while the watch is on, with no thread and no timer of its own (a socket notifier on Linux,
// an event notifier on Windows).
class ReadyNotifier {
public:
    ReadyNotifier(WaitHandle handle, std::function<void()> onReady, QObject* parent);
    void SetEnabled(bool on);

private:
    QObject* m_notifier; // the platform's notifier, a child of parent
};
