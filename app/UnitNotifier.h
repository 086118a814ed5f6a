#pragma once
#include <QObject>
#include <functional>
#include <memory>

#include "app/ReadyNotifier.h"
#include "device/UnitWatcher.h"

// A unit watcher on the UI thread: its handle watched by the event loop, so the changes arrive
// with no thread and no timer, and are handed to the window in one batch.
class UnitNotifier : public QObject {
public:
    using Handler = std::function<void(const std::vector<UnitChange>&)>;
    // The watcher must outlive this object; one without a handle is never heard from.
    UnitNotifier(IUnitWatcher& watcher, Handler handler, QObject* parent = nullptr);

private:
    void OnReady();

    IUnitWatcher& m_watcher;
    Handler m_handler;
    std::unique_ptr<ReadyNotifier> m_notifier;
};
