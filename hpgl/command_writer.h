// Writes the command-file records of a plot: pen selections, speed tables and relative moves.
//
// Moves are given as absolute physical positions (doubles, plotter units).  The writer keeps the pen's
// position as the integer sum of the moves written so far and writes round(target) - position, so the
// rounding error of one move is carried into the next and the moves add up exactly to the rounded end point.
//
// Pen state.  The plot raises and lowers the pen without moving (PU; PD;); the writer turns that into
// records only when the machine would see it:
//   - a pen lowered and raised again without moving is a dot: `pd_default 0 0`;
//   - a pen raised and then drawing again from the same place: `pu_default 0 0` before the pen-down move;
//   - a pen raised at the end of the plot: `pu_default 0 0`.
// A pen-up move or a pen selection raises the pen by itself, so no extra record is needed there.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "hpgl/geometry.h"
#include "hpgl/notes.h"

namespace corvanta::hpgl {

// Positions beyond this many plotter units (1.25 km) from the origin are clamped, so that a move times 12
// (servo units per plotter unit) still fits in 32 bits.
inline constexpr int64_t kCoordinateLimitPu = 50'000'000;

struct Rect {
    double x0, y0, x1, y1;  // physical plotter units, x0 <= x1, y0 <= y1
};

class CommandWriter {
public:
    CommandWriter(uint64_t maxRecords, uint64_t maxMoves, NoteBook& notes);

    // `execute_penselect pen`; pen 0..16.
    void SelectPen(int32_t pen);
    int32_t SelectedPen() const { return pen_; }  // -1 before the first selection
    // `VectorSpeed s1 .. s16`, thousandths of the Y axis maximum speed.
    void SpeedTable(const std::array<int32_t, 16>& thousandths);

    // The plot lowers / raises the pen where it is.
    void PenDown();
    void PenUp();
    // Pen-up move to `to`; nothing when it rounds to where the pen is.
    void Travel(Point to);
    // Pen-down segment, clipped to the window when there is one; travels to `from` first if the pen is
    // elsewhere.
    void Draw(Point from, Point to);
    // IW: pen-down segments are drawn only inside the window (physical units); nullopt switches it off.
    void SetClip(std::optional<Rect> window) { clip_ = window; }

    // Writes the pending dot or pen lift of the end of the plot.
    void Finish();
    // True once the record limit or the move limit is reached: nothing more is written.
    bool Full() const { return full_; }
    bool WorkLimitReached() const { return moves_ > maxMoves_; }

    struct Extent {
        int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;  // plotter units
        bool empty = true;
        void Add(int64_t x, int64_t y);
    };
    const std::string& Text() const { return text_; }
    std::string TakeText() { return std::move(text_); }
    uint64_t Records() const { return records_; }
    const Extent& Drawn() const { return drawn_; }
    const Extent& Travelled() const { return travelled_; }
    double DrawnPu() const { return drawnPu_; }
    double TravelPu() const { return travelPu_; }

private:
    struct GridPoint {
        int64_t x, y;
        bool operator==(const GridPoint&) const = default;
    };
    GridPoint ToGrid(Point p);
    void DrawInside(Point from, Point to);
    void MoveRecord(bool down, int64_t dx, int64_t dy);
    bool Record(std::string_view keyword, int64_t a, int64_t b, bool twoValues);
    bool CountMove();
    void EnsurePen();
    void WritePendingDot();

    uint64_t maxRecords_;
    uint64_t maxMoves_;
    uint64_t moves_ = 0;  // Travel and Draw calls so far
    NoteBook& notes_;
    std::string text_;
    uint64_t records_ = 0;
    bool full_ = false;
    int32_t pen_ = -1;
    GridPoint at_{0, 0};         // where the moves so far have taken the pen, plotter units
    bool down_ = false;          // the pen is down after the records so far
    bool lowerPending_ = false;  // the plot lowered the pen here; not yet written
    bool liftPending_ = false;   // the plot raised the pen here; not yet written
    std::optional<Rect> clip_;
    Extent drawn_, travelled_;
    double drawnPu_ = 0.0, travelPu_ = 0.0;
};

}  // namespace corvanta::hpgl
