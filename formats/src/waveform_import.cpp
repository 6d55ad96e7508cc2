#include "formats/waveform_import.h"

#include "import_readers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dentora {
namespace import {

bool WaveformSink::AddSignal(const std::string& name, int column, std::string* error)
{
    if (!m_names.insert(name).second) {
        *error = "two signals are named " + QuotedText(name) + ": rename one, or choose by column number";
        return false;
    }
    ImportSignal signal;
    signal.name = name;
    signal.column = column;
    m_waveforms.traces.push_back(std::move(signal));
    return true;
}

bool WaveformSink::Value(std::size_t index, double time, bool high, std::string* error)
{
    ImportSignal& signal = m_waveforms.traces[index];
    if (!signal.levels)
        return true;
    if (!signal.valueSeen) {
        signal.startsHigh = high;
        signal.valueSeen = true;
        return true;
    }
    const bool level = signal.highs.empty() ? signal.startsHigh : bool(signal.highs.back());
    return level == high || Edge(index, time, high, error);
}

bool WaveformSink::Edge(std::size_t index, double time, bool high, std::string* error)
{
    if (m_edges >= m_maxEdges) {
        *error = "more than " + std::to_string(m_maxEdges) + " edges, the most one capture holds";
        return false;
    }
    ImportSignal& signal = m_waveforms.traces[index];
    signal.times.push_back(time);
    signal.highs.push_back(high);
    signal.valueSeen = true;
    ++signal.edges;
    ++m_edges;
    return true;
}

void WaveformSink::NotALevel(std::size_t index, int line)
{
    ImportSignal& signal = m_waveforms.traces[index];
    if (!signal.levels)
        return;
    m_edges -= signal.edges;
    signal.levels = false;
    signal.firstOtherLine = line;
    signal.edges = 0;
    std::vector<double>().swap(signal.times);
    std::vector<bool>().swap(signal.highs);
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return lowered;
}

std::optional<double> ParseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    char buffer[65];
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    // strtod would take hex, "inf" and "nan": a time is digits, a point, an exponent.
    if (std::string_view(buffer).find_first_not_of("0123456789.+-eE") != std::string_view::npos)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(buffer, &end);
    if (end != buffer + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> SecondsPerUnit(std::string_view unit)
{
    const std::string lowered = Lowered(Trimmed(unit));
    struct Unit {
        const char* names[3];
        double seconds;
    };
    static const Unit kUnits[] = {
        {{"s", "sec", "seconds"}, 1.0},
        {{"ms", "msec", "milliseconds"}, 1e-3},
        {{"us", "\xC2\xB5s", "microseconds"}, 1e-6},
        {{"ns", "nsec", "nanoseconds"}, 1e-9},
        {{"ps", "ps", "picoseconds"}, 1e-12},
        {{"fs", "fs", "femtoseconds"}, 1e-15},
    };
    for (const Unit& candidate : kUnits) {
        for (const char* name : candidate.names) {
            if (lowered == name)
                return candidate.seconds;
        }
    }
    return std::nullopt;
}

std::string QuotedText(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    std::string shown(text.substr(0, kShown));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7F)
            c = '?';
    }
    return "\"" + shown + (text.size() > kShown ? "...\"" : "\"");
}

namespace {

std::vector<const ReaderModule*> Modules()
{
    std::vector<const ReaderModule*> modules = {&VcdModule()};
    for (const ReaderModule& module : TableModules())
        modules.push_back(&module);
    return modules;
}

const ReaderModule* DetectModule(std::string_view head)
{
    const ReaderModule* best = nullptr;
    int bestScore = 0;
    for (const ReaderModule* module : Modules()) {
        const int score = module->score(head);
        if (score > bestScore) {
            best = module;
            bestScore = score;
        }
    }
    return best;
}

constexpr std::size_t kHeadBytes = 4096;
constexpr std::size_t kBlockBytes = 64 * 1024;
constexpr std::size_t kMostLineBytes = 1024 * 1024;

// Splits a stream into lines ending in LF, CRLF or CR (mixed as they come)
// and refuses what no text file holds: NUL and other control bytes, and
// lines too long to be a row.
class LineSplitter {
public:
    LineSplitter(import::WaveformReader& reader, import::WaveformSink& sink) : m_reader(reader), m_sink(sink) {}

    bool Feed(std::string_view bytes, ImportError* error);
    bool End(ImportError* error);

private:
    bool Emit(ImportError* error);
    bool Fail(ImportError* error, std::string message);

    import::WaveformReader& m_reader;
    import::WaveformSink& m_sink;
    std::string m_line;
    int m_number = 1;
    bool m_afterCr = false;
    bool m_atStart = true;
};

bool LineSplitter::Fail(ImportError* error, std::string message)
{
    *error = {m_number, std::move(message)};
    return false;
}

bool LineSplitter::Emit(ImportError* error)
{
    std::string message;
    if (!m_reader.Line(m_line, m_number, m_sink, &message))
        return Fail(error, message);
    m_line.clear();
    ++m_number;
    return true;
}

bool LineSplitter::Feed(std::string_view bytes, ImportError* error)
{
    if (m_atStart && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);  // a UTF-8 byte order mark
    m_atStart = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= ' ' || byte == '\t')
            continue;
        if (byte != '\n' && byte != '\r') {
            char text[96];
            std::snprintf(text, sizeof text, "byte %zu of the line is %s: this is not a text file",
                          m_line.size() + (i - start) + 1, byte == 0 ? "a NUL byte" : "a control character");
            return Fail(error, text);
        }
        m_line.append(bytes.data() + start, i - start);
        start = i + 1;
        if (byte == '\n' && m_afterCr) {
            m_afterCr = false;
            continue;  // the LF of a CRLF
        }
        m_afterCr = byte == '\r';
        if (!Emit(error))
            return false;
    }
    m_line.append(bytes.data() + start, bytes.size() - start);
    if (start < bytes.size())
        m_afterCr = false;
    if (m_line.size() > kMostLineBytes)
        return Fail(error, "the line is longer than 1 MiB: this is not a table or a dump");
    return true;
}

bool LineSplitter::End(ImportError* error)
{
    if (!m_line.empty() && !Emit(error))
        return false;
    std::string message;
    if (!m_reader.Finish(m_number - 1, m_sink, &message)) {
        *error = {0, message};
        return false;
    }
    return true;
}

}  // namespace
}  // namespace import

const std::vector<ImportFormatInfo>& ImportFormats()
{
    static const std::vector<ImportFormatInfo> formats = [] {
        std::vector<ImportFormatInfo> infos;
        for (const import::ReaderModule* module : import::Modules())
            infos.push_back(module->info);
        return infos;
    }();
    return formats;
}

const char* DetectImportFormat(std::string_view head)
{
    const import::ReaderModule* module = import::DetectModule(head);
    return module ? module->info.name : nullptr;
}

bool ReadWaveforms(std::istream& in, ImportedWaveforms* waveforms, ImportError* error, std::size_t maxEdges)
{
    std::string block(import::kHeadBytes, '\0');
    in.read(block.data(), std::streamsize(block.size()));
    block.resize(std::size_t(in.gcount()));
    if (block.empty()) {
        *error = {0, "the file is empty"};
        return false;
    }
    const import::ReaderModule* module = import::DetectModule(block);
    if (!module) {
        *error = {0,
                  "not a file Dentora reads: neither a capture, a VCD, nor a CSV of times and levels, "
                  "a composite or a tooth log"};
        return false;
    }
    ImportedWaveforms read;
    read.format = module->info.name;
    import::WaveformSink sink(&read, maxEdges);
    const std::unique_ptr<import::WaveformReader> reader = module->create();
    import::LineSplitter lines(*reader, sink);
    block.resize(import::kBlockBytes);
    std::size_t filled = std::size_t(in.gcount());
    while (true) {
        if (!lines.Feed(std::string_view(block.data(), filled), error))
            return false;
        if (!in)
            break;
        in.read(block.data(), std::streamsize(block.size()));
        filled = std::size_t(in.gcount());
    }
    if (in.bad()) {
        *error = {0, "the file could not be read to its end"};
        return false;
    }
    if (!lines.End(error))
        return false;
    *waveforms = std::move(read);
    return true;
}

}  // namespace dentora
