// Draws the emulated task dialog's pictures and writes them as 24-bit BMPs with a
// resource script that names them:
//
//   make_td_bitmaps OUTDIR
//
// OUTDIR/TD_ARW.bmp ... OUTDIR/TD_SHIELD.bmp and OUTDIR/td_bitmaps.rc.
//
// Magenta is the only transparency these pictures have, so an outer edge cannot be
// blended: each pixel's coverage is measured by supersampling and the pixel is
// either magenta or fully opaque. Inside a shape, colours may blend freely.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Point {
    double x, y;
};

double SegmentDistance(Point p, Point a, Point b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// A closed polygon: positive distance inside, negative outside.
double PolygonDepth(const std::vector<Point>& poly, Point p)
{
    bool inside = false;
    double nearest = 1e9;
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        const Point a = poly[j], b = poly[i];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
        nearest = std::min(nearest, SegmentDistance(p, a, b));
    }
    return inside ? nearest : -nearest;
}

// An open polyline stroked with round joins: positive inside the stroke.
double StrokeDepth(const std::vector<Point>& line, double width, Point p)
{
    double nearest = 1e9;
    for (size_t i = 1; i < line.size(); ++i) nearest = std::min(nearest, SegmentDistance(p, line[i - 1], line[i]));
    return width / 2 - nearest;
}

// The colour of one sample point, or nothing where the picture is transparent.
using Scene = std::function<std::optional<Rgb>(Point)>;

struct Picture {
    std::string name;
    int width, height;
    std::vector<std::uint8_t> rgb;  // top-down, 3 bytes a pixel
};

constexpr int kSamples = 8;  // per axis and pixel

Picture Render(const std::string& name, int width, int height, const Scene& scene)
{
    Picture picture{name, width, height, std::vector<std::uint8_t>(size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb sum;
            int covered = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples};
                    if (auto c = scene(p)) {
                        sum.r += c->r;
                        sum.g += c->g;
                        sum.b += c->b;
                        ++covered;
                    }
                }
            }
            std::uint8_t* out = &picture.rgb[(size_t(y) * width + x) * 3];
            if (covered * 2 < kSamples * kSamples) {
                out[0] = 255, out[1] = 0, out[2] = 255;
                continue;
            }
            auto channel = [&](double v) { return std::uint8_t(std::clamp(std::lround(v / covered), 0L, 255L)); };
            out[0] = channel(sum.r), out[1] = channel(sum.g), out[2] = channel(sum.b);
            // An opaque pixel must never read as transparent.
            if (out[0] == 255 && out[1] == 0 && out[2] == 255) out[1] = 1;
        }
    }
    return picture;
}

// ------------------------------------------------------------ command-link arrow

struct ArrowStyle {
    Rgb top, bottom, outline;
};

Scene ArrowScene(const ArrowStyle& style)
{
    // Shaft and head in one outline. The head's flanks run at 45 degrees through
    // the middle of pixel edges, so that they step cleanly one pixel a row.
    static const std::vector<Point> shape = {{1.0, 5.0},  {7.0, 5.0},  {7.0, 0.5}, {14.5, 8.0},
                                             {7.0, 15.5}, {7.0, 11.0}, {1.0, 11.0}};
    return [style](Point p) -> std::optional<Rgb> {
        const double depth = PolygonDepth(shape, p);
        if (depth <= 0) return std::nullopt;
        if (depth < 1.0) return style.outline;
        const double t = (p.y - 1.0) / 14.0;
        Rgb fill = Mix(style.top, style.bottom, t);
        // A soft gloss on the upper half of the shaft and head.
        if (p.y < 8.0) fill = Mix(fill, Rgb{255, 255, 255}, 0.18 * (8.0 - p.y) / 7.0);
        return fill;
    };
}

// ------------------------------------------------------- expand/collapse control

struct RoundStyle {
    Rgb border, fillTop, fillBottom, chevron;
    double chevronShift;  // pressed: the chevron sinks a little
};

Scene RoundScene(const RoundStyle& style, bool pointsDown)
{
    return [style, pointsDown](Point p) -> std::optional<Rgb> {
        const double cx = 9.5, cy = 9.5, radius = 8.8;
        const double depth = radius - std::hypot(p.x - cx, p.y - cy);
        if (depth <= 0) return std::nullopt;
        if (depth < 1.3) return style.border;
        Rgb c = Mix(style.fillTop, style.fillBottom, (p.y - 1.5) / 16.0);
        const double s = style.chevronShift;
        // Arms at 45 degrees through pixel centres keep the chevron sharp.
        const double tipY = pointsDown ? 11.5 : 7.5;
        const double armY = pointsDown ? 7.5 : 11.5;
        const std::vector<Point> chevron = {{5.5 + s, armY + s}, {9.5 + s, tipY + s}, {13.5 + s, armY + s}};
        const double stroke = StrokeDepth(chevron, 1.9, p);
        if (stroke > 0) c = style.chevron;
        return c;
    };
}

// --------------------------------------------------------------------- shield

Scene ShieldScene()
{
    // A flat top, straight sides down to the waist, then curved flanks that meet
    // in a point. The straight edges lie on pixel edges so that they stay sharp.
    const double cx = 16.0, half = 12.0, top = 2.0, waist = 14.0, bottom = 30.6;
    std::vector<Point> outline = {{cx - half, top}, {cx + half, top}};
    const int steps = 64;
    for (int i = 0; i <= steps; ++i) {  // right flank, downwards
        const double t = double(i) / steps;
        outline.push_back({cx + half * (1 - std::pow(t, 1.8)), waist + (bottom - waist) * t});
    }
    for (int i = steps - 1; i >= 0; --i) {  // left flank, upwards
        const double t = double(i) / steps;
        outline.push_back({cx - half * (1 - std::pow(t, 1.8)), waist + (bottom - waist) * t});
    }
    const Rgb edge{28, 42, 74}, blueLight{86, 150, 234}, blueDark{22, 76, 174}, yellowLight{255, 228, 100},
        yellowDark{236, 170, 18};
    const double quarterY = 15.0;  // on a pixel edge: no muddy row between the quarters
    return [=](Point p) -> std::optional<Rgb> {
        const double depth = PolygonDepth(outline, p);
        if (depth <= 0) return std::nullopt;
        if (depth < 2.0) return edge;  // two pixels: still there when shrunk to 16 x 16
        const bool left = p.x < cx, upper = p.y < quarterY;
        const double t = (p.y - top) / (bottom - top);
        Rgb fill = (left == upper) ? Mix(blueLight, blueDark, t) : Mix(yellowLight, yellowDark, t);
        // A faint rim of light inside the outline, as on a raised metal edge.
        if (depth < 3.0) fill = Mix(fill, Rgb{255, 255, 255}, 0.25);
        return fill;
    };
}

// -------------------------------------------------------------------- output

void Put16(std::string& out, unsigned v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// 24-bit uncompressed, bottom-up, each row padded to four bytes.
std::string EncodeBmp(const Picture& picture)
{
    const unsigned rowBytes = (unsigned(picture.width) * 3 + 3) & ~3u;
    const unsigned imageBytes = rowBytes * unsigned(picture.height);
    std::string out;
    out += "BM";
    Put32(out, 14 + 40 + imageBytes);
    Put32(out, 0);
    Put32(out, 14 + 40);
    Put32(out, 40);
    Put32(out, std::uint32_t(picture.width));
    Put32(out, std::uint32_t(picture.height));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);  // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835);  // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = &picture.rgb[size_t(y) * picture.width * 3];
        for (int x = 0; x < picture.width; ++x) {
            out += char(row[x * 3 + 2]);
            out += char(row[x * 3 + 1]);
            out += char(row[x * 3 + 0]);
        }
        out.append(rowBytes - unsigned(picture.width) * 3, '\0');
    }
    return out;
}

// Leaves an existing file alone when its content is the same, so that a rebuild of
// the tool does not relink every program that embeds the pictures.
bool WriteIfChanged(const std::string& path, const std::string& content)
{
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (old == content) return true;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), std::streamsize(content.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_td_bitmaps: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

std::vector<Picture> DrawAll()
{
    const ArrowStyle arrowNormal{{92, 190, 70}, {30, 132, 36}, {22, 96, 30}};
    const ArrowStyle arrowHot{{134, 226, 98}, {52, 174, 52}, {30, 122, 38}};
    const ArrowStyle arrowDown{{60, 150, 50}, {18, 96, 24}, {12, 70, 20}};

    const RoundStyle roundNormal{{158, 172, 194}, {253, 254, 255}, {220, 228, 240}, {58, 68, 88}, 0};
    const RoundStyle roundHot{{86, 150, 222}, {238, 247, 255}, {182, 214, 248}, {26, 66, 130}, 0};
    const RoundStyle roundDown{{62, 104, 168}, {176, 200, 232}, {140, 174, 220}, {16, 36, 78}, 0.5};

    return {
        Render("TD_ARW", 16, 16, ArrowScene(arrowNormal)),
        Render("TD_ARWHOT", 16, 16, ArrowScene(arrowHot)),
        Render("TD_ARWDOWN", 16, 16, ArrowScene(arrowDown)),
        Render("TD_EXP", 19, 19, RoundScene(roundNormal, true)),
        Render("TD_EXPHOT", 19, 19, RoundScene(roundHot, true)),
        Render("TD_EXPDOWN", 19, 19, RoundScene(roundDown, true)),
        Render("TD_COLP", 19, 19, RoundScene(roundNormal, false)),
        Render("TD_COLPHOT", 19, 19, RoundScene(roundHot, false)),
        Render("TD_COLPDOWN", 19, 19, RoundScene(roundDown, false)),
        Render("TD_SHIELD", 32, 32, ShieldScene()),
    };
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_td_bitmaps OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::string script = "// Written by make_td_bitmaps; the pictures of the emulated task dialog.\n";
    bool ok = true;
    for (const Picture& picture : DrawAll()) {
        ok = WriteIfChanged(dir + "/" + picture.name + ".bmp", EncodeBmp(picture)) && ok;
        script += picture.name + " BITMAP \"" + picture.name + ".bmp\"\n";
    }
    ok = WriteIfChanged(dir + "/td_bitmaps.rc", script) && ok;
    return ok ? 0 : 1;
}
