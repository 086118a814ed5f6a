#include "app/ReadyNotifier.h"

#include <QWinEventNotifier>

ReadyNotifier::ReadyNotifier(WaitHandle handle, std::function<void()> onReady, QObject* parent)
    : m_notifier(new QWinEventNotifier(handle, parent))
{
    QObject::connect(static_cast<QWinEventNotifier*>(m_notifier), &QWinEventNotifier::activated,
                     parent, std::move(onReady));
}

void ReadyNotifier::SetEnabled(bool on)
{
    static_cast<QWinEventNotifier*>(m_notifier)->setEnabled(on);
}
