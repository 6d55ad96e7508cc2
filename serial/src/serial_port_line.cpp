#include "serial_port_line.h"

#include <QDeadlineTimer>

#include <utility>

namespace dentora {

namespace {
// Writes are a few bytes; a line that cannot take them in this time is stuck.
constexpr int kWriteTimeoutMs = 1000;
}  // namespace

SerialPortLine::SerialPortLine(std::unique_ptr<QSerialPort> port, QString path)
    : m_port(std::move(port)), m_path(std::move(path))
{
}

SerialPortLine::~SerialPortLine()
{
    m_port->close();
}

bool SerialPortLine::PortFailed() const
{
    const QSerialPort::SerialPortError error = m_port->error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

void SerialPortLine::NoteFailure()
{
    m_broken = true;
    m_failure = QStringLiteral("%1: %2").arg(m_path, m_port->errorString());
}

bool SerialPortLine::WaitForByte(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Bytes an earlier wait already took off the line are in the port's
    // buffer. A wait can end without a byte and after the deadline (the
    // thread held off the processor under load, a pending write completed
    // instead): the system is asked once more for what it has received
    // before a byte is called missing.
    while (m_port->bytesAvailable() == 0) {
        const bool lastLook = deadline.hasExpired();
        m_port->clearError();
        if (!m_port->waitForReadyRead(int(deadline.remainingTime())) && PortFailed()) {
            NoteFailure();
            return false;
        }
        if (lastLook)
            return m_port->bytesAvailable() > 0;
    }
    return true;
}

bool SerialPortLine::ReadByte(unsigned char* destination, int timeoutMs)
{
    if (m_broken || !WaitForByte(timeoutMs))
        return false;
    char byte = 0;
    if (m_port->read(&byte, 1) != 1) {
        NoteFailure();
        return false;
    }
    *destination = static_cast<unsigned char>(byte);
    return true;
}

bool SerialPortLine::ByteWaiting()
{
    // Takes in what the system has received, without waiting for more.
    return !m_broken && WaitForByte(0);
}

bool SerialPortLine::Write(const unsigned char* bytes, int count)
{
    if (m_broken)
        return false;
    m_port->clearError();
    const qint64 written = m_port->write(reinterpret_cast<const char*>(bytes), count);
    if (written == count && m_port->waitForBytesWritten(kWriteTimeoutMs))
        return true;
    if (PortFailed())
        NoteFailure();
    else
        m_failure = QStringLiteral("%1: the line did not take the bytes written").arg(m_path);
    return false;
}

}  // namespace dentora
