#include "analysis/trigger_text.h"

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
    const std::string& wheel = parts.front();
    WheelPattern pattern;
    const std::size_t dash = wheel.find('-');
    if (dash == std::string::npos || !ParseWhole(wheel.substr(0, dash), 100000, &pattern.teeth) ||
        !ParseWhole(wheel.substr(dash + 1), pattern.teeth, &pattern.missing) || pattern.teeth < 1 ||
        pattern.missing >= pattern.teeth) {
        *error = "'" + wheel + "' is no wheel: expected TEETH-MISSING such as 36-1 or 24-0";
        return std::nullopt;
    }
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

PatternCheck CheckWheelPattern(const TriggerReport& report, const WheelPattern& expected)
{
    PatternCheck check;
    const WheelSummary& wheel = report.wheel;
    const std::string pattern = std::to_string(expected.teeth) + "-" + std::to_string(expected.missing);
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
    check.matches = check.differences.empty();
    return check;
}

}  // namespace dentora
