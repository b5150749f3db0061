// Random command files for differential tests: vector, raster and mixed jobs
// with extreme values (moves longer than 35 m, moves of a unit or two, speeds
// from 0 to 65535, raster units the line-step tables do not cover, runs of
// short segments with small direction changes that continue at corner
// velocities).  One seed always gives the same text, on every platform: the
// generator uses the 64-bit Mersenne twister's raw output only.
#pragma once
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace corvanta_test {

class RandomJob {
public:
    enum Kind { Vector, Raster, Mixed };

    explicit RandomJob(uint64_t seed) : rng_(seed) {}

    // The command file of one job.
    std::string Text() {
        const Kind kind = static_cast<Kind>(Below(3));
        if (Below(20) != 0) Line("CorvantaCmdVer 1");
        if (kind != Raster || Below(3) == 0) SpeedTable();
        const int parts = 1 + static_cast<int>(Below(kind == Mixed ? 5 : 3));
        for (int p = 0; p < parts; ++p) {
            const bool raster = kind == Raster || (kind == Mixed && Below(2) == 0);
            if (raster)
                Image();
            else
                Drawing();
        }
        if (Below(2) == 0) Line("ToHpglMode 0");
        return text_;
    }

private:
    std::mt19937_64 rng_;
    std::string text_;

    uint64_t Below(uint64_t n) { return rng_() % n; }
    int64_t Between(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(Below(static_cast<uint64_t>(hi - lo + 1)));
    }
    template <class T>
    T Pick(const std::vector<T>& v) {
        return v[Below(v.size())];
    }
    // (Appended piece by piece: GCC 12 warns, falsely, on a chain of operator+.)
    void Line(const std::string& s) { text_.append(s).append("\n"); }
    void Rec(const char* kw, int64_t a) { text_.append(kw).append(" ").append(std::to_string(a)).append("\n"); }
    void Rec(const char* kw, int64_t a, int64_t b) {
        text_.append(kw).append(" ").append(std::to_string(a)).append(" ").append(std::to_string(b)).append("\n");
    }

    // A speed in thousandths of the axis maximum: mostly ordinary, now and then extreme.
    int64_t Speed() {
        if (Below(6) == 0) return Pick<int64_t>({0, 1, 2, 5, 65535, 4000, 1500, 1001});
        return Between(20, 1000);
    }

    void SpeedTable() {
        if (Below(2) == 0) return;
        std::string s = "VectorSpeed";
        for (int pen = 1; pen <= 16; ++pen) s.append(" ").append(std::to_string(Speed()));
        Line(s);
    }

    void PenSelect() { Rec("execute_penselect", Below(10) == 0 ? Between(0, 16) : Between(1, 4)); }

    // A vector drawing: polylines of short segments turning a little,
    // straight moves of every length, travel, pen changes.
    void Drawing() {
        if (Below(8) != 0) PenSelect();
        const int moves = 1 + static_cast<int>(Below(12));
        for (int m = 0; m < moves; ++m) {
            switch (Below(9)) {
                case 0:
                case 1:
                case 2: Polyline(); break;
                case 3: Move(Below(2) == 0, Between(-6000, 6000), Between(-6000, 6000)); break;
                case 4: Move(true, Between(-3, 3), Between(-3, 3)); break;  // a unit or two
                case 5: LongMove(); break;
                case 6: AxisMove(); break;
                case 7: PenSelect(); break;
                default: Move(false, Between(-20000, 20000), Between(-20000, 20000)); break;  // travel
            }
        }
    }

    void Move(bool down, int64_t dx, int64_t dy) { Rec(down ? "pd_default" : "pu_default", dx, dy); }

    void AxisMove() {
        const int64_t d = Between(-40000, 40000);
        if (Below(2) == 0)
            Move(Below(3) != 0, d, 0);
        else
            Move(Below(3) != 0, 0, d);
    }

    // Beyond 35 m (1.4 million HPGL units): the remaining distance passes the
    // servo's diagnostic limit; now and then one whose servo distance wraps.
    void LongMove() {
        const bool wraps = Below(6) == 0;
        const int64_t big = wraps ? Pick<int64_t>({1073741824, -1073741824, 357913942, 2147483647, -2147483648LL})
                                  : Between(1400000, 1700000) * (Below(2) == 0 ? 1 : -1);
        const int64_t other = Below(2) == 0 ? 0 : Between(-300000, 300000);
        if (Below(2) == 0)
            Move(Below(2) == 0, big, other);
        else
            Move(Below(2) == 0, other, big);
    }

    // Short segments (1 to 15 mm) whose direction changes by up to a few degrees.
    void Polyline() {
        const int n = 2 + static_cast<int>(Below(30));
        double angle = static_cast<double>(Below(360)) * M_PI / 180.0;
        const double turn = static_cast<double>(Between(-60, 60)) / 10.0 * M_PI / 180.0;
        const bool pd = Below(5) != 0;
        for (int i = 0; i < n; ++i) {
            const double len = static_cast<double>(Between(40, 600));
            Move(pd, std::llround(len * std::cos(angle)), std::llround(len * std::sin(angle)));
            angle += turn + static_cast<double>(Between(-10, 10)) / 10.0 * M_PI / 180.0;
        }
    }

    // One raster image: resolutions (also ones no line-step table covers),
    // speeds, firing, banding, direction, run-up, size and position, lines.
    void Image() {
        if (Below(8) != 0) Rec("RasterDPI", Pick<int64_t>({254, 300, 600, 150, 75, 1000, 7, 508}));
        if (Below(8) != 0) Rec("RasterUnit", Pick<int64_t>({508, 304, 609, 1016, 254, 3048, 127, 300, 1000, 7}));
        Rec("RasterSpeedX", Speed());
        Rec("RasterSpeedY", Speed());
        Rec("RasterFiringType", Below(2));
        Rec("RasterBandingFree", Below(4) == 0 ? Between(0, 4) : 1);
        if (Below(3) == 0) Rec("RasterBuEngrave", Below(2));
        if (Below(3) == 0) Rec("RasterAccelEngrave", Below(2));
        Rec("RasterPower", Between(0, 1000));
        Rec("ImageWidth", Below(10) == 0 ? Between(0, 4000) : Between(20, 800));
        const int64_t lines = Below(10) == 0 ? 0 : Between(1, 12);
        Rec("ImageHeight", lines);
        Rec("SetHorizontalPositionPCL", Below(4) != 0, Between(-50, 2000));
        Rec("SetVerticalPositionPCL", Below(4) != 0, Between(-50, 3000));
        Rec("SetStartRasterGraphics", 0);
        for (int64_t i = 0; i < lines; ++i) Rec("RasterLineOut", 0);
        Rec("SetEndRasterGraphics", 0);
        if (Below(3) == 0) {
            Rec("ToHpglMode", 0);
            if (Below(2) == 0) Rec("ToPclMode", 0);
        }
    }
};

}  // namespace corvanta_test
