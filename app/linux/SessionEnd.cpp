#include "app/SessionEnd.h"

bool HearSessionEnd(void*, qintptr*, const std::function<QString()>&, const std::function<void()>&)
{
    return false;
}
