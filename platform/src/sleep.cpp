#include "platform/sleep.h"

#include <QThread>

namespace {
SleepHandler g_sleepHandler = nullptr;
}  // namespace

void Sleep(DWORD milliseconds)
{
    if (g_sleepHandler)
        g_sleepHandler(milliseconds);
    else
        QThread::msleep(milliseconds);
}

void SetSleepHandler(SleepHandler handler)
{
    g_sleepHandler = handler;
}
