#include "formats/capture_file.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace dentora {
namespace {

constexpr std::string_view kMagic = "dentora-capture";
constexpr std::string_view kEndLine = "end";
constexpr unsigned long kMaxTicks = 65535;
constexpr unsigned long kMaxAnnouncedBytes = 65535;
constexpr unsigned long kMaxTickNanoseconds = 1000000000;
constexpr std::string_view kUnknownWord = "unknown";
constexpr std::string_view kControllerWord = "controller";

struct OutcomeName {
    TestOutcome outcome;
    const char* word;
};
constexpr OutcomeName kOutcomeNames[] = {
    {TestOutcome::kFinished, "finished"},
    {TestOutcome::kHalted, "halted"},
    {TestOutcome::kOutOfSequence, "out-of-sequence"},
    {TestOutcome::kNoAnswer, "no-answer"},
    {TestOutcome::kPortLost, "port-lost"},
    {TestOutcome::kCouldNotOpen, "could-not-open"},
};

bool IsRecordType(unsigned char type)
{
    return type == kCrankRise || type == kCrankFall || type == kCamRise || type == kCamFall;
}

// Bytes that would break the line structure, and '%' itself, as %XX.
// Spaces are kept in words for the user, escaped in a device name.
std::string EscapeText(const std::string& text, bool keepSpaces = false)
{
    std::string escaped;
    for (const unsigned char byte : text) {
        if ((byte <= ' ' && !(keepSpaces && byte == ' ')) || byte == '%' || byte == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            escaped += hex;
        } else {
            escaped += char(byte);
        }
    }
    return escaped;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> UnescapeText(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        plain += char(high * 16 + low);
        i += 2;
    }
    return plain;
}

// A decimal number of at most nine digits, no sign, no spaces.
std::optional<unsigned long> ParseNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    unsigned long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + unsigned(c - '0');
    }
    return value;
}

// YYYY-MM-DDTHH:MM:SS.mmmZ with every field in its range.
bool IsUtcTimestamp(std::string_view text)
{
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (text.size() != kShape.size())
        return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return false;
    }
    const auto field = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    const int year = field(0) * 100 + field(2);
    const int month = field(5);
    if (month < 1 || month > 12 || field(11) >= 24 || field(14) >= 60 || field(17) >= 60)
        return false;
    constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int days = kDaysIn[month - 1] + (month == 2 && leap ? 1 : 0);
    return field(8) >= 1 && field(8) <= days;
}

std::string Quoted(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    std::string shown(text.substr(0, kShown));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    }
    return "\"" + shown + (text.size() > kShown ? "...\"" : "\"");
}

// A capture that version 1 can hold is written as version 1, which every
// Dentora reads.
bool NeedsVersion2(const CaptureData& capture)
{
    return capture.tickNanoseconds || !capture.fallingEdgesReal || capture.source;
}

std::string EscapedOrEmpty(const std::string& text)
{
    return text.empty() ? std::string("%") : EscapeText(text);
}

std::string Version2Fields(const CaptureData& capture)
{
    std::string out = "tick-ns " +
        (capture.tickNanoseconds ? std::to_string(*capture.tickNanoseconds) : std::string(kUnknownWord)) + "\n";
    out += std::string("falling-edges ") + (capture.fallingEdgesReal ? "real" : "made-up") + "\n";
    if (!capture.source)
        return out + "source-format " + std::string(kControllerWord) + "\n";
    const ImportSource& source = *capture.source;
    out += "source-format " + source.format + "\n";
    out += "source-file " + EscapedOrEmpty(source.file) + "\n";
    out += "crank-signal " + EscapedOrEmpty(source.crank) + "\n";
    out += "cam-signal " + EscapedOrEmpty(source.cam) + "\n";
    const char* inverted =
        source.crankInverted ? (source.camInverted ? "crank,cam" : "crank") : (source.camInverted ? "cam" : "none");
    return out + "inverted " + inverted + "\n";
}

class Parser {
public:
    explicit Parser(std::string_view bytes) : m_rest(bytes), m_sawLastLine(bytes.empty()) {}

    bool Parse(CaptureData* capture, CaptureFileError* error);

private:
    // The next line without its line break, read lazily so that a large
    // import costs no index of its lines.
    std::optional<std::string_view> TakeLine();
    bool Fail(int line, std::string message);
    // The next line, or a failure naming what was expected there.
    std::optional<std::string_view> Next(const std::string& expected);
    std::optional<std::string_view> Field(std::string_view key);
    std::optional<unsigned long> NumberField(std::string_view key, unsigned long most);
    // A text field written with %XX escapes; a lone "%" is the empty text.
    std::optional<std::string> EscapedField(std::string_view key);
    std::optional<bool> WordField(std::string_view key, std::string_view yes, std::string_view no);
    bool ParseHeader(CaptureData* capture);
    bool ParseVersion2Fields(CaptureData* capture);
    bool ParseSource(CaptureData* capture);
    bool ParseRecords(CaptureData* capture);
    bool ParseEnd();

    std::string_view m_rest;  // the bytes after the last line taken
    bool m_sawLastLine = false;
    std::size_t m_next = 0;  // lines taken so far
    int m_version = 0;
    CaptureFileError m_error;
};

std::optional<std::string_view> Parser::TakeLine()
{
    if (m_rest.empty() && m_sawLastLine)
        return std::nullopt;
    const std::size_t end = m_rest.find('\n');
    std::string_view line = m_rest.substr(0, end);
    if (end == std::string_view::npos) {
        m_rest = {};
        m_sawLastLine = true;
    } else {
        m_rest.remove_prefix(end + 1);
        m_sawLastLine = m_rest.empty();
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    ++m_next;
    return line;
}

bool Parser::Fail(int line, std::string message)
{
    m_error = {line, std::move(message)};
    return false;
}

std::optional<std::string_view> Parser::Next(const std::string& expected)
{
    const int lineNumber = int(m_next) + 1;
    const auto taken = TakeLine();
    if (!taken) {
        Fail(lineNumber, "the file ends where " + expected + " should follow (it is cut short)");
        return std::nullopt;
    }
    const std::string_view line = *taken;
    for (std::size_t column = 0; column < line.size(); ++column) {
        const auto byte = static_cast<unsigned char>(line[column]);
        if (byte < ' ' || byte == 0x7F) {
            char detail[64];
            std::snprintf(detail, sizeof detail, "byte %zu is the control character 0x%02X", column + 1, byte);
            Fail(lineNumber, detail);
            return std::nullopt;
        }
    }
    return line;
}

std::optional<std::string_view> Parser::Field(std::string_view key)
{
    const std::string expected = "\"" + std::string(key) + " ...\"";
    const auto line = Next(expected);
    if (!line)
        return std::nullopt;
    if (line->substr(0, key.size()) != key || line->size() <= key.size() || (*line)[key.size()] != ' ') {
        Fail(int(m_next), "expected " + expected + ", found " + Quoted(*line));
        return std::nullopt;
    }
    return line->substr(key.size() + 1);
}

std::optional<std::string> Parser::EscapedField(std::string_view key)
{
    const auto value = Field(key);
    if (!value)
        return std::nullopt;
    auto text = UnescapeText(*value == "%" ? std::string_view() : *value);
    if (!text)
        Fail(int(m_next), std::string(key) + " " + Quoted(*value) + " has a '%' not followed by two hex digits");
    return text;
}

std::optional<unsigned long> Parser::NumberField(std::string_view key, unsigned long most)
{
    const auto value = Field(key);
    if (!value)
        return std::nullopt;
    const auto number = ParseNumber(*value);
    if (!number || *number > most) {
        Fail(int(m_next),
             std::string(key) + " " + Quoted(*value) + " is not a number from 0 to " + std::to_string(most));
        return std::nullopt;
    }
    return number;
}

bool Parser::ParseHeader(CaptureData* capture)
{
    const auto version = Field(kMagic);
    if (!version) {
        if (m_error.line == 1)
            m_error.message = "not a Dentora capture file: it does not begin with \"dentora-capture\"";
        return false;
    }
    const auto number = ParseNumber(*version);
    if (!number || *number < 1 || *number > unsigned(kCaptureFileVersion))
        return Fail(1,
                    "version " + Quoted(*version) + " is not one this Dentora reads (it reads versions 1 to " +
                        std::to_string(kCaptureFileVersion) + ")");
    m_version = int(*number);
    const auto port = EscapedField("port");
    if (!port)
        return false;
    const auto startedAt = Field("started-at");
    if (!startedAt)
        return false;
    if (!IsUtcTimestamp(*startedAt))
        return Fail(int(m_next), "started-at " + Quoted(*startedAt) + " is not a time like 2026-12-08T11:52:08.123Z");
    const auto announced = NumberField("announced-bytes", kMaxAnnouncedBytes);
    if (!announced)
        return false;
    const auto outcome = Field("outcome");
    if (!outcome)
        return false;
    capture->outcome = TestOutcome::kRunning;
    for (const OutcomeName& name : kOutcomeNames) {
        if (*outcome == name.word)
            capture->outcome = name.outcome;
    }
    if (capture->outcome == TestOutcome::kRunning)
        return Fail(int(m_next), "unknown outcome " + Quoted(*outcome));
    const auto detail = EscapedField("outcome-detail");
    if (!detail)
        return false;
    capture->outcomeDetail = *detail;
    capture->port = *port;
    capture->startedAtUtc = std::string(*startedAt);
    capture->announcedBytes = int(*announced);
    return m_version < 2 || ParseVersion2Fields(capture);
}

std::optional<bool> Parser::WordField(std::string_view key, std::string_view yes, std::string_view no)
{
    const auto value = Field(key);
    if (!value)
        return std::nullopt;
    if (*value != yes && *value != no) {
        Fail(int(m_next),
             std::string(key) + " " + Quoted(*value) + " is neither " + std::string(yes) + " nor " + std::string(no));
        return std::nullopt;
    }
    return *value == yes;
}

bool Parser::ParseVersion2Fields(CaptureData* capture)
{
    const auto tick = Field("tick-ns");
    if (!tick)
        return false;
    if (*tick != kUnknownWord) {
        const auto nanoseconds = ParseNumber(*tick);
        if (!nanoseconds || *nanoseconds < 1 || *nanoseconds > kMaxTickNanoseconds)
            return Fail(int(m_next),
                        "tick-ns " + Quoted(*tick) + " is neither unknown nor a number from 1 to " +
                            std::to_string(kMaxTickNanoseconds));
        capture->tickNanoseconds = *nanoseconds;
    }
    const auto real = WordField("falling-edges", "real", "made-up");
    if (!real)
        return false;
    capture->fallingEdgesReal = *real;
    return ParseSource(capture);
}

bool Parser::ParseSource(CaptureData* capture)
{
    const auto format = Field("source-format");
    if (!format)
        return false;
    if (*format == kControllerWord)
        return true;
    if (format->find_first_of(" %") != std::string_view::npos)
        return Fail(int(m_next), "source-format " + Quoted(*format) + " is not a format's name");
    ImportSource source;
    source.format = std::string(*format);
    const auto file = EscapedField("source-file");
    const auto crank = file ? EscapedField("crank-signal") : std::nullopt;
    const auto cam = crank ? EscapedField("cam-signal") : std::nullopt;
    const auto inverted = cam ? Field("inverted") : std::nullopt;
    if (!inverted)
        return false;
    if (*inverted != "none" && *inverted != "crank" && *inverted != "cam" && *inverted != "crank,cam")
        return Fail(int(m_next), "inverted " + Quoted(*inverted) + " is not none, crank, cam or crank,cam");
    source.file = *file;
    source.crank = *crank;
    source.cam = *cam;
    source.crankInverted = inverted->substr(0, 5) == "crank";
    source.camInverted = inverted->size() >= 3 && inverted->substr(inverted->size() - 3) == "cam";
    capture->source = std::move(source);
    return true;
}

bool Parser::ParseRecords(CaptureData* capture)
{
    const auto count = NumberField("records", capture->MostRecords());
    if (!count)
        return false;
    capture->records.reserve(*count);
    for (unsigned long index = 0; index < *count; ++index) {
        const auto line = Next("record " + std::to_string(index) + " of records 0 to " + std::to_string(*count - 1));
        if (!line)
            return false;
        const auto type = static_cast<unsigned char>(line->empty() ? 0 : (*line)[0]);
        if (line->size() < 3 || (*line)[1] != ' ')
            return Fail(int(m_next), "expected a record such as \"R 1234\", found " + Quoted(*line));
        if (!IsRecordType(type))
            return Fail(int(m_next), "unknown record type " + Quoted(line->substr(0, 1)) + " (R, F, r or f)");
        const auto ticks = ParseNumber(line->substr(2));
        if (!ticks || *ticks > kMaxTicks)
            return Fail(int(m_next), "tick count " + Quoted(line->substr(2)) + " is out of range (0 to 65535)");
        capture->records.push_back({type, std::uint16_t(*ticks)});
    }
    return true;
}

bool Parser::ParseEnd()
{
    const auto end = Next("\"end\"");
    if (!end)
        return false;
    if (*end != kEndLine)
        return Fail(int(m_next), "expected \"end\" after the last record, found " + Quoted(*end));
    // Nothing may follow but the final line break.
    if (TakeLine())
        return Fail(int(m_next), "unexpected text after \"end\"");
    return true;
}

bool Parser::Parse(CaptureData* capture, CaptureFileError* error)
{
    CaptureData parsed;
    if (m_rest.empty())
        Fail(0, "the file is empty");
    else if (ParseHeader(&parsed) && ParseRecords(&parsed) && ParseEnd()) {
        *capture = std::move(parsed);
        return true;
    }
    *error = m_error;
    return false;
}

}  // namespace

const char* OutcomeWord(TestOutcome outcome)
{
    for (const OutcomeName& name : kOutcomeNames) {
        if (name.outcome == outcome)
            return name.word;
    }
    return nullptr;
}

std::string WriteCaptureFile(const CaptureData& capture)
{
    const char* outcome = OutcomeWord(capture.outcome);
    std::string out;
    out.reserve(128 + capture.port.size() + capture.outcomeDetail.size() + capture.records.size() * 9);
    out += std::string(kMagic) + " " + (NeedsVersion2(capture) ? "2" : "1") + "\n";
    // An empty port would leave nothing after the key: "%" stands for it.
    out += "port " + (capture.port.empty() ? std::string("%") : EscapeText(capture.port)) + "\n";
    out += "started-at " + capture.startedAtUtc + "\n";
    out += "announced-bytes " + std::to_string(capture.announcedBytes) + "\n";
    out += std::string("outcome ") + (outcome ? outcome : "unknown") + "\n";
    out += "outcome-detail " +
        (capture.outcomeDetail.empty() ? std::string("%") : EscapeText(capture.outcomeDetail, true)) + "\n";
    if (NeedsVersion2(capture))
        out += Version2Fields(capture);
    out += "records " + std::to_string(capture.records.size()) + "\n";
    for (const TriggerRecord& record : capture.records) {
        out += char(record.type);
        out += ' ';
        out += std::to_string(record.ticks);
        out += '\n';
    }
    out += std::string(kEndLine) + "\n";
    return out;
}

bool ReadCaptureFile(std::string_view bytes, CaptureData* capture, CaptureFileError* error)
{
    if (bytes.size() > kMaxCaptureFileBytes) {
        *error = {0,
                  "the file is " + std::to_string(bytes.size()) + " bytes, more than any capture can be (" +
                      std::to_string(kMaxCaptureFileBytes) + ")"};
        return false;
    }
    return Parser(bytes).Parse(capture, error);
}

}  // namespace dentora
