// A line's points again as flat arrays, with the lowest and highest y of
// each block of them, so that a paint finds the points of one pixel column
// and their vertical span in logarithmic time instead of walking them all.
#pragma once

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

class TraceIndex {
public:
    // A point beyond the last is added at once; any other change leaves
    // the index stale until Rebuild.
    void Append(float x, float y);
    void MarkStale() { m_stale = true; }
    bool Stale() const { return m_stale; }
    void Rebuild(const std::map<float, float>& points);
    void Clear();

    std::size_t Size() const { return m_xs.size(); }
    float X(std::size_t i) const { return m_xs[i]; }
    float Y(std::size_t i) const { return m_ys[i]; }
    // The first point at or after x, searched from `from` on.
    std::size_t LowerBound(float x, std::size_t from = 0) const;
    // The first point after x.
    std::size_t UpperBound(float x) const;
    // The lowest and highest y of the points first to last, last excluded
    // (first < last).
    std::pair<float, float> YRange(std::size_t first, std::size_t last) const;

private:
    static constexpr std::size_t kBlock = 64;
    std::vector<float> m_xs;
    std::vector<float> m_ys;
    std::vector<float> m_blockMin;
    std::vector<float> m_blockMax;
    bool m_stale = false;
};
