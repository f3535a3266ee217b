#include "tools/datagen/icons.h"

#include "platform/files/pngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace {

struct Rgba {
    double r = 0.0, g = 0.0, b = 0.0, a = 0.0;
};

// "Over" in premultiplied form: what lies on top covers what lies below by its alpha.
Rgba over(const Rgba& top, const Rgba& below)
{
    return {top.r + below.r * (1.0 - top.a), top.g + below.g * (1.0 - top.a), top.b + below.b * (1.0 - top.a),
            top.a + below.a * (1.0 - top.a)};
}

Rgba opaque(double r, double g, double b, double alpha) { return {r * alpha, g * alpha, b * alpha, alpha}; }

// The icon at a point of the unit square (y downwards), premultiplied.
Rgba iconAt(double x, double y)
{
    // A square with rounded corners, dark blue at the top to violet at the bottom.
    const double corner = 0.18, inset = 0.03;
    const double dx = std::max(std::fabs(x - 0.5) - (0.5 - inset - corner), 0.0);
    const double dy = std::max(std::fabs(y - 0.5) - (0.5 - inset - corner), 0.0);
    if (std::sqrt(dx * dx + dy * dy) > corner) return {};
    Rgba pixel = opaque(0.05 + 0.12 * y, 0.04 + 0.02 * y, 0.16 + 0.16 * y, 1.0);

    // The ring of sparks, tilted, behind and in front of the sphere.
    const double cx = x - 0.5, cy = y - 0.52;
    const double ringX = cx, ringY = cy / 0.32;
    const double ringDistance = std::fabs(std::sqrt(ringX * ringX + ringY * ringY) - 0.38);
    const double glow = std::exp(-ringDistance * ringDistance / 0.0009);
    const Rgba ring = opaque(0.35, 0.85, 1.0, std::min(1.0, glow * 0.9));
    const bool ringInFront = cy > 0.0;

    // The sphere, lit from the upper left, with a highlight.
    const double radius = 0.27;
    const double sx = cx / radius, sy = (y - 0.47) / radius, r2 = sx * sx + sy * sy;
    if (!ringInFront) pixel = over(ring, pixel);
    if (r2 < 1.0) {
        const double sz = std::sqrt(1.0 - r2);
        const double light = std::max(0.0, -0.45 * sx - 0.55 * sy + 0.70 * sz);
        const double highlight = std::pow(std::max(0.0, -0.3 * sx - 0.4 * sy + 0.87 * sz), 40.0);
        const double edge = std::min(1.0, (1.0 - std::sqrt(r2)) * 40.0);   // smooth rim
        const double r = std::min(1.0, 0.25 + 0.95 * light + highlight);
        const double g = std::min(1.0, 0.08 + 0.55 * light * light + highlight);
        const double b = std::min(1.0, 0.04 + 0.15 * light * light * light + highlight);
        pixel = over(opaque(r, g, b, edge), pixel);
    }
    if (ringInFront) pixel = over(ring, pixel);
    return pixel;
}

bool writeIcon(const std::string& path, int size, std::string& error)
{
    // Four by four samples a pixel smooth the edges at every size.
    const int samples = 4;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(size) * size * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgba sum;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const Rgba s = iconAt((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size);
                    sum.r += s.r;
                    sum.g += s.g;
                    sum.b += s.b;
                    sum.a += s.a;
                }
            }
            const double count = samples * samples;
            const double alpha = sum.a / count;
            std::uint8_t* out = rgba.data() + 4 * (static_cast<std::size_t>(py) * size + px);
            const auto channel = [alpha, count](double premultiplied) {
                return static_cast<std::uint8_t>(alpha > 0.0 ? std::lround(std::min(1.0, premultiplied / count / alpha) * 255.0) : 0);
            };
            out[0] = channel(sum.r);
            out[1] = channel(sum.g);
            out[2] = channel(sum.b);
            out[3] = static_cast<std::uint8_t>(std::lround(alpha * 255.0));
        }
    }
    return writePng(path, rgba.data(), size, size, false, error);
}

} // namespace

bool writeIcons(const std::string& folder, std::string& error)
{
    for (int size : {48, 64, 128, 192, 256, 512}) {
        const std::string sizeName = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path apps = std::filesystem::path(folder) / sizeName / "apps";
        std::error_code code;
        std::filesystem::create_directories(apps, code);
        if (code) {
            error = apps.string() + ": cannot create the folder: " + code.message();
            return false;
        }
        if (!writeIcon((apps / "kesu-tamrick.png").string(), size, error)) return false;
    }
    return true;
}
