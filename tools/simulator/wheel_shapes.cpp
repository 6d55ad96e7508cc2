#include "simulator/wheel_shapes.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace dentora::sim {

namespace {

// A slotted wheel drawn position by position: 'X' a tooth, '_' an empty
// position. Each position begins low; its tooth rises halfway through.
WheelShape FromMap(const std::string& name, const std::string& map)
{
    WheelShape shape{name, {}, {}};
    const double pitch = 360.0 / double(map.size());
    for (std::size_t i = 0; i < map.size(); ++i) {
        if (map[i] == 'X')
            shape.teeth.push_back({(double(i) + 0.5) * pitch, double(i + 1) * pitch});
    }
    return shape;
}

std::string Teeth(int count)
{
    return std::string(std::size_t(count), 'X');
}

std::string Gap(int count)
{
    return std::string(std::size_t(count), '_');
}

// GM 24x: a fall every 15°; the rise 3° or 12° after the previous fall, as
// the bits of 0x0A33BE say, least significant first.
WheelShape Gm24x()
{
    WheelShape shape{"gm-24x", {}, {}};
    unsigned code = 0x0A33BE;
    for (int i = 0; i < 24; ++i, code >>= 1)
        shape.teeth.push_back({15.0 * i + ((code & 1u) != 0 ? 12.0 : 3.0), 15.0 * (i + 1)});
    return shape;
}

// Teeth given by their falling edges and one width.
std::vector<ShapeEdgePair> ByFalls(const std::vector<double>& falls, double width)
{
    std::vector<ShapeEdgePair> teeth;
    for (double fall : falls)
        teeth.push_back({fall - width, fall});
    return teeth;
}

WheelShape HondaK()
{
    std::vector<double> falls = {10.0};
    for (int i = 1; i <= 12; ++i)
        falls.push_back(30.0 * i);
    return {"honda-k", ByFalls(falls, 4.0), {}};
}

WheelShape Kawasaki()
{
    WheelShape shape{"kawasaki-kx450f", {}, {}};
    for (int i = 0; i < 17; ++i)
        shape.teeth.push_back({20.0 * (i + 0.85), 20.0 * (i + 1)});
    shape.teeth.push_back({349.2, 360.0});
    return shape;
}

WheelShape Nissan360()
{
    WheelShape shape{"nissan-360", {}, {{165, 180}, {355, 360}, {535, 540}, {715, 720}}};
    for (int i = 0; i < 180; ++i)
        shape.teeth.push_back({2.0 * i + 1.0, 2.0 * i + 2.0});
    return shape;
}

WheelShape Subaru67()
{
    WheelShape shape{"subaru-6-7", {}, {}};
    for (double half : {0.0, 180.0}) {
        for (double fall : {63.0, 95.0, 150.0})
            shape.teeth.push_back({half + fall - 5.0, half + fall});
    }
    for (double fall : {15.0, 180.0, 345.0, 360.0, 375.0, 540.0, 720.0})
        shape.cam.push_back({fall - 5.0, fall});
    return shape;
}

const std::map<std::string, std::function<WheelShape()>>& Named()
{
    static const std::map<std::string, std::function<WheelShape()>> shapes = {
        {"36-2-2", [] { return FromMap("36-2-2", Teeth(17) + Gap(2) + Teeth(15) + Gap(2)); }},
        {"36-2-2-2", [] { return FromMap("36-2-2-2", "X__" + Teeth(13) + Gap(2) + Teeth(16) + Gap(2)); }},
        {"subaru-ez30", [] { return FromMap("subaru-ez30", "X__" + Teeth(19) + Gap(2) + Teeth(10) + Gap(2)); }},
        {"44-2-2", [] { return FromMap("44-2-2", Teeth(20) + Gap(2) + Teeth(20) + Gap(2)); }},
        {"66-2-2-2", [] { return FromMap("66-2-2-2", Teeth(20) + Gap(2) + Teeth(20) + Gap(2) + Teeth(20) + Gap(2)); }},
        {"36-2-1", [] { return FromMap("36-2-1", Teeth(17) + Gap(1) + Teeth(16) + Gap(2)); }},
        {"36-2-1-1", [] { return FromMap("36-2-1-1", Gap(2) + Teeth(11) + Gap(1) + Teeth(11) + Gap(1) + Teeth(10)); }},
        {"gm-24x", Gm24x},
        {"gm-7x",
         [] {
             return WheelShape{"gm-7x", ByFalls({60, 120, 180, 240, 300, 350, 360}, 5.0), {}};
         }},
        {"honda-k", HondaK},
        {"kawasaki-kx450f", Kawasaki},
        {"harley",
         [] {
             return WheelShape{"harley", {{0, 10}, {157, 167}}, {}};
         }},
        {"miata-nb",
         [] {
             return WheelShape{"miata-nb", ByFalls({70, 140, 250, 320}, 4.0), {{0, 20}, {340, 360}, {380, 400}}};
         }},
        {"miata-na",
         [] {
             return WheelShape{"miata-na", {{52.96, 122.64}, {232.64, 302.65}}, {{216.90, 288.82}, {577.04, 720.0}}};
         }},
        {"mitsubishi-4g63",
         [] {
             // The source's angles less 110°, so that no edge wraps the cycle.
             return WheelShape{
                 "mitsubishi-4g63", {{10.1, 78.08}, {188.875, 256.68}}, {{176.33, 244.92}, {529.52, 716.78}}};
         }},
        {"subaru-6-7", Subaru67},
        {"nissan-360", Nissan360},
    };
    return shapes;
}

bool Count(const std::string& text, int* value)
{
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::atoi(text.c_str());
    return *value >= 1;
}

}  // namespace

std::optional<WheelShape> WheelShapeNamed(const std::string& name)
{
    const auto found = Named().find(name);
    if (found != Named().end())
        return found->second();
    int teeth = 0;
    int missing = 0;
    const std::size_t plus = name.find('+');
    if (plus != std::string::npos && name.substr(plus) == "+1" && Count(name.substr(0, plus), &teeth))
        return FromMap(name, Teeth(teeth));
    const std::size_t dash = name.find('-');
    if (dash != std::string::npos && Count(name.substr(0, dash), &teeth) && Count(name.substr(dash + 1), &missing) &&
        missing < teeth)
        return FromMap(name, Teeth(teeth - missing) + Gap(missing));
    return std::nullopt;
}

const std::vector<std::string>& WheelShapeNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const auto& entry : Named())
            all.push_back(entry.first);
        return all;
    }();
    return names;
}

}  // namespace dentora::sim
