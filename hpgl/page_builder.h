// Collects the plot's pen-down strokes and fills into a design page.
//
// Moves come as physical positions (doubles, plotter units of 1/1016 in from plotter 0,0, y up the bed).
// Each position is rounded to whole plotter units first, and a stroke's points are those rounded positions, so
// the page says exactly what the machine will be sent.  Strokes become the page's cut paths: a path ends where
// the plot lifts the pen, moves with it up or selects another pen.
//
// Pen state.  The plot raises and lowers the pen without moving (PU; PD;):
//   - a pen lowered and raised again without moving is a dot, a path of one point;
//   - a pen raised and then drawing again from the same place starts a new path there.
//
// The page is the bed seen from the PCL origin (see design/writer.h): plotter 0,0 lies at page
// (-2 mm, 466 mm), so the writer puts every stroke back where the plot put it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "design/design.h"
#include "hpgl/geometry.h"
#include "hpgl/notes.h"

namespace corvanta::hpgl {

struct Rect {
    double x0, y0, x1, y1;  // physical plotter units, x0 <= x1, y0 <= y1
};

class PageBuilder {
public:
    // maxPoints: points kept on the page before it is full; maxMoves: moves computed before the work stops.
    PageBuilder(uint64_t maxPoints, uint64_t maxMoves, NoteBook& notes);

    // SP: the pen of the strokes that follow (0..16); the pen is lifted.
    void SelectPen(int32_t pen);
    int32_t SelectedPen() const { return pen_; }  // -1 before the first selection
    // VS: the cutting speed the plot states for pen 1..16, mm/s (0: none).
    void PenSpeed(int32_t pen, double mmPerS);

    // The plot lowers / raises the pen where it is.
    void PenDown();
    void PenUp();
    // Pen-up move to `to`.
    void Travel(Point to);
    // Pen-down segment, clipped to the window when there is one; travels to `from` first if the pen is
    // elsewhere.
    void Draw(Point from, Point to);
    // IW: pen-down segments are drawn only inside the window (physical units); nullopt switches it off.
    void SetClip(std::optional<Rect> window) { clip_ = window; }
    // A filled shape of closed rings (physical units), engraved with the current pen.
    void Fill(const std::vector<std::vector<Point>>& rings, design::FillRegion::Rule rule);

    // Ends the last stroke; a pen lowered and not yet raised is a dot.
    void Finish();
    // True once the point limit or the move limit is reached: nothing more is kept.
    bool Full() const { return full_; }
    bool WorkLimitReached() const { return moves_ > maxMoves_; }

    design::Page& Page() { return page_; }

private:
    struct GridPoint {
        int64_t x, y;
        bool operator==(const GridPoint&) const = default;
    };
    GridPoint ToGrid(Point p);
    design::Point PagePoint(double x, double y) const;
    void DrawInside(Point from, Point to);
    void StrokeTo(GridPoint to);
    void EndStroke();
    bool CountMove();
    bool CountPoint();
    void EnsurePen();
    void WritePendingDot();

    uint64_t maxPoints_, maxMoves_;
    uint64_t moves_ = 0, points_ = 0;
    NoteBook& notes_;
    design::Page page_;
    bool full_ = false;
    int32_t pen_ = -1;
    GridPoint at_{0, 0};         // where the pen is, plotter units
    bool open_ = false;          // the last path of the page is the stroke in progress
    bool lowerPending_ = false;  // the plot lowered the pen here and has not moved yet
    std::optional<Rect> clip_;
    std::array<bool, 17> cutWith_{};  // pens 0..16 that have cut a path so far
};

}  // namespace corvanta::hpgl
