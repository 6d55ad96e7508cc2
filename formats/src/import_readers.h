// The readers behind waveform_import.h, one per family of formats, in the
// manner of sigrok's input modules: each scores a file's first bytes, then
// takes the file line by line and hands its edges to a WaveformSink.
#pragma once

#include "formats/waveform_import.h"

#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace dentora::import {

// Collects what a reader finds, within a bound on the edges kept.
class WaveformSink {
public:
    WaveformSink(ImportedWaveforms* waveforms, std::size_t maxEdges) : m_waveforms(*waveforms), m_maxEdges(maxEdges) {}

    ImportedWaveforms& Waveforms() { return m_waveforms; }
    // A new signal; false (with *error) when one of that name exists.
    bool AddSignal(const std::string& name, int column, std::string* error);
    bool HasSignal(const std::string& name) const { return m_names.count(name) > 0; }
    // A value of a signal at a time: its first value sets where it starts,
    // each later change is an edge. False when the bound is reached.
    bool Value(std::size_t signal, double time, bool high, std::string* error);
    // An edge whatever the level before (a tooth, or Dentora's own CSV).
    bool Edge(std::size_t signal, double time, bool high, std::string* error);
    // A value that is not 0 or 1: the signal cannot be a trace.
    void NotALevel(std::size_t signal, int line);

private:
    ImportedWaveforms& m_waveforms;
    std::size_t m_maxEdges;
    std::size_t m_edges = 0;
    std::set<std::string> m_names;
};

class WaveformReader {
public:
    virtual ~WaveformReader() = default;
    // One line without its line break; false with *error for a fault.
    virtual bool Line(std::string_view line, int number, WaveformSink& sink, std::string* error) = 0;
    // After the last line; lastLine is its number.
    virtual bool Finish(int lastLine, WaveformSink& sink, std::string* error) = 0;
};

struct ReaderModule {
    ImportFormatInfo info;
    int (*score)(std::string_view head);  // 0: not this format; higher is surer
    std::unique_ptr<WaveformReader> (*create)();
};

const ReaderModule& VcdModule();
// The CSV family: sigrok, Dentora, composite and tooth logs, Saleae, time and level.
const std::vector<ReaderModule>& TableModules();

// Shared by the readers.
std::string_view Trimmed(std::string_view text);
std::string Lowered(std::string_view text);
std::optional<double> ParseDecimal(std::string_view text);
// "s", "ms", "us", "µs", "ns" and their long forms: seconds per unit.
std::optional<double> SecondsPerUnit(std::string_view unit);
std::string QuotedText(std::string_view text);

}  // namespace dentora::import
