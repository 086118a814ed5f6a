#include "app/SessionEnd.h"

bool HearSessionEnd(QWidget&, void*, qintptr*, const std::function<QString()>&,
                    const std::function<void()>&)
{
    return false;
}
