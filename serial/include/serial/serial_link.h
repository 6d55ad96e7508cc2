// The one serial line to the engine controller: open and configure the
// chosen port, write a command, read one byte with a short time-out, drain
// what is waiting, close. Every call blocks the calling thread.
#pragma once

#include <QString>

// Ports offered in the port list: COM1 .. COM12.
constexpr int kPortListSize = 12;

// The number of the port to open: 1 to 12 from the list, 0 for none.
extern int g_nComPort;

bool OpenCommPort();
void CloseCommPort();
bool ReadCommByte(unsigned char* destination);
bool WriteComm(const unsigned char* bytes, int count);
void DrainCommInput();
