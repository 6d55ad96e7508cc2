// A serial line in memory: what the tool writes is kept and handed to a
// far end, which queues the bytes the tool reads. Reads never wait: with
// nothing queued they time out at once. Library: dentora_serial.
#pragma once

#include "serial/comm_line.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

namespace dentora {

class MemoryCommLine : public CommLine {
public:
    // Called with each byte the tool writes, in order.
    using WriteHandler = std::function<void(unsigned char byte, MemoryCommLine& line)>;
    // Called when a read finds nothing queued, before it times out: the far
    // end's chance to release what has become due.
    using StarvedHandler = std::function<void(MemoryCommLine& line)>;

    explicit MemoryCommLine(WriteHandler onWrite = {}, StarvedHandler onStarved = {});

    // Bytes from the far end, readable from now on.
    void Queue(const unsigned char* bytes, std::size_t count);
    void Queue(unsigned char byte) { m_queued.push_back(byte); }
    // As when the device goes away: reads and writes fail from now on.
    void Break(const QString& reason);

    // Everything the tool wrote, in order.
    const std::vector<unsigned char>& Written() const { return m_written; }
    std::size_t Queued() const { return m_queued.size(); }

    bool ReadByte(unsigned char* destination, int timeoutMs) override;
    bool ByteWaiting() override;
    bool Write(const unsigned char* bytes, int count) override;
    bool Broken() const override { return !m_failure.isEmpty(); }
    QString FailureText() const override { return m_failure; }

private:
    WriteHandler m_onWrite;
    StarvedHandler m_onStarved;
    std::deque<unsigned char> m_queued;
    std::vector<unsigned char> m_written;
    QString m_failure;
};

}  // namespace dentora
