// The one serial line to the engine controller: open and configure the
// chosen port, write a command, read one byte with a short time-out, drain
// what is waiting, close. Every call blocks the calling thread.
#pragma once

#include "serial/comm_line.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

// Ports offered in the port list: COM1 .. COM12.
constexpr int kPortListSize = 12;

// How long a one-byte read waits for its byte.
constexpr int kReadTimeoutMs = 250;

// The number of the port to open: 1 to 12 from the list, 0 for none.
extern int g_nComPort;
// A device typed into the port box (a path such as /dev/ttyUSB0); when not
// empty it is opened instead of port g_nComPort.
extern QString g_strComDevice;
// The open port, or null while none is open.
extern dentora::CommLine* g_hComm;

struct CommDevice {
    QString path;         // what is opened, e.g. /dev/ttyUSB0 or \\.\COM3
    QString description;  // what the system calls it, may be empty
};

// Sets g_nComPort and g_strComDevice from the port list: its selection
// (-1 for none) or, when not empty, the text typed in its place. A typed
// "COMn" means port n; anything else is a device path.
void SelectCommPort(int portSelection, const QString& typedDevice);

// What port n opens on Windows: \\.\COMn, the device namespace form, the
// only one that reaches COM10 and up; opened whether or not the system's
// port list has it.
QString WindowsComDevicePath(int port);
// The device each of COM1 .. COM12 opens now; no value where there is none
// (on Windows: where the system does not list the port).
std::array<std::optional<CommDevice>, kPortListSize> PortListDevices();
// Serial devices in the order ports are numbered on systems without COM
// names: USB adapters, then ACM modems, then the rest, by name with numbers
// compared as numbers (ttyUSB2 before ttyUSB10).
std::vector<CommDevice> SortCommDevices(std::vector<CommDevice> devices);

bool OpenCommPort();
void CloseCommPort();
// True when one byte arrived within kReadTimeoutMs; otherwise the
// destination is left as it was.
bool ReadCommByte(unsigned char* destination);
bool WriteComm(const unsigned char* bytes, int count);
// True when a byte has arrived and can be read at once; never waits.
bool CommByteWaiting();
// Reads and discards until the line has been quiet for one read time-out.
void DrainCommInput();

// True once the open port has failed for good (device unplugged or closed
// at the other end); reads and writes then fail at once until it is closed.
bool CommLinkLost();
// Why the last open failed or the link was lost, for the user.
QString LastCommError();
// The device the open port was opened as, e.g. /dev/ttyUSB0; empty when none is open.
QString OpenCommDevice();
