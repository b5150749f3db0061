#include "design/detect.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace corvanta::design {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The first word of a command file is one of its keywords (case-sensitive).
bool CommandKeyword(std::string_view word) {
    static constexpr std::string_view kKeywords[] = {"CorvantaCmdVer",
                                                     "RasterDPI",
                                                     "RasterUnit",
                                                     "RasterSpeedX",
                                                     "RasterSpeedY",
                                                     "RasterFiringType",
                                                     "RasterBandingFree",
                                                     "RasterBuEngrave",
                                                     "RasterAccelEngrave",
                                                     "RasterPower",
                                                     "ImageWidth",
                                                     "ImageHeight",
                                                     "SetStartRasterGraphics",
                                                     "RasterLineOut",
                                                     "SetEndRasterGraphics",
                                                     "ToHpglMode",
                                                     "ToPclMode",
                                                     "execute_penselect",
                                                     "pd_default",
                                                     "pu_default",
                                                     "SetHorizontalPositionPCL",
                                                     "SetVerticalPositionPCL",
                                                     "VectorSpeed"};
    return std::find(std::begin(kKeywords), std::end(kKeywords), word) != std::end(kKeywords);
}

// Mnemonics a plot starts with (any case).
bool PlotMnemonic(std::string_view two) {
    static constexpr std::string_view kOpening =
        "IN DF SP PU PD PA PR IP IR SC RO PS BP IW VS LT PG CI AA AR LB DT SI SR DI CO PM EA ER RA RR EW WG FP EP PE "
        "BZ CT SM SL TL XT YT CA CS PW NP PC WU LO ";
    if (two.size() != 2) return false;
    const std::string up = {static_cast<char>(std::toupper(static_cast<unsigned char>(two[0]))),
                            static_cast<char>(std::toupper(static_cast<unsigned char>(two[1])))};
    for (std::size_t i = 0; i + 2 < kOpening.size(); i += 3)
        if (kOpening.substr(i, 2) == up) return true;
    return false;
}

bool Bmp(std::string_view b) {
    if (b.size() < 18 || !StartsWith(b, "BM")) return false;
    const uint32_t header = static_cast<unsigned char>(b[14]) | static_cast<unsigned char>(b[15]) << 8 |
                            static_cast<uint32_t>(static_cast<unsigned char>(b[16])) << 16 |
                            static_cast<uint32_t>(static_cast<unsigned char>(b[17])) << 24;
    return header == 12 || header == 40 || header == 52 || header == 56 || header == 64 || header == 108 ||
           header == 124;
}

Kind Picture(std::string_view b) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n") || StartsWith(b, "\xFF\xD8\xFF") || StartsWith(b, "GIF87a") ||
        StartsWith(b, "GIF89a") || Bmp(b))
        return Kind::Image;
    if (StartsWith(b, "%PDF")) return Kind::Pdf;
    if (StartsWith(b, "%!") || StartsWith(b, "\xC5\xD0\xD3\xC6")) return Kind::PostScript;
    return Kind::Unknown;
}

// Markup: an SVG when an <svg element comes within the first few kilobytes.
Kind Markup(std::string_view text) {
    const std::string_view head = text.substr(0, 4096);
    return head.find("<svg") != std::string_view::npos ? Kind::Svg : Kind::Unknown;
}

}  // namespace

Kind DetectKind(std::string_view bytes) {
    if (const Kind k = Picture(bytes); k != Kind::Unknown) return k;
    std::string_view t = bytes;
    if (StartsWith(t, "\xEF\xBB\xBF")) t.remove_prefix(3);
    // Blanks and control characters (an ETX, say) before the first instruction; not an escape.
    while (!t.empty() && static_cast<unsigned char>(t[0]) <= 0x20 && t[0] != '\x1b') t.remove_prefix(1);
    if (t.empty()) return Kind::Unknown;
    if (t[0] == '<') return Markup(t);
    if (t[0] == '{' || t[0] == '[') return Kind::Json;
    if (t[0] == '\x1b' || StartsWith(t, "@PJL")) return Kind::Hpgl;
    const std::size_t wordEnd = std::min(t.find_first_of(" \t\r\n"), t.size());
    if (CommandKeyword(t.substr(0, wordEnd))) return Kind::Command;
    if (PlotMnemonic(t.substr(0, 2))) return Kind::Hpgl;
    return Kind::Unknown;
}

std::string KindDescription(Kind kind) {
    switch (kind) {
        case Kind::Command: return "a command file";
        case Kind::Hpgl: return "an HP-GL plot";
        case Kind::Svg: return "an SVG drawing";
        case Kind::Image: return "a photo (PNG, JPEG, GIF or BMP)";
        case Kind::Json: return "a JSON file";
        case Kind::Pdf: return "a PDF file";
        case Kind::PostScript: return "a PostScript or EPS file";
        case Kind::Unknown: break;
    }
    return "of no kind this program reads";
}

std::string KindOption(Kind kind) {
    switch (kind) {
        case Kind::Command: return "cmd";
        case Kind::Hpgl: return "hpgl";
        case Kind::Svg: return "svg";
        case Kind::Image: return "image";
        default: return "";
    }
}

}  // namespace corvanta::design
