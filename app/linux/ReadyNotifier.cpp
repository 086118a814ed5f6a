#include "app/ReadyNotifier.h"

#include <QSocketNotifier>

ReadyNotifier::ReadyNotifier(WaitHandle handle, std::function<void()> onReady, QObject* parent)
    : m_notifier(new QSocketNotifier(handle, QSocketNotifier::Read, parent))
{
    QObject::connect(static_cast<QSocketNotifier*>(m_notifier), &QSocketNotifier::activated, parent,
                     std::move(onReady));
}

void ReadyNotifier::SetEnabled(bool on)
{
    static_cast<QSocketNotifier*>(m_notifier)->setEnabled(on);
}
