#include "app/UnitNotifier.h"

UnitNotifier::UnitNotifier(IUnitWatcher& watcher, Handler handler, QObject* parent)
    : QObject(parent), m_watcher(watcher), m_handler(std::move(handler))
{
    if (m_watcher.Handle() != kNoWaitHandle)
        m_notifier = std::make_unique<ReadyNotifier>(
            m_watcher.Handle(), [this] { OnReady(); }, this);
}

void UnitNotifier::OnReady()
{
    // A handler may open a modal box: no second batch is taken inside the first.
    m_notifier->SetEnabled(false);
    const std::vector<UnitChange> changes = m_watcher.TakeChanges();
    if (!changes.empty())
        m_handler(changes);
    m_notifier->SetEnabled(true);
}
