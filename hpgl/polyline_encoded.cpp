#include "hpgl/polyline_encoded.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvanta::hpgl {

EncodedPolyline DecodePolylineEncoded(std::string_view data, const std::function<bool(const EncodedStep&)>& step) {
    EncodedPolyline out;
    enum class Expect { Coordinate, Pen, Fraction };
    Expect expect = Expect::Coordinate;
    bool sevenBit = false, penUpNext = false, absoluteNext = false, haveX = false;
    double x = 0.0, scale = 1.0;   // scale = 2^-fractional bits
    uint64_t acc = 0, weight = 1;  // the number so far and the weight of its next digit
    bool inNumber = false, tooLong = false;

    auto finish = [&](int64_t n) {
        switch (expect) {
            case Expect::Pen:
                expect = Expect::Coordinate;
                out.stopped = !step({EncodedStep::Kind::SelectPen,
                                     static_cast<int32_t>(std::clamp<int64_t>(n, -1, 1000)),
                                     {},
                                     false,
                                     false});
                return;
            case Expect::Fraction:
                scale = std::ldexp(1.0, -static_cast<int32_t>(std::clamp<int64_t>(n, -26, 26)));
                expect = Expect::Coordinate;
                return;
            case Expect::Coordinate:
                if (!haveX) {
                    x = static_cast<double>(n) * scale, haveX = true;
                    return;
                }
                const EncodedStep move{
                    EncodedStep::Kind::Move, 0, {x, static_cast<double>(n) * scale}, penUpNext, absoluteNext};
                haveX = penUpNext = absoluteNext = false;
                out.stopped = !step(move);
                return;
        }
    };

    for (const char ch : data) {
        if (out.stopped) return out;
        const unsigned char b = static_cast<unsigned char>(ch);
        int32_t digit = -1;
        bool last = false;
        if (sevenBit) {
            if (b >= 63 && b <= 94)
                digit = b - 63;
            else if (b >= 95 && b <= 126)
                digit = b - 95, last = true;
        } else {
            if (b >= 63 && b <= 126)
                digit = b - 63;
            else if (b >= 191 && b <= 254)
                digit = b - 191, last = true;
        }
        if (digit >= 0) {
            inNumber = true;
            // 48 bits of magnitude are far beyond any coordinate; more digits only mark the number bad.
            if (weight < (uint64_t{1} << 48))
                acc += static_cast<uint64_t>(digit) * weight;
            else if (digit != 0)
                tooLong = true;
            if (weight < (uint64_t{1} << 48)) weight *= sevenBit ? 32 : 64;
            if (last) {
                if (tooLong) {
                    out.badNumber = true;
                } else {
                    const int64_t magnitude = static_cast<int64_t>(acc >> 1);
                    finish((acc & 1) ? -magnitude : magnitude);
                }
                acc = 0, weight = 1, inNumber = false, tooLong = false;
            }
            continue;
        }
        const bool flag = b == ':' || b == '<' || b == '>' || b == '=' || b == '7';
        if (!flag) continue;
        if (inNumber) {  // a flag inside a number: the number is dropped
            out.badNumber = true;
            acc = 0, weight = 1, inNumber = false, tooLong = false;
        }
        switch (b) {
            case ':': expect = Expect::Pen; break;
            case '>': expect = Expect::Fraction; break;
            case '<': penUpNext = true; break;
            case '=': absoluteNext = true; break;
            default: sevenBit = true; break;
        }
    }
    if (inNumber) out.badNumber = true;
    out.unpairedCoordinate = haveX;
    out.danglingFlag = expect != Expect::Coordinate || ((penUpNext || absoluteNext) && !haveX);
    return out;
}

}  // namespace corvanta::hpgl
