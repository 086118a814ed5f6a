#pragma once
#include <QObject>
#include <functional>

#include "device/UnitWatcher.h"

class QSocketNotifier;

// A unit watcher on the UI thread: its handle on a socket notifier, so the changes arrive
// through the event loop with no thread and no timer, and are handed to the window in one batch.
class UnitNotifier : public QObject {
public:
    using Handler = std::function<void(const std::vector<UnitChange>&)>;
    // The watcher must outlive this object; one without a handle is never heard from.
    UnitNotifier(IUnitWatcher& watcher, Handler handler, QObject* parent = nullptr);

private:
    void OnReadable();

    IUnitWatcher& m_watcher;
    Handler m_handler;
    QSocketNotifier* m_notifier = nullptr;
};
