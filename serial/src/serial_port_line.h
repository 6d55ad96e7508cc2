// The serial line over a real port, through QSerialPort.
#pragma once

#include "serial/comm_line.h"

#include <QSerialPort>

#include <memory>

namespace dentora {

class SerialPortLine : public CommLine {
public:
    // port: opened and configured; path: the device it was opened as.
    SerialPortLine(std::unique_ptr<QSerialPort> port, QString path);
    ~SerialPortLine() override;

    bool ReadByte(unsigned char* destination, int timeoutMs) override;
    bool ByteWaiting() override;
    bool Write(const unsigned char* bytes, int count) override;
    bool Broken() const override { return m_broken; }
    QString FailureText() const override { return m_failure; }

private:
    // Errors after which the port is of no more use; a time-out is not one.
    bool PortFailed() const;
    void NoteFailure();
    // True once a byte is in the port's buffer, within timeoutMs.
    bool WaitForByte(int timeoutMs);

    std::unique_ptr<QSerialPort> m_port;
    QString m_path;
    bool m_broken = false;
    QString m_failure;
};

}  // namespace dentora
