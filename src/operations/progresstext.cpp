#include "progresstext.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace orvane {

namespace {

const std::string theDot = " \u00B7 ";

struct Unit
{
    double size;
    const char* name;
};

// The largest unit in which value is at least 1 (bytes below 1 kB).
Unit unitFor(std::int64_t value)
{
    static const std::array<Unit, 5> units {
        { { 1e12, "TB" }, { 1e9, "GB" }, { 1e6, "MB" }, { 1e3, "kB" }, { 1, "bytes" } }
    };
    for (const Unit& unit : units)
        if (double(value) >= unit.size)
            return unit;
    return units.back();
}

std::string amount(std::int64_t value, const Unit& unit)
{
    char text[32];
    if (unit.size == 1)
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    else
        std::snprintf(text, sizeof text, "%.1f", double(value) / unit.size);
    return text;
}

std::string duration(double seconds)
{
    const long long whole = std::llround(seconds);
    char text[32];
    if (whole < 60)
        std::snprintf(text, sizeof text, "%lld s", whole);
    else if (whole < 3600)
        std::snprintf(text, sizeof text, "%lld min", (whole + 30) / 60);
    else
        std::snprintf(text, sizeof text, "%lld h %lld min", whole / 3600, (whole % 3600 + 30) / 60);
    return text;
}

} // namespace

std::string progressText(const ProgressFigures& figures)
{
    const bool counted = figures.filesTotal >= 0 && figures.bytesTotal >= 0;
    std::string text = std::to_string(figures.filesDone);
    if (counted)
        text += " of " + std::to_string(figures.filesTotal);
    text += " files";

    const Unit unit = unitFor(counted ? figures.bytesTotal : figures.bytesDone);
    text += theDot + amount(figures.bytesDone, unit);
    if (counted)
        text += " of " + amount(figures.bytesTotal, unit);
    text += std::string(" ") + unit.name;

    // Half a second of reading is the least a rate is worth showing for.
    if (figures.seconds < 0.5 || figures.bytesDone <= 0)
        return text;
    const double rate = double(figures.bytesDone) / figures.seconds;
    char speed[32];
    std::snprintf(speed, sizeof speed, rate >= 10e6 ? "%.0f MB/s" : "%.1f MB/s", rate / 1e6);
    text += theDot + speed;
    if (counted && figures.bytesTotal >= figures.bytesDone)
        text += theDot + "about " + duration(double(figures.bytesTotal - figures.bytesDone) / rate) + " left";
    return text;
}

} // namespace orvane
