#include "app/UnitNotifier.h"

#include <QSocketNotifier>

UnitNotifier::UnitNotifier(IUnitWatcher& watcher, Handler handler, QObject* parent)
    : QObject(parent), m_watcher(watcher), m_handler(std::move(handler))
{
    if (m_watcher.Handle() == kNoWaitHandle)
        return;
    m_notifier = new QSocketNotifier(m_watcher.Handle(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnitNotifier::OnReadable);
}

void UnitNotifier::OnReadable()
{
    // A handler may open a modal box: no second batch is taken inside the first.
    m_notifier->setEnabled(false);
    const std::vector<UnitChange> changes = m_watcher.TakeChanges();
    if (!changes.empty())
        m_handler(changes);
    m_notifier->setEnabled(true);
}
