#include "Quantize.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace norvane::artwork {
namespace {

struct Entry {
    std::array<int, 3> c; // r, g, b
    std::uint64_t count;
};

struct Box {
    std::vector<Entry> entries;
    double error = 0.0; // sum of count * squared distance to the mean
};

std::array<double, 3> Mean(const std::vector<Entry>& entries)
{
    std::array<double, 3> sum{0, 0, 0};
    double n = 0;
    for (const Entry& e : entries) {
        for (int k = 0; k < 3; ++k) {
            sum[k] += static_cast<double>(e.c[k]) * e.count;
        }
        n += static_cast<double>(e.count);
    }
    for (double& s : sum) {
        s /= n;
    }
    return sum;
}

double Error(const std::vector<Entry>& entries)
{
    const auto m = Mean(entries);
    double error = 0;
    for (const Entry& e : entries) {
        double d = 0;
        for (int k = 0; k < 3; ++k) {
            d += (e.c[k] - m[k]) * (e.c[k] - m[k]);
        }
        error += d * static_cast<double>(e.count);
    }
    return error;
}

// Cuts the box along the channel with the largest spread, where the sum of
// the two halves' errors along that channel is least.
bool Split(Box& box, Box& other)
{
    if (box.entries.size() < 2) {
        return false;
    }
    int channel = 0;
    int widest = -1;
    for (int k = 0; k < 3; ++k) {
        int lo = 255, hi = 0;
        for (const Entry& e : box.entries) {
            lo = std::min(lo, e.c[k]);
            hi = std::max(hi, e.c[k]);
        }
        if (hi - lo > widest) {
            widest = hi - lo;
            channel = k;
        }
    }
    std::sort(box.entries.begin(), box.entries.end(), [channel](const Entry& a, const Entry& b) {
        if (a.c[channel] != b.c[channel]) {
            return a.c[channel] < b.c[channel];
        }
        return a.c < b.c;
    });
    // Prefix sums along the sorted channel; cut only between different values.
    const std::size_t n = box.entries.size();
    std::vector<double> w(n + 1, 0), s(n + 1, 0), q(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const double v = box.entries[i].c[channel];
        const double c = static_cast<double>(box.entries[i].count);
        w[i + 1] = w[i] + c;
        s[i + 1] = s[i] + c * v;
        q[i + 1] = q[i] + c * v * v;
    }
    auto sse = [&](std::size_t from, std::size_t to) {
        const double ww = w[to] - w[from];
        const double ss = s[to] - s[from];
        return (q[to] - q[from]) - ss * ss / ww;
    };
    std::size_t best = 0;
    double bestError = std::numeric_limits<double>::max();
    for (std::size_t cut = 1; cut < n; ++cut) {
        if (box.entries[cut - 1].c[channel] == box.entries[cut].c[channel]) {
            continue;
        }
        const double e = sse(0, cut) + sse(cut, n);
        if (e < bestError) {
            bestError = e;
            best = cut;
        }
    }
    if (best == 0) {
        return false;
    }
    other.entries.assign(box.entries.begin() + static_cast<std::ptrdiff_t>(best), box.entries.end());
    box.entries.resize(best);
    box.error = Error(box.entries);
    other.error = Error(other.entries);
    return true;
}

int Distance(const std::array<int, 3>& a, const Rgb& b)
{
    const int dr = a[0] - b.r, dg = a[1] - b.g, db = a[2] - b.b;
    return dr * dr + dg * dg + db * db;
}

std::size_t Nearest(const std::array<int, 3>& c, const std::vector<Rgb>& palette)
{
    std::size_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const int d = Distance(c, palette[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

Rgb ToRgb(const std::array<double, 3>& m)
{
    auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
    return {clamp(m[0]), clamp(m[1]), clamp(m[2])};
}

} // namespace

IndexedImage Quantize(const QImage& source, int maxColours)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    std::map<std::uint32_t, std::uint64_t> histogram;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            ++histogram[line[x] & 0xFFFFFFu];
        }
    }
    std::vector<Entry> colours;
    for (const auto& [rgb, count] : histogram) {
        colours.push_back({{int(qRed(rgb)), int(qGreen(rgb)), int(qBlue(rgb))}, count});
    }

    std::vector<Box> boxes(1);
    boxes[0].entries = colours;
    boxes[0].error = Error(colours);
    while (static_cast<int>(boxes.size()) < maxColours) {
        std::size_t worst = 0;
        for (std::size_t i = 1; i < boxes.size(); ++i) {
            if (boxes[i].error > boxes[worst].error) {
                worst = i;
            }
        }
        if (boxes[worst].error <= 0.0) {
            break;
        }
        Box other;
        if (!Split(boxes[worst], other)) {
            boxes[worst].error = 0.0; // a single colour: nothing to cut
            continue;
        }
        boxes.push_back(std::move(other));
    }

    std::vector<Rgb> palette;
    for (const Box& box : boxes) {
        palette.push_back(ToRgb(Mean(box.entries)));
    }
    // A few rounds of k-means over the distinct colours.
    for (int round = 0; round < 4; ++round) {
        std::vector<std::array<double, 4>> sums(palette.size(), {0, 0, 0, 0});
        for (const Entry& e : colours) {
            auto& s = sums[Nearest(e.c, palette)];
            for (int k = 0; k < 3; ++k) {
                s[k] += static_cast<double>(e.c[k]) * e.count;
            }
            s[3] += static_cast<double>(e.count);
        }
        for (std::size_t i = 0; i < palette.size(); ++i) {
            if (sums[i][3] > 0) {
                palette[i] =
                    ToRgb({sums[i][0] / sums[i][3], sums[i][1] / sums[i][3], sums[i][2] / sums[i][3]});
            }
        }
    }
    // Fixed order: dark to light, ties by the colour value; no duplicates.
    auto luma = [](const Rgb& c) { return 299 * c.r + 587 * c.g + 114 * c.b; };
    std::sort(palette.begin(), palette.end(), [&](const Rgb& a, const Rgb& b) {
        if (luma(a) != luma(b)) {
            return luma(a) < luma(b);
        }
        return std::tie(a.r, a.g, a.b) < std::tie(b.r, b.g, b.b);
    });
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    if (palette.size() > 256) {
        throw std::logic_error("palette too large");
    }

    std::unordered_map<std::uint32_t, std::uint8_t> lookup;
    for (const Entry& e : colours) {
        const std::uint32_t key = (std::uint32_t(e.c[0]) << 16) | (std::uint32_t(e.c[1]) << 8) | e.c[2];
        lookup[key] = static_cast<std::uint8_t>(Nearest(e.c, palette));
    }
    IndexedImage out;
    out.width = image.width();
    out.height = image.height();
    out.bitDepth = 8;
    out.palette = palette;
    out.pixels.reserve(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            out.pixels.push_back(lookup.at(line[x] & 0xFFFFFFu));
        }
    }
    return out;
}

} // namespace norvane::artwork
