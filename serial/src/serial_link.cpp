#include "serial/serial_link.h"

int g_nComPort = 0;
