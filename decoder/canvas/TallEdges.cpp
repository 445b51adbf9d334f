#include "decoder/canvas/TallEdges.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

namespace pictures::metafile {
namespace {

struct Vertex {
    double x = 0, y = 0;
};

// A subpath as its vertices, and whether it is closed.
struct Figure {
    std::vector<Vertex> points;
    bool closed = false;
};

std::optional<std::vector<Figure>> Parse(std::string_view d) {
    std::vector<Figure> figures;
    const char* at = d.data();
    const char* const end = d.data() + d.size();
    const auto skipSeparators = [&] {
        while (at < end && (*at == ' ' || *at == ',' || *at == '\n' || *at == '\t' || *at == '\r'))
            ++at;
    };
    const auto number = [&]() -> std::optional<double> {
        skipSeparators();
        if (at < end && *at == '+')
            ++at;
        double value = 0;
        const auto [next, ec] = std::from_chars(at, end, value);
        if (ec != std::errc{} || !std::isfinite(value))
            return std::nullopt;
        at = next;
        return value;
    };
    char command = 0;
    for (skipSeparators(); at < end; skipSeparators()) {
        if (std::isalpha(static_cast<unsigned char>(*at))) {
            command = *at++;
            if (command == 'Z') {
                if (figures.empty())
                    return std::nullopt;
                figures.back().closed = true;
            } else if (command != 'M' && command != 'L') {
                return std::nullopt;
            }
            continue;
        }
        const auto x = number(), y = number();
        if (!x || !y || command == 0 || command == 'Z')
            return std::nullopt;
        if (command == 'M' && (figures.empty() || !figures.back().points.empty()))
            figures.emplace_back();
        else if (figures.empty() || figures.back().closed)
            return std::nullopt;
        // Later pairs after a move are lines.
        command = 'L';
        figures.back().points.push_back({*x, *y});
    }
    return figures;
}

void Append(std::string& out, double value) {
    std::array<char, 32> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<float>(value));
    out.append(buffer.data(), ec == std::errc{} ? end : buffer.data());
}

void Append(std::string& out, const Vertex& v) {
    Append(out, v.x);
    out += ',';
    Append(out, v.y);
}

} // namespace

std::optional<std::string> CutTallEdges(std::string_view d, double maxRise) {
    if (!(maxRise > 0))
        return std::nullopt;
    const std::optional<std::vector<Figure>> figures = Parse(d);
    if (!figures)
        return std::nullopt;
    bool cut = false;
    std::string out;
    for (const Figure& figure : *figures) {
        const std::vector<Vertex>& p = figure.points;
        for (std::size_t k = 0; k < p.size(); ++k) {
            out += k == 0 ? 'M' : ' ';
            Append(out, p[k]);
            const bool last = k + 1 == p.size();
            if (last && !figure.closed)
                break;
            const Vertex& from = p[k];
            const Vertex& to = last ? p.front() : p[k + 1];
            const double pieces = std::ceil(std::abs(to.y - from.y) / maxRise);
            if (pieces <= 1 || pieces > 1e4)
                continue;
            cut = true;
            for (int j = 1; j < int(pieces); ++j) {
                const double t = j / pieces;
                out += ' ';
                Append(out, {from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
            }
        }
        if (figure.closed && !p.empty())
            out += 'Z';
    }
    return cut ? std::optional(std::move(out)) : std::nullopt;
}

} // namespace pictures::metafile
