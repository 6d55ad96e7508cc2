#include "serial/memory_comm_line.h"

#include <utility>

namespace dentora {

MemoryCommLine::MemoryCommLine(WriteHandler onWrite, StarvedHandler onStarved)
    : m_onWrite(std::move(onWrite)), m_onStarved(std::move(onStarved))
{
}

void MemoryCommLine::Queue(const unsigned char* bytes, std::size_t count)
{
    m_queued.insert(m_queued.end(), bytes, bytes + count);
}

void MemoryCommLine::Break(const QString& reason)
{
    m_failure = reason.isEmpty() ? QStringLiteral("the line went away") : reason;
}

bool MemoryCommLine::ReadByte(unsigned char* destination, int)
{
    if (!ByteWaiting())
        return false;
    *destination = m_queued.front();
    m_queued.pop_front();
    return true;
}

bool MemoryCommLine::ByteWaiting()
{
    if (Broken())
        return false;
    if (m_queued.empty() && m_onStarved)
        m_onStarved(*this);
    return !Broken() && !m_queued.empty();
}

bool MemoryCommLine::Write(const unsigned char* bytes, int count)
{
    for (int i = 0; i < count && !Broken(); ++i) {
        m_written.push_back(bytes[i]);
        if (m_onWrite)
            m_onWrite(bytes[i], *this);
    }
    return !Broken();
}

}  // namespace dentora
