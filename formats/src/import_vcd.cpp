// Value change dumps (IEEE 1364) as sigrok, Saleae and simulators write
// them: any $timescale, nested scopes, 1-bit wires, changes with or without
// $dumpvars. The file is a stream of tokens; lines only give the errors a place.
#include "import_readers.h"

#include <cstdint>
#include <map>

namespace dentora::import {
namespace {

constexpr std::string_view kKeywordEnd = "$end";

int ScoreVcd(std::string_view head)
{
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || head[first] != '$')
        return 0;
    for (const char* keyword : {"$date", "$version", "$comment", "$timescale", "$scope", "$var", "$enddefinitions"}) {
        if (head.substr(first, std::string_view(keyword).size()) == keyword)
            return 100;
    }
    return 0;
}

class VcdReader : public WaveformReader {
public:
    bool Line(std::string_view line, int number, WaveformSink& sink, std::string* error) override;
    bool Finish(int lastLine, WaveformSink& sink, std::string* error) override;

private:
    bool Token(std::string_view token, WaveformSink& sink, std::string* error);
    bool Declaration(WaveformSink& sink, std::string* error);
    bool Timestamp(std::string_view token, WaveformSink& sink, std::string* error);
    bool Change(std::string_view id, char value, WaveformSink& sink, std::string* error);
    void Note(const std::string& note, WaveformSink& sink);

    bool m_inDefinitions = true;
    std::string m_section;             // the $keyword whose $end is awaited
    std::vector<std::string> m_words;  // its words so far
    std::vector<std::string> m_scopes;
    std::map<std::string, std::vector<std::size_t>> m_wires;  // identifier code -> signals
    std::map<std::string, bool> m_skipped;                    // codes of wider vectors
    std::string m_pendingVector;                              // a vector or real value whose code follows
    double m_secondsPerUnit = 0.0;
    std::uint64_t m_time = 0;
    bool m_timeSeen = false;
    bool m_notedUnknown = false;
};

bool VcdReader::Line(std::string_view line, int, WaveformSink& sink, std::string* error)
{
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        if (!Token(line.substr(start, end - start), sink, error))
            return false;
        at = end;
    }
    return true;
}

bool VcdReader::Token(std::string_view token, WaveformSink& sink, std::string* error)
{
    if (!m_section.empty()) {
        if (token != kKeywordEnd) {
            m_words.emplace_back(token);
            return true;
        }
        const bool ok = Declaration(sink, error);
        m_section.clear();
        m_words.clear();
        return ok;
    }
    if (!m_pendingVector.empty()) {
        m_pendingVector.clear();
        return true;  // the code of a vector or real value: skipped
    }
    if (token[0] == '$') {
        // Body keywords that only bracket value changes have no words.
        if (!m_inDefinitions &&
            (token == "$dumpvars" || token == "$dumpall" || token == "$dumpon" || token == "$dumpoff" ||
             token == kKeywordEnd))
            return true;
        m_section = std::string(token);
        return true;
    }
    if (m_inDefinitions) {
        *error = "expected a $keyword in the declarations, found " + QuotedText(token);
        return false;
    }
    if (token[0] == '#')
        return Timestamp(token.substr(1), sink, error);
    const char kind = token[0];
    if (kind == 'b' || kind == 'B' || kind == 'r' || kind == 'R') {
        m_pendingVector = std::string(token);
        return true;
    }
    if (token.size() < 2) {
        *error = "a value change " + QuotedText(token) + " has no identifier code";
        return false;
    }
    return Change(token.substr(1), kind, sink, error);
}

bool VcdReader::Declaration(WaveformSink& sink, std::string* error)
{
    if (m_section == "$timescale") {
        std::string text;
        for (const std::string& word : m_words)
            text += word;
        const std::size_t digits = text.find_first_not_of("0123456789");
        const auto factor = ParseDecimal(std::string_view(text).substr(0, digits));
        const auto perUnit = digits == std::string::npos ? std::nullopt : SecondsPerUnit(text.substr(digits));
        if (!factor || !perUnit || *factor <= 0.0) {
            *error = "$timescale " + QuotedText(text) + " is not a time unit such as 1 us";
            return false;
        }
        m_secondsPerUnit = *factor * *perUnit;
    } else if (m_section == "$scope") {
        m_scopes.push_back(m_words.size() >= 2 ? m_words[1] : std::string());
    } else if (m_section == "$upscope") {
        if (!m_scopes.empty())
            m_scopes.pop_back();
    } else if (m_section == "$var") {
        if (m_words.size() < 4) {
            *error = "a $var needs a type, a width, an identifier code and a name";
            return false;
        }
        const std::string& code = m_words[2];
        if (m_words[1] != "1") {
            m_skipped[code] = true;
            Note("wire " + m_words[3] + " is " + m_words[1] + " bits wide: skipped", sink);
            return true;
        }
        std::string name = m_words[3];
        if (m_words.size() >= 5 && m_words[4].front() == '[')
            name += m_words[4];
        if (sink.HasSignal(name) && !m_scopes.empty())
            name = m_scopes.back() + "." + name;
        if (!sink.AddSignal(name, 0, error))
            return false;
        m_wires[code].push_back(sink.Waveforms().traces.size() - 1);
    } else if (m_section == "$enddefinitions") {
        if (m_secondsPerUnit == 0.0)
            m_secondsPerUnit = 1e-9;  // the standard's default unit when a file gives none
        m_inDefinitions = false;
    }
    return true;
}

bool VcdReader::Timestamp(std::string_view digits, WaveformSink& sink, std::string* error)
{
    std::uint64_t time = 0;
    if (digits.empty() || digits.size() > 19 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        *error = "timestamp #" + QuotedText(digits) + " is not a whole number";
        return false;
    }
    for (const char c : digits)
        time = time * 10 + std::uint64_t(c - '0');
    if (m_timeSeen && time < m_time) {
        *error = "time goes back: #" + std::to_string(time) + " after #" + std::to_string(m_time);
        return false;
    }
    if (!m_timeSeen)
        sink.Waveforms().startTime = double(time) * m_secondsPerUnit;
    m_time = time;
    m_timeSeen = true;
    return true;
}

bool VcdReader::Change(std::string_view id, char value, WaveformSink& sink, std::string* error)
{
    const auto wire = m_wires.find(std::string(id));
    if (wire == m_wires.end()) {
        if (m_skipped.count(std::string(id)))
            return true;
        *error = "a value change for identifier code " + QuotedText(id) + ", which no $var declares";
        return false;
    }
    if (value != '0' && value != '1') {
        if (value != 'x' && value != 'X' && value != 'z' && value != 'Z') {
            *error = "value " + QuotedText(std::string(1, value)) + " is not 0, 1, x or z";
            return false;
        }
        if (!m_notedUnknown)
            Note("x and z values are skipped: the level stays as it was", sink);
        m_notedUnknown = true;
        return true;
    }
    for (const std::size_t signal : wire->second) {
        if (!sink.Value(signal, double(m_time) * m_secondsPerUnit, value == '1', error))
            return false;
    }
    return true;
}

void VcdReader::Note(const std::string& note, WaveformSink& sink)
{
    sink.Waveforms().notes.push_back(note);
}

bool VcdReader::Finish(int, WaveformSink& sink, std::string* error)
{
    if (m_inDefinitions || !m_section.empty()) {
        *error = m_section.empty() ? "the file ends before $enddefinitions: it is cut short"
                                   : "the file ends inside " + m_section + ": it is cut short";
        return false;
    }
    if (sink.Waveforms().traces.empty()) {
        *error = "the file declares no 1-bit wire";
        return false;
    }
    return true;
}

}  // namespace

const ReaderModule& VcdModule()
{
    static const ReaderModule module{{"vcd", "value change dump (IEEE 1364)"}, ScoreVcd, [] {
                                         return std::unique_ptr<WaveformReader>(new VcdReader);
                                     }};
    return module;
}

}  // namespace dentora::import
