#include "session/InfoReport.h"

#include <charconv>

namespace {

std::vector<std::string_view> words(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<int> number(std::string_view w)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    if (ec != std::errc() || end != w.data() + w.size())
        return std::nullopt;
    return v;
}

bool starts(const std::vector<std::string_view>& w, std::string_view group)
{
    return w.size() >= 2 && w[0] == "INFO" && w[1] == group;
}

}  // namespace

std::optional<AccessoryReport> parseAccessoryReport(std::string_view line)
{
    const auto w = words(line);
    if (!starts(w, "GA") || w.size() < 6 || (w[2] != "M" && w[2] != "N"))
        return std::nullopt;
    const auto address = number(w[3]), port = number(w[4]), value = number(w[5]);
    if (!address || !port || !value)
        return std::nullopt;
    return AccessoryReport{w[2] == "M", *address, *port, *value};
}

std::optional<LocoReport> parseLocoReport(std::string_view line)
{
    const auto w = words(line);
    if (!starts(w, "GL") || w.size() < 7)
        return std::nullopt;
    LocoReport r;
    r.protocol = std::string(w[2]);
    const auto address = number(w[3]), direction = number(w[4]), speed = number(w[5]), vmax = number(w[6]);
    if (!address || !direction || !speed || !vmax)
        return std::nullopt;
    r.address = *address, r.direction = *direction, r.speed = *speed, r.speedMax = *vmax;
    if (w.size() >= 8) {
        const auto f0 = number(w[7]);
        if (!f0)
            return std::nullopt;
        r.functions.push_back(*f0);
        if (w.size() >= 9) {
            const auto n = number(w[8]);
            if (!n || *n < 0 || w.size() < 9 + static_cast<std::size_t>(*n))
                return std::nullopt;
            for (int k = 0; k < *n; ++k) {
                const auto f = number(w[9 + static_cast<std::size_t>(k)]);
                if (!f)
                    return std::nullopt;
                r.functions.push_back(*f);
            }
        }
    }
    return r;
}

std::optional<PowerReport> parsePowerReport(std::string_view line)
{
    const auto w = words(line);
    if (!starts(w, "POWER") || w.size() < 3 || (w[2] != "ON" && w[2] != "OFF"))
        return std::nullopt;
    return PowerReport{w[2] == "ON"};
}
