#include "serial/serial_link.h"

#include "serial_port_line.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <memory>
#include <tuple>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

int g_nComPort = 0;
QString g_strComDevice;
dentora::CommLine* g_hComm = nullptr;

namespace {

constexpr qint32 kBaudRate = 115200;

QString g_lastError;
bool g_linkLost = false;
// The device g_hComm was opened on, as given to the system.
QString g_openPath;

// Sort key of a device name: its rank, the name without its trailing
// number, then the number.
struct DeviceOrder {
    int rank;
    QString stem;
    qulonglong number;

    bool operator<(const DeviceOrder& other) const
    {
        return std::tie(rank, stem, number) < std::tie(other.rank, other.stem, other.number);
    }
};

DeviceOrder OrderOf(const CommDevice& device)
{
    const QString name = QFileInfo(device.path).fileName();
    const QString lower = name.toLower();
    const int rank = lower.contains(QLatin1String("usb")) ? 0 : lower.contains(QLatin1String("acm")) ? 1 : 2;
    static const QRegularExpression trailingNumber(QStringLiteral("^(.*?)(\\d+)$"));
    const QRegularExpressionMatch match = trailingNumber.match(name);
    if (!match.hasMatch())
        return {rank, name, 0};
    return {rank, match.captured(1), match.captured(2).toULongLong()};
}

#ifdef Q_OS_WIN
// The port as the system lists it, for the port list's tooltips.
std::optional<CommDevice> ListedDevice(int port)
{
    const QString name = QStringLiteral("COM%1").arg(port);
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0)
            return CommDevice{WindowsComDevicePath(port), info.description()};
    }
    return std::nullopt;
}

// Listed or not (virtual ports and some USB drivers are not), COMn is
// opened as itself.
std::optional<CommDevice> DeviceForPort(int port)
{
    return CommDevice{WindowsComDevicePath(port), QString()};
}
#else
std::vector<CommDevice> PresentDevices()
{
    std::vector<CommDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_MACOS
        // Each device shows twice; the call-out (cu.) side is the one to open.
        if (info.portName().startsWith(QLatin1String("tty.")))
            continue;
#endif
        devices.push_back({info.systemLocation(), info.description()});
    }
    return SortCommDevices(std::move(devices));
}

std::optional<CommDevice> DeviceForPort(int port)
{
    const std::vector<CommDevice> devices = PresentDevices();
    if (port < 1 || port > int(devices.size()))
        return std::nullopt;
    return devices[std::size_t(port - 1)];
}
#endif

#ifdef Q_OS_UNIX
// Membership of these gives far more than a serial line: never advise it.
bool IsPrivilegedGroup(gid_t gid, const QString& name)
{
    static const QStringList kPrivileged = {QStringLiteral("root"),  QStringLiteral("wheel"),  QStringLiteral("sudo"),
                                            QStringLiteral("admin"), QStringLiteral("adm"),    QStringLiteral("disk"),
                                            QStringLiteral("kmem"),  QStringLiteral("shadow"), QStringLiteral("staff"),
                                            QStringLiteral("tty")};
    return gid == 0 || kPrivileged.contains(name);
}
#endif

// What to do about a device the user may not open, or empty when access is
// not what stopped the open. A group is suggested only where joining it is
// both enough and harmless.
QString PermissionHint(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat status {};
    if (::faccessat(AT_FDCWD, nativePath.constData(), R_OK | W_OK, AT_EACCESS) == 0 ||
        ::stat(nativePath.constData(), &status) != 0)
        return QString();
    const QFileInfo info(path);
    const QString group = info.group().isEmpty() ? QString::number(status.st_gid) : info.group();
    const bool groupMayReadWrite = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (groupMayReadWrite && !IsPrivilegedGroup(status.st_gid, group))
        return QStringLiteral(
                   "\nYour user may not use %1. Its group \"%2\" may: make your user a member "
                   "(sudo usermod -aG %2 $USER), then log out and in again.")
            .arg(path, group);
    const QString owner = info.owner().isEmpty() ? QString::number(status.st_uid) : info.owner();
    return QStringLiteral(
               "\n%1 is not accessible to your user (owner %2, group %3, mode %4), and no group that is "
               "safe to join may use it. Give it a group such as dialout with mode 0660: lastingly with "
               "a udev rule (GROUP=\"dialout\", MODE=\"0660\" in /etc/udev/rules.d), or until it is "
               "plugged in again with sudo chgrp dialout %1 and sudo chmod 0660 %1; then join that group.")
        .arg(path, owner, group)
        .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
#else
    Q_UNUSED(path);
    return QString();
#endif
}

bool FailOpen(const QString& reason)
{
    g_lastError = reason;
    return false;
}

std::unique_ptr<dentora::CommLine> OpenSerialPort(const QString& path, QString* error)
{
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    // Applied by open; flow control and the rest keep what the driver has.
    port->setBaudRate(kBaudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    // QSerialPort opens exclusively: no other program can share the line.
    if (!port->open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("%1: %2").arg(path, port->errorString());
        if (port->error() == QSerialPort::PermissionError)
            *error += PermissionHint(path);
        return nullptr;
    }
    return std::make_unique<dentora::SerialPortLine>(std::move(port), path);
}

dentora::CommLineOpener g_opener = OpenSerialPort;

// After a failed read or write: a line that failed for good is lost.
void NoteLineFailure()
{
    if (g_hComm->Broken())
        g_linkLost = true;
    g_lastError = g_hComm->FailureText();
}

}  // namespace

void SelectCommPort(int portSelection, const QString& typedDevice)
{
    g_strComDevice.clear();
    g_nComPort = portSelection + 1;
    if (typedDevice.isEmpty())
        return;
    static const QRegularExpression comName(QStringLiteral("^COM(\\d{1,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = comName.match(typedDevice);
    if (match.hasMatch()) {
        g_nComPort = match.captured(1).toInt();
        return;
    }
    g_nComPort = 0;
    g_strComDevice = typedDevice;
}

QString WindowsComDevicePath(int port)
{
    return QStringLiteral("\\\\.\\COM%1").arg(port);
}

std::vector<CommDevice> SortCommDevices(std::vector<CommDevice> devices)
{
    std::stable_sort(devices.begin(), devices.end(),
                     [](const CommDevice& a, const CommDevice& b) { return OrderOf(a) < OrderOf(b); });
    return devices;
}

std::array<std::optional<CommDevice>, kPortListSize> PortListDevices()
{
    std::array<std::optional<CommDevice>, kPortListSize> ports;
#ifdef Q_OS_WIN
    for (int port = 1; port <= kPortListSize; ++port)
        ports[std::size_t(port - 1)] = ListedDevice(port);
#else
    const std::vector<CommDevice> devices = PresentDevices();
    for (std::size_t i = 0; i < ports.size() && i < devices.size(); ++i)
        ports[i] = devices[i];
#endif
    return ports;
}

bool OpenCommPort()
{
    CloseCommPort();
    g_linkLost = false;

    QString path = g_strComDevice;
    if (path.isEmpty()) {
        if (g_nComPort < 1)
            return FailOpen(QStringLiteral("No COM port is selected."));
        const std::optional<CommDevice> device = DeviceForPort(g_nComPort);
        if (!device)
            return FailOpen(QStringLiteral("COM%1: no serial device is present for this port.").arg(g_nComPort));
        path = device->path;
    }

    QString reason;
    std::unique_ptr<dentora::CommLine> line = g_opener(path, &reason);
    if (!line)
        return FailOpen(reason);
    g_hComm = line.release();
    g_openPath = path;
    g_lastError.clear();
    return true;
}

void CloseCommPort()
{
    if (!g_hComm)
        return;
    delete g_hComm;
    g_hComm = nullptr;
}

bool ReadCommByte(unsigned char* destination)
{
    if (!g_hComm || g_linkLost)
        return false;
    if (g_hComm->ReadByte(destination, kReadTimeoutMs))
        return true;
    if (g_hComm->Broken())
        NoteLineFailure();
    return false;
}

bool CommByteWaiting()
{
    if (!g_hComm || g_linkLost)
        return false;
    if (g_hComm->ByteWaiting())
        return true;
    if (g_hComm->Broken())
        NoteLineFailure();
    return false;
}

bool WriteComm(const unsigned char* bytes, int count)
{
    if (!g_hComm || g_linkLost)
        return false;
    if (g_hComm->Write(bytes, count))
        return true;
    NoteLineFailure();
    return false;
}

void DrainCommInput()
{
    unsigned char scratch = 0;
    while (ReadCommByte(&scratch)) {
    }
}

bool CommLinkLost()
{
    return g_linkLost;
}

QString LastCommError()
{
    return g_lastError;
}

QString OpenCommDevice()
{
    return g_hComm ? g_openPath : QString();
}

void dentora::SetCommLineOpener(CommLineOpener opener)
{
    g_opener = opener ? std::move(opener) : CommLineOpener(OpenSerialPort);
}
