#include "serial/serial_link.h"

#include <QElapsedTimer>
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
QSerialPort* g_hComm = nullptr;

namespace {

constexpr qint32 kBaudRate = 115200;
// Writes are a byte or two; a line that cannot take them in this time is stuck.
constexpr int kWriteTimeoutMs = 1000;

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
std::optional<CommDevice> DeviceForPort(int port)
{
    const QString name = QStringLiteral("COM%1").arg(port);
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.portName().compare(name, Qt::CaseInsensitive) == 0)
            // The device namespace form is the only one that reaches COM10 and up.
            return CommDevice{QStringLiteral("\\\\.\\") + name, info.description()};
    }
    return std::nullopt;
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
    static const QStringList kPrivileged = {QStringLiteral("root"),  QStringLiteral("wheel"), QStringLiteral("sudo"),
                                            QStringLiteral("admin"), QStringLiteral("adm"),   QStringLiteral("disk"),
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
        return QStringLiteral("\nYour user may not use %1. Its group \"%2\" may: make your user a member "
                              "(sudo usermod -aG %2 $USER), then log out and in again.")
            .arg(path, group);
    const QString owner = info.owner().isEmpty() ? QString::number(status.st_uid) : info.owner();
    return QStringLiteral("\n%1 is not accessible to your user (owner %2, group %3, mode %4), and no group that is "
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

// Errors after which the port is of no more use; a time-out is not one.
bool PortBroken()
{
    const QSerialPort::SerialPortError error = g_hComm->error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

void NoteLinkLost()
{
    g_linkLost = true;
    g_lastError = QStringLiteral("%1: %2").arg(g_openPath, g_hComm->errorString());
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
        ports[std::size_t(port - 1)] = DeviceForPort(port);
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

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    // Applied by open; flow control and the rest keep what the driver has.
    port->setBaudRate(kBaudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    // QSerialPort opens exclusively: no other program can share the line.
    if (!port->open(QIODevice::ReadWrite)) {
        QString reason = QStringLiteral("%1: %2").arg(path, port->errorString());
        if (port->error() == QSerialPort::PermissionError)
            reason += PermissionHint(path);
        return FailOpen(reason);
    }
    g_hComm = port.release();
    g_openPath = path;
    g_lastError.clear();
    return true;
}

void CloseCommPort()
{
    if (!g_hComm)
        return;
    g_hComm->close();
    delete g_hComm;
    g_hComm = nullptr;
}

bool ReadCommByte(unsigned char* destination)
{
    if (!g_hComm || g_linkLost)
        return false;
    QElapsedTimer waited;
    waited.start();
    // Bytes an earlier wait already took off the line are in the port's buffer.
    while (g_hComm->bytesAvailable() == 0) {
        const qint64 remaining = kReadTimeoutMs - waited.elapsed();
        if (remaining <= 0)
            return false;
        g_hComm->clearError();
        if (!g_hComm->waitForReadyRead(int(remaining)) && PortBroken()) {
            NoteLinkLost();
            return false;
        }
    }
    char byte = 0;
    if (g_hComm->read(&byte, 1) != 1) {
        NoteLinkLost();
        return false;
    }
    *destination = static_cast<unsigned char>(byte);
    return true;
}

bool WriteComm(const unsigned char* bytes, int count)
{
    if (!g_hComm || g_linkLost)
        return false;
    g_hComm->clearError();
    const qint64 written = g_hComm->write(reinterpret_cast<const char*>(bytes), count);
    if (written == count && g_hComm->waitForBytesWritten(kWriteTimeoutMs))
        return true;
    if (PortBroken())
        NoteLinkLost();
    else
        g_lastError = QStringLiteral("%1: the line did not take the bytes written").arg(g_openPath);
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
