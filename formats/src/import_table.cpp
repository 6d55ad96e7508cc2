// The CSV family: one reader for tables whose rows are moments and whose
// columns are a time and signals, with the differences of each source kept
// to its header: sigrok-cli's CSV (';' comments, a row per sample, maybe no
// time column), Dentora's own CSV (a row per edge, the signal named in the
// row), composite logs (levels per trigger event), tooth logs (a row per
// tooth, rising edges only), Saleae's export and plain time-and-level CSV.
#include "import_readers.h"

#include <cmath>

namespace dentora::import {
namespace {

enum class Dialect { kSigrok, kDentora, kComposite, kTooth, kSaleae, kTimeLevel };

constexpr std::string_view kDentoraHeader = "Record,Time,ToothTime,PriLevel,SecLevel,Trigger";

std::vector<std::string_view> SplitFields(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t end = line.find(separator);
        std::string_view field = Trimmed(line.substr(0, end));
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
            field = field.substr(1, field.size() - 2);
        fields.push_back(field);
        if (end == std::string_view::npos)
            return fields;
        line.remove_prefix(end + 1);
    }
}

char SeparatorOf(std::string_view line)
{
    if (line.find(',') != std::string_view::npos)
        return ',';
    return line.find('\t') != std::string_view::npos ? '\t' : ';';
}

// The first line of the head that is neither empty nor a comment of the
// given kind (0: none).
std::string_view FirstLine(std::string_view head, char comment)
{
    while (!head.empty()) {
        const std::size_t end = head.find_first_of("\r\n");
        const std::string_view line = Trimmed(head.substr(0, end));
        if (!line.empty() && !(comment && line.front() == comment))
            return line;
        if (end == std::string_view::npos)
            break;
        head.remove_prefix(end + 1);
    }
    return {};
}

bool HasColumn(std::string_view header, std::string_view name)
{
    for (const std::string_view field : SplitFields(header, SeparatorOf(header))) {
        if (Lowered(field) == Lowered(name))
            return true;
    }
    return false;
}

bool IsTimeHeader(std::string_view field)
{
    const std::string lowered = Lowered(field);
    for (const char* word : {"time", "timestamp", "t", "seconds", "milliseconds", "microseconds", "nanoseconds"}) {
        if (lowered == word ||
            (lowered.rfind(word, 0) == 0 && lowered.size() > std::string_view(word).size() &&
             std::string_view("[( _").find(lowered[std::string_view(word).size()]) != std::string_view::npos))
            return true;
    }
    return false;
}

// The unit in a header such as "Time [s]", "time(ms)" or "Time_us".
std::optional<double> UnitInHeader(std::string_view field)
{
    const std::string lowered = Lowered(field);
    const std::size_t open = lowered.find_first_of("[(_");
    if (open == std::string::npos)
        return SecondsPerUnit(lowered);  // "seconds", "microseconds": sigrok's own labels
    const std::size_t close = lowered.find_first_of("])", open + 1);
    return SecondsPerUnit(Trimmed(std::string_view(lowered).substr(open + 1, close - open - 1)));
}

int ScoreSigrok(std::string_view head)
{
    const std::string_view first = FirstLine(head, 0);
    if (first.empty() || first.front() != ';')
        return 0;
    return first.find("libsigrok") != std::string_view::npos ? 100 : 70;
}

int ScoreDentora(std::string_view head)
{
    return FirstLine(head, 0) == kDentoraHeader ? 100 : 0;
}

int ScoreComposite(std::string_view head)
{
    const std::string_view header = FirstLine(head, '#');
    return HasColumn(header, "PriLevel") || HasColumn(header, "SecLevel") ? 95 : 0;
}

int ScoreTooth(std::string_view head)
{
    return HasColumn(FirstLine(head, '#'), "ToothTime") ? 90 : 0;
}

int ScoreSaleae(std::string_view head)
{
    const std::string_view header = FirstLine(head, 0);
    const auto fields = SplitFields(header, SeparatorOf(header));
    const std::string time = Lowered(fields.front());
    return fields.size() >= 2 && (time == "time [s]" || time == "time[s]") &&
            Lowered(fields[1]).rfind("channel", 0) == 0
        ? 85
        : 0;
}

int ScoreTimeLevel(std::string_view head)
{
    const std::string_view header = FirstLine(head, 0);
    const auto fields = SplitFields(header, SeparatorOf(header));
    if (fields.size() < 2)
        return 0;
    return IsTimeHeader(fields.front()) || ParseDecimal(fields.front()) ? 60 : 0;
}

class TableReader : public WaveformReader {
public:
    explicit TableReader(Dialect dialect) : m_dialect(dialect) {}

    bool Line(std::string_view line, int number, WaveformSink& sink, std::string* error) override;
    bool Finish(int lastLine, WaveformSink& sink, std::string* error) override;

private:
    enum class Stage { kHeader, kUnits, kRows };

    bool Comment(std::string_view line);
    bool Header(std::string_view line, WaveformSink& sink, std::string* error);
    bool NamedHeader(const std::vector<std::string_view>& fields, WaveformSink& sink, std::string* error);
    bool AddSignals(const std::vector<std::string_view>& names, WaveformSink& sink, std::string* error);
    bool Units(const std::vector<std::string_view>& fields, std::string* error);
    bool Row(const std::vector<std::string_view>& fields, int number, WaveformSink& sink, std::string* error);
    bool RowTime(const std::vector<std::string_view>& fields, double* time, std::string* error);
    bool DentoraRow(const std::vector<std::string_view>& fields, double time, WaveformSink& sink, std::string* error);

    Dialect m_dialect;
    Stage m_stage = Stage::kHeader;
    char m_separator = ',';
    std::size_t m_fieldCount = 0;
    int m_timeField = -1;  // -1: time from the sample's index and the samplerate
    int m_toothField = -1;
    double m_timeUnit = 1.0;  // seconds per unit of the time column
    double m_toothUnit = 1e-6;
    bool m_timeUnitFixed = false;      // said by the header, not open to a units row
    std::vector<int> m_signalOfField;  // -1 for a field that is no signal
    double m_samplerate = 0.0;
    std::vector<std::string> m_commentChannels;
    std::uint64_t m_sample = 0;
    double m_lastTime = 0.0;
    double m_toothClock = 0.0;
    bool m_anyRow = false;
    bool m_timesInTicks = false;  // Dentora's CSV of a capture whose tick length was not known
};

bool TableReader::Line(std::string_view line, int number, WaveformSink& sink, std::string* error)
{
    line = Trimmed(line);
    if (line.empty() || Comment(line))
        return true;
    if (m_stage == Stage::kHeader)
        return Header(line, sink, error);
    const std::vector<std::string_view> fields = SplitFields(line, m_separator);
    if (m_stage == Stage::kUnits) {
        m_stage = Stage::kRows;
        const int probe = m_timeField >= 0 ? m_timeField : 0;
        if (std::size_t(probe) < fields.size() && !ParseDecimal(fields[std::size_t(probe)]))
            return Units(fields, error);
    }
    return Row(fields, number, sink, error);
}

// sigrok's ';' lines before the header, and a composite log's '#' line.
bool TableReader::Comment(std::string_view line)
{
    if (m_dialect == Dialect::kSigrok && line.front() == ';') {
        const std::string lowered = Lowered(line);
        const std::size_t rate = lowered.find("samplerate:");
        if (rate != std::string::npos) {
            const std::string_view text = Trimmed(std::string_view(lowered).substr(rate + 11));
            const std::size_t digits = text.find_first_not_of("0123456789.");
            const auto value = ParseDecimal(text.substr(0, digits));
            const std::string_view prefix = digits == std::string_view::npos ? "" : Trimmed(text.substr(digits));
            const double scale = prefix.rfind("mhz", 0) == 0 ? 1e6
                : prefix.rfind("khz", 0) == 0                ? 1e3
                : prefix.rfind("ghz", 0) == 0                ? 1e9
                                                             : 1.0;
            if (value)
                m_samplerate = *value * scale;
        }
        const std::size_t channels = line.find("):");
        if (line.find("Channels") != std::string_view::npos && channels != std::string_view::npos) {
            for (const std::string_view name : SplitFields(line.substr(channels + 2), ','))
                m_commentChannels.emplace_back(name);
        }
        return true;
    }
    return m_stage == Stage::kHeader && (m_dialect == Dialect::kComposite || m_dialect == Dialect::kTooth) &&
        line.front() == '#';
}

bool TableReader::Header(std::string_view line, WaveformSink& sink, std::string* error)
{
    m_separator = SeparatorOf(line);
    const std::vector<std::string_view> fields = SplitFields(line, m_separator);
    m_fieldCount = fields.size();
    m_stage = Stage::kUnits;
    const bool numeric = ParseDecimal(fields.front()).has_value();
    if (!numeric)
        return NamedHeader(fields, sink, error);
    // Logs whose columns are known by name cannot do without their names.
    if (m_dialect == Dialect::kDentora || m_dialect == Dialect::kComposite || m_dialect == Dialect::kTooth) {
        *error = "expected the header naming the columns, found a row of numbers";
        return false;
    }
    // No header row: the first line is data already.
    std::vector<std::string_view> names;
    const bool sigrokWithoutTime = m_dialect == Dialect::kSigrok && fields.size() == m_commentChannels.size();
    m_timeField = sigrokWithoutTime ? -1 : 0;
    for (std::size_t i = sigrokWithoutTime ? 0 : 1; i < fields.size(); ++i)
        names.push_back(i - (sigrokWithoutTime ? 0 : 1) < m_commentChannels.size()
                            ? std::string_view(m_commentChannels[i - (sigrokWithoutTime ? 0 : 1)])
                            : std::string_view());
    if (!AddSignals(names, sink, error))
        return false;
    m_stage = Stage::kRows;
    return Row(fields, 1, sink, error);
}

bool TableReader::NamedHeader(const std::vector<std::string_view>& fields, WaveformSink& sink, std::string* error)
{
    m_timeField = -1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string lowered = Lowered(fields[i]);
        if (m_dialect == Dialect::kTooth || m_dialect == Dialect::kComposite || m_dialect == Dialect::kDentora) {
            if (lowered == "time")
                m_timeField = int(i);
            if (lowered == "toothtime")
                m_toothField = int(i);
        } else if (m_timeField < 0 && i == 0 && (IsTimeHeader(fields[i]) || m_dialect == Dialect::kSaleae)) {
            m_timeField = 0;
        }
    }
    if (m_timeField >= 0) {
        if (const auto unit = UnitInHeader(fields[std::size_t(m_timeField)])) {
            m_timeUnit = *unit;
            m_timeUnitFixed = true;
        } else if (m_dialect == Dialect::kSigrok && m_samplerate > 0.0) {
            // sigrok's "Time" counts in the largest unit in which a sample is at least one.
            for (const double unit : {1.0, 1e-3, 1e-6, 1e-9}) {
                m_timeUnit = unit;
                if (1.0 / m_samplerate >= unit * 0.999)
                    break;
            }
        } else if (m_dialect == Dialect::kComposite || m_dialect == Dialect::kTooth || m_dialect == Dialect::kDentora) {
            m_timeUnit = 1e-6;
        }
    }
    if (m_dialect == Dialect::kComposite && m_timeField < 0) {
        *error = "a composite log needs its Time column";
        return false;
    }
    if (m_dialect == Dialect::kSigrok && m_timeField < 0 && m_samplerate <= 0.0) {
        *error = "a sigrok CSV without a time column needs its \"; Samplerate:\" comment";
        return false;
    }
    if (m_dialect == Dialect::kTooth) {
        m_signalOfField.assign(fields.size(), -1);
        if (m_toothField < 0) {
            *error = "a tooth log needs its ToothTime column";
            return false;
        }
        if (!sink.AddSignal("tooth", m_toothField + 1, error))
            return false;
        sink.Waveforms().traces.back().risesOnly = true;
        return true;
    }
    if (m_dialect == Dialect::kDentora)
        return sink.AddSignal("crank", 4, error) && sink.AddSignal("cam", 5, error);
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (int(i) != m_timeField)
            names.push_back(fields[i]);
    }
    return AddSignals(names, sink, error);
}

// The fields after the time (or every field without one); a sigrok "logic"
// label gives way to the channel names of the comments.
bool TableReader::AddSignals(const std::vector<std::string_view>& names, WaveformSink& sink, std::string* error)
{
    m_signalOfField.assign(m_fieldCount, -1);
    std::size_t next = 0;
    for (std::size_t field = 0; field < m_fieldCount; ++field) {
        if (int(field) == m_timeField)
            continue;
        std::string name(next < names.size() ? names[next] : std::string_view());
        const std::string lowered = Lowered(name);
        if ((name.empty() || lowered == "logic") && next < m_commentChannels.size())
            name = m_commentChannels[next];
        if (name.empty())
            name = "column " + std::to_string(field + 1);
        ++next;
        // Times beside the levels (a composite log's ToothTime, RefTime) are no signal.
        if (m_dialect == Dialect::kComposite && lowered.size() > 4 && lowered.substr(lowered.size() - 4) == "time")
            continue;
        if (!sink.AddSignal(name, int(field) + 1, error))
            return false;
        m_signalOfField[field] = int(sink.Waveforms().traces.size()) - 1;
    }
    if (sink.Waveforms().traces.empty()) {
        *error = "the table has a time column and nothing else";
        return false;
    }
    return true;
}

bool TableReader::Units(const std::vector<std::string_view>& fields, std::string* error)
{
    const auto unitOf = [&](int field) -> std::optional<double> {
        if (field < 0 || std::size_t(field) >= fields.size())
            return std::nullopt;
        return SecondsPerUnit(fields[std::size_t(field)]);
    };
    if (m_dialect == Dialect::kDentora && m_timeField >= 0 && fields.size() > std::size_t(m_timeField) &&
        Lowered(fields[std::size_t(m_timeField)]) == "tick") {
        m_timeUnit = 1.0;
        m_toothUnit = 1.0;
        m_timesInTicks = true;
        return true;
    }
    if (!m_timeUnitFixed) {
        if (const auto unit = unitOf(m_timeField))
            m_timeUnit = *unit;
        else if (m_timeField >= 0 && !Trimmed(fields[std::size_t(m_timeField)]).empty()) {
            *error = "time unit " + QuotedText(fields[std::size_t(m_timeField)]) + " is none of s, ms, us";
            return false;
        }
    }
    if (const auto unit = unitOf(m_toothField))
        m_toothUnit = *unit;
    return true;
}

bool TableReader::RowTime(const std::vector<std::string_view>& fields, double* time, std::string* error)
{
    if (m_timeField < 0) {
        *time = m_samplerate > 0.0 ? double(m_sample) / m_samplerate : 0.0;
        return true;
    }
    const std::string_view text = fields[std::size_t(m_timeField)];
    const auto value = ParseDecimal(text);
    if (!value || !std::isfinite(*value)) {
        *error = "time " + QuotedText(text) + " is not a number";
        return false;
    }
    *time = *value * m_timeUnit;
    return true;
}

bool TableReader::Row(const std::vector<std::string_view>& fields, int number, WaveformSink& sink, std::string* error)
{
    if (fields.size() != m_fieldCount) {
        *error = "the line has " + std::to_string(fields.size()) + " fields where the header has " +
            std::to_string(m_fieldCount) + " (is the file cut short?)";
        return false;
    }
    double time = 0.0;
    if (!RowTime(fields, &time, error))
        return false;
    ++m_sample;
    if (m_anyRow && time < m_lastTime) {
        *error = "time goes back: " + QuotedText(fields[std::size_t(std::max(m_timeField, 0))]) +
            " after an earlier row's later time";
        return false;
    }
    if (!m_anyRow && m_dialect != Dialect::kDentora)
        sink.Waveforms().startTime = time;
    m_anyRow = true;
    m_lastTime = time;
    if (m_dialect == Dialect::kDentora)
        return DentoraRow(fields, time, sink, error);
    if (m_dialect == Dialect::kTooth) {
        const auto tooth = ParseDecimal(fields[std::size_t(m_toothField)]);
        if (!tooth || *tooth < 0.0) {
            *error = "ToothTime " + QuotedText(fields[std::size_t(m_toothField)]) + " is not a time";
            return false;
        }
        m_toothClock += *tooth * m_toothUnit;
        const double at = m_timeField >= 0 ? time : m_toothClock;
        return sink.Edge(0, at, true, error);
    }
    for (std::size_t field = 0; field < fields.size(); ++field) {
        const int signal = m_signalOfField[field];
        if (signal < 0)
            continue;
        const std::string_view text = fields[field];
        const bool zero = text == "0";
        if (zero || text == "1") {
            if (!sink.Value(std::size_t(signal), time, !zero, error))
                return false;
            continue;
        }
        const auto value = ParseDecimal(text);
        if (value && (*value == 0.0 || *value == 1.0)) {
            if (!sink.Value(std::size_t(signal), time, *value == 1.0, error))
                return false;
        } else {
            sink.NotALevel(std::size_t(signal), number);
        }
    }
    return true;
}

bool TableReader::DentoraRow(const std::vector<std::string_view>& fields, double time, WaveformSink& sink,
                             std::string* error)
{
    const std::string_view trigger = fields[5];
    if (trigger != "crank" && trigger != "cam") {
        *error = "Trigger " + QuotedText(trigger) + " is neither crank nor cam";
        return false;
    }
    const bool crank = trigger == "crank";
    const std::string_view level = fields[crank ? 3 : 4];
    if (level != "0" && level != "1") {
        *error = std::string(crank ? "PriLevel " : "SecLevel ") + QuotedText(level) + " is neither 0 nor 1";
        return false;
    }
    return sink.Edge(crank ? 0 : 1, time, level == "1", error);
}

bool TableReader::Finish(int, WaveformSink& sink, std::string* error)
{
    if (m_stage == Stage::kHeader) {
        *error = "the file has no header and no data";
        return false;
    }
    if (!m_anyRow) {
        *error = "the header is followed by no data";
        return false;
    }
    sink.Waveforms().timesInTicks = m_timesInTicks;
    return true;
}

template <Dialect kDialect>
std::unique_ptr<WaveformReader> Create()
{
    return std::make_unique<TableReader>(kDialect);
}

}  // namespace

const std::vector<ReaderModule>& TableModules()
{
    static const std::vector<ReaderModule> modules = {
        {{"sigrok-csv", "sigrok-cli's CSV"}, ScoreSigrok, Create<Dialect::kSigrok>},
        {{"dentora-csv", "Dentora's CSV export"}, ScoreDentora, Create<Dialect::kDentora>},
        {{"composite-log", "composite log (PriLevel, SecLevel, Time)"}, ScoreComposite, Create<Dialect::kComposite>},
        {{"tooth-log", "tooth log (ToothTime)"}, ScoreTooth, Create<Dialect::kTooth>},
        {{"saleae-csv", "Saleae digital CSV"}, ScoreSaleae, Create<Dialect::kSaleae>},
        {{"time-level-csv", "time and 0/1 levels CSV"}, ScoreTimeLevel, Create<Dialect::kTimeLevel>},
    };
    return modules;
}

}  // namespace dentora::import
