#include "analysis/trigger_text.h"

#include "analysis/wheel_library.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace dentora {
namespace {

bool ParseWhole(const std::string& text, int most, int* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6)
        return false;
    *value = std::atoi(text.c_str());
    return *value <= most;
}

bool ParseDegrees(const std::string& text, double* value)
{
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(*value);
}

bool ApplySetting(const std::string& setting, WheelPattern& pattern)
{
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string key = setting.substr(0, equals);
    const std::string value = setting.substr(equals + 1);
    double degrees = 0.0;
    int tooth = 0;
    if (key == "cam-tooth" && ParseWhole(value, 2 * pattern.teeth, &tooth) && tooth >= 1)
        pattern.camTooth = tooth;
    else if (key == "cam-angle" && ParseDegrees(value, &degrees) && degrees >= 0 && degrees < 720)
        pattern.camAngle = degrees;
    else if (key == "tolerance" && ParseDegrees(value, &degrees) && degrees >= 0 && degrees <= 360)
        pattern.angleTolerance = degrees;
    else
        return false;
    return true;
}

std::string Degrees(double value)
{
    std::ostringstream out;
    out.setf(std::ios::fixed);
    out.precision(1);
    out << value << "°";
    return out.str();
}

}  // namespace

std::optional<WheelPattern> ParseWheelPattern(const std::string& text, std::string* error)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const std::optional<WheelDefinition> wheel = WheelNamed(parts.front());
    if (!wheel) {
        *error = "'" + parts.front() +
            "' is no wheel: expected a name from the wheel library (36-1, 36-2-2-2, gm-24x, miata-nb, ...; "
            "docs/analysis.md lists them) or any N-M or N+1";
        return std::nullopt;
    }
    WheelPattern pattern;
    pattern.wheel = wheel->name;
    pattern.teeth = int(wheel->rises.size());
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& setting = parts[i];
        if (!ApplySetting(setting, pattern)) {
            *error = "'" + setting + "' is not cam-tooth=N (1 to " + std::to_string(2 * pattern.teeth) +
                "), cam-angle=DEGREES (0 to 720) or tolerance=DEGREES";
            return std::nullopt;
        }
    }
    return pattern;
}

std::optional<std::vector<AnomalyKind>> ParseAnomalyKinds(const std::string& text, std::string* error)
{
    std::vector<AnomalyKind> kinds;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        std::string name = text.substr(start, comma - start);
        std::replace(name.begin(), name.end(), '-', ' ');
        const auto& all = AnomalyKinds();
        const auto found =
            std::find_if(all.begin(), all.end(), [&](AnomalyKind kind) { return name == AnomalyKindName(kind); });
        if (found == all.end()) {
            std::string names;
            for (AnomalyKind kind : all) {
                std::string known = AnomalyKindName(kind);
                std::replace(known.begin(), known.end(), ' ', '-');
                names += (names.empty() ? "" : ", ") + known;
            }
            *error = "'" + text.substr(start, comma - start) + "' is no anomaly kind: expected " + names;
            return std::nullopt;
        }
        kinds.push_back(*found);
        if (comma == std::string::npos)
            return kinds;
        start = comma + 1;
    }
}

PatternCheck CheckWheelPattern(const TriggerReport& report, const WheelPattern& expected,
                               const std::vector<AnomalyKind>& allowed)
{
    PatternCheck check;
    const WheelSummary& wheel = report.wheel;
    const std::string& pattern = expected.wheel;
    if (wheel.Pattern() != pattern)
        check.differences.push_back("the wheel is " + wheel.Pattern() + ", not " + pattern);
    else if (wheel.revolutionsAgreeing < wheel.revolutionsSeen)
        check.differences.push_back(std::to_string(wheel.revolutionsSeen - wheel.revolutionsAgreeing) + " of " +
                                    std::to_string(wheel.revolutionsSeen) + " revolutions differ from " + pattern);
    if (expected.camTooth || expected.camAngle) {
        const auto& locations = report.cam.locations;
        if (locations.empty())
            check.differences.push_back("no cam pulse was placed on the wheel");
        for (const CamLocation& location : locations) {
            if (expected.camTooth && location.tooth != *expected.camTooth)
                check.differences.push_back("the cam comes after tooth " + std::to_string(location.tooth) +
                                            ", not tooth " + std::to_string(*expected.camTooth));
            const double tolerance = expected.angleTolerance;
            if (expected.camAngle &&
                (location.minAngle < *expected.camAngle - tolerance ||
                 location.maxAngle > *expected.camAngle + tolerance))
                check.differences.push_back("the cam comes at " + Degrees(location.minAngle) + " to " +
                                            Degrees(location.maxAngle) + ", not within " + Degrees(tolerance) + " of " +
                                            Degrees(*expected.camAngle));
        }
    }
    for (const Anomaly& anomaly : report.anomalies) {
        if (std::find(allowed.begin(), allowed.end(), anomaly.kind) == allowed.end())
            check.differences.push_back(FormatAnomaly(anomaly));
    }
    check.matches = check.differences.empty();
    return check;
}

}  // namespace dentora
