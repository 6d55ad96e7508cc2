// The wheel library's data. Angles are crank degrees after tooth 1's rising
// edge; cam pulses run over the 720° cycle. Each entry names the public
// source its geometry was read from (docs/analysis.md has the list).
#include "analysis/wheel_library.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace dentora {
namespace {

constexpr char kRusefi[] = "rusEFI firmware, firmware/controllers/trigger/decoders/";
constexpr char kArduStim[] = "Ardu-Stim wheel simulator, ardustim/src/wheel_defs.h";

// Wheels whose teeth sit on evenly spaced positions with some left empty.
struct SlottedEntry {
    const char* name;
    std::vector<int> runs;
    const char* source;
};

const std::vector<SlottedEntry>& SlottedEntries()
{
    static const std::vector<SlottedEntry> entries = {
        {"36-1", {35, 1}, "Ford EDIS and aftermarket wheels; Ardu-Stim \"36-1 crank only\""},
        {"60-2", {58, 2}, "Bosch; Ardu-Stim \"60-2 crank only\""},
        {"36-2", {34, 2}, "Toyota and Denso; rusEFI trigger_universal.cpp (TT_TOOTHED_WHEEL_36_2)"},
        {"24-1", {23, 1}, "rusEFI trigger_universal.cpp, skipped-tooth wheel"},
        {"24-2", {22, 2}, "rusEFI trigger_universal.cpp, skipped-tooth wheel"},
        {"12-1", {11, 1}, "Ardu-Stim \"12-1 crank with cam\""},
        {"8-1", {7, 1}, "Yamaha R6; Ardu-Stim \"8-1 crank only (R6)\""},
        {"6-1", {5, 1}, "Ardu-Stim \"6-1 crank with cam\""},
        {"4-1", {3, 1}, "Ardu-Stim \"4-1 crank wheel with cam\""},
        {"40-1", {39, 1}, "Ford V10; Ardu-Stim \"40-1 crank only\""},
        {"12-3", {9, 3}, "Ardu-Stim \"12-3 oddball\""},
        {"36-2-2",
         {17, 2, 15, 2},
         "Jeep and Renix; the rusEFI recording unit_tests/tests/trigger/resources/jeep_36_2_2_crank_only.csv"},
        {"36-2-2-2", {13, 2, 16, 2, 1, 2}, "Mazda and Nissan; rusEFI trigger_subaru.cpp initialize36_2_2_2"},
        {"subaru-ez30", {19, 2, 10, 2, 1, 2}, "Subaru EZ30 36-2-2-2; rusEFI trigger_subaru.cpp initializeSubaruEZ30"},
        {"44-2-2", {20, 2, 20, 2}, "Renix four-cylinder; rusEFI trigger_renix.cpp"},
        {"36-2-1",
         {16, 2, 17, 1},
         "Mitsubishi 4B11 and 3A92; rusEFI trigger_mitsubishi.cpp initialize36_2_1 and the recording "
         "unit_tests/tests/trigger/resources/4b11-running.csv"},
        {"36-2-1-1", {11, 1, 11, 1, 10, 2}, "rusEFI trigger_mitsubishi.cpp initialize36_2_1_1"},
    };
    return entries;
}

std::vector<double> Shifted(std::vector<double> angles, double by)
{
    for (double& angle : angles)
        angle += by;
    return angles;
}

std::vector<double> EvenTeeth(int count)
{
    std::vector<double> rises;
    for (int i = 0; i < count; ++i)
        rises.push_back(360.0 * i / count);
    return rises;
}

// Wheels given edge by edge: crank rises and falls over 360°, cam over 720°.
std::vector<WheelDefinition> ShapedWheels()
{
    const std::string rusefi = kRusefi;
    std::vector<double> kawasaki;
    for (int i = 0; i < 17; ++i)
        kawasaki.push_back(20.0 * i);
    kawasaki.push_back(332.2);
    std::vector<double> kawasakiFalls = Shifted(kawasaki, 3.0);
    kawasakiFalls.back() = 343.0;
    const std::vector<double> gm24 = {0,   24,  39,  54,  69,  84,  90,  114, 129, 144, 150, 165,
                                      189, 204, 210, 225, 240, 264, 270, 294, 300, 315, 330, 345};
    std::vector<double> gm24Falls;
    for (int i = 0; i < 24; ++i)
        gm24Falls.push_back(15.0 * (i + 1) - 3.0);
    std::vector<double> hondaK = {0};
    for (int i = 0; i < 12; ++i)
        hondaK.push_back(20.0 + 30.0 * i);
    return {
        {"gm-24x", gm24, gm24Falls, {}, 0, rusefi + "trigger_gm.cpp initGmLS24 (pattern code 0x0A33BE)"},
        {"gm-7x",
         {0, 60, 120, 180, 240, 300, 350},
         Shifted({0, 60, 120, 180, 240, 300, 350}, 5.0),
         {},
         0,
         rusefi + "trigger_gm.cpp configureGmTriggerShape"},
        {"honda-k", hondaK, Shifted(hondaK, 4.0), {}, 0, rusefi + "trigger_honda.cpp configureHondaK_12_1"},
        {"kawasaki-kx450f", kawasaki, kawasakiFalls, {}, 0, rusefi + "trigger_universal.cpp configureKawaKX450F"},
        {"harley", {0, 157}, {}, {}, 0, "Speeduino firmware, decoders.cpp triggerPri_Harley (tooth 2 at 157°)"},
        {"miata-nb",
         {0, 70, 180, 250},
         {4, 74, 184, 254},
         {{274, 294}, {314, 334}, {654, 674}},
         0,
         rusefi + "trigger_mazda.cpp initializeMazdaMiataNb1ShapeWithOffset"},
        {"miata-na",
         {0, 179.68},
         {69.68, 249.69},
         {{163.94, 235.86}, {524.08, 667.04}},
         0,
         rusefi + "trigger_mazda.cpp initializeMazdaMiataNaShape"},
        {"mitsubishi-4g63",
         {0, 178.78},
         {67.98, 246.58},
         {{166.23, 234.82}, {519.42, 706.68}},
         0,
         rusefi + "trigger_mitsubishi.cpp initializeMitsubishi4g18"},
        {"subaru-6-7",
         {0, 32, 87, 180, 212, 267},
         {5, 37, 92, 185, 217, 272},
         {{117, 122}, {282, 287}, {297, 302}, {312, 317}, {477, 482}, {657, 662}, {672, 677}},
         0,
         rusefi + "trigger_subaru.cpp initializeSubaru7_6"},
        {"nissan-360",
         EvenTeeth(180),
         {},
         {{165, 180}, {355, 360}, {535, 540}, {715, 720}},
         0,
         rusefi + "trigger_nissan.cpp initializeNissanSR20VE_4_360 (360 slots per cam turn)"},
    };
}

// N even crank teeth and one cam pulse per 720°: the cam marks the cycle,
// and tooth 1 is the tooth whose period holds the cam pulse.
WheelDefinition EvenWheelWithCam(int teeth, std::string source)
{
    WheelDefinition wheel{
        std::to_string(teeth) + "+1", EvenTeeth(teeth), {}, {{180.0 / teeth, std::nullopt}}, teeth, std::move(source)};
    return wheel;
}

bool ParseCount(const std::string& text, int* value)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::atoi(text.c_str());
    return true;
}

std::optional<WheelDefinition> GenericWheel(const std::string& name)
{
    int teeth = 0;
    int other = 0;
    const std::size_t plus = name.find('+');
    if (plus != std::string::npos && name.substr(plus) == "+1" && ParseCount(name.substr(0, plus), &teeth) &&
        teeth >= 1 && teeth <= 720)
        return EvenWheelWithCam(teeth, "any even wheel with one cam pulse per cycle");
    const std::size_t dash = name.find('-');
    if (dash == std::string::npos || !ParseCount(name.substr(0, dash), &teeth) ||
        !ParseCount(name.substr(dash + 1), &other) || other < 1 || teeth < 3 || other * 2 > teeth || teeth > 720)
        return std::nullopt;
    return SlottedWheel(name, {teeth - other, other}, "any wheel of N positions with the last M empty");
}

}  // namespace

// Within 2 % of even: closer than any speed the crank keeps from one tooth
// to the next, so the crank alone cannot tell where such a wheel turns.
bool WheelDefinition::Uniform() const
{
    const double even = 360.0 / double(rises.size());
    for (std::size_t k = 0; k < rises.size(); ++k) {
        if (std::abs(Spacing(k) - even) > 0.02 * even)
            return false;
    }
    return true;
}

WheelDefinition SlottedWheel(std::string name, const std::vector<int>& runs, std::string source)
{
    int positions = 0;
    for (int run : runs)
        positions += run;
    WheelDefinition wheel{std::move(name), {}, {}, {}, positions, std::move(source)};
    int position = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        for (int tooth = 0; tooth < runs[i]; ++tooth, ++position) {
            if (i % 2 == 0)
                wheel.rises.push_back(360.0 * position / positions);
        }
    }
    return wheel;
}

const std::vector<WheelDefinition>& WheelLibrary()
{
    static const std::vector<WheelDefinition> library = [] {
        std::vector<WheelDefinition> wheels;
        for (const SlottedEntry& entry : SlottedEntries())
            wheels.push_back(SlottedWheel(entry.name, entry.runs, entry.source));
        for (WheelDefinition& wheel : ShapedWheels())
            wheels.push_back(std::move(wheel));
        const std::string evenSource = std::string(kArduStim) + ", the even-tooth crank with a one-tooth cam";
        for (int teeth : {4, 6, 12, 24})
            wheels.push_back(EvenWheelWithCam(teeth, evenSource));
        return wheels;
    }();
    return library;
}

std::optional<WheelDefinition> WheelNamed(const std::string& name)
{
    const auto& library = WheelLibrary();
    const auto found =
        std::find_if(library.begin(), library.end(), [&](const WheelDefinition& wheel) { return wheel.name == name; });
    if (found != library.end())
        return *found;
    return GenericWheel(name);
}

}  // namespace dentora
