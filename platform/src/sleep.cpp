#include "platform/sleep.h"

#include <QThread>

void Sleep(DWORD milliseconds)
{
    QThread::msleep(milliseconds);
}
