#include "chart/trace_index.h"

#include <algorithm>

void TraceIndex::Append(float x, float y)
{
    if (m_stale)
        return;
    if (!m_xs.empty() && !(x > m_xs.back())) {
        m_stale = true;
        return;
    }
    if (m_xs.size() % kBlock == 0) {
        m_blockMin.push_back(y);
        m_blockMax.push_back(y);
    } else {
        m_blockMin.back() = std::min(m_blockMin.back(), y);
        m_blockMax.back() = std::max(m_blockMax.back(), y);
    }
    m_xs.push_back(x);
    m_ys.push_back(y);
}

void TraceIndex::Clear()
{
    m_xs.clear();
    m_ys.clear();
    m_blockMin.clear();
    m_blockMax.clear();
    m_stale = false;
}

void TraceIndex::Rebuild(const std::map<float, float>& points)
{
    Clear();
    m_xs.reserve(points.size());
    m_ys.reserve(points.size());
    for (const auto& [x, y] : points)
        Append(x, y);
}

std::size_t TraceIndex::LowerBound(float x, std::size_t from) const
{
    return std::size_t(std::lower_bound(m_xs.begin() + std::ptrdiff_t(std::min(from, m_xs.size())), m_xs.end(), x) -
                       m_xs.begin());
}

std::size_t TraceIndex::UpperBound(float x) const
{
    return std::size_t(std::upper_bound(m_xs.begin(), m_xs.end(), x) - m_xs.begin());
}

std::pair<float, float> TraceIndex::YRange(std::size_t first, std::size_t last) const
{
    float low = m_ys[first];
    float high = low;
    const auto take = [&](float lowY, float highY) {
        low = std::min(low, lowY);
        high = std::max(high, highY);
    };
    std::size_t i = first;
    for (; i < last && i % kBlock != 0; ++i)
        take(m_ys[i], m_ys[i]);
    for (; i + kBlock <= last; i += kBlock)
        take(m_blockMin[i / kBlock], m_blockMax[i / kBlock]);
    for (; i < last; ++i)
        take(m_ys[i], m_ys[i]);
    return {low, high};
}
