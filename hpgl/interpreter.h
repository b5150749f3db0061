// Executes the instructions of a plot: keeps the plotter's state (position, pen, frame, label settings,
// polygon buffer) and hands the resulting strokes and fills to the page builder.  The instructions are spread over
// interpreter.cpp (dispatch, moves, set-up, pens), interpreter_figures.cpp and interpreter_labels.cpp.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hpgl/frame.h"
#include "hpgl/hpgl.h"
#include "hpgl/label.h"
#include "hpgl/notes.h"
#include "hpgl/page_builder.h"
#include "hpgl/scanner.h"

namespace corvanta::hpgl {

// An instruction's parameter used as an integer: rounded; nullopt when it is not finite or beyond +-1e9.
std::optional<int32_t> Integer(double v);

// Polygon mode keeps at most this many vertices.
inline constexpr std::size_t kMaxPolygonVertices = 1'000'000;

class Interpreter {
public:
    Interpreter(std::string_view plot, const Options& options, NoteBook& notes);
    // Reads the whole plot (or up to the point limit) into the page.
    void Run();
    PageBuilder& Builder() { return out_; }
    uint64_t Instructions() const { return instructions_; }

private:
    struct PolygonVertex {
        Point at;   // frame units
        bool down;  // the edge to this vertex is drawn (the pen was down when it was defined)
    };

    void Execute(const Mnemonic& m);
    bool ExecuteLabelInstruction(const Mnemonic& m);
    void Defaults(bool initialise);  // IN (true) / DF (false)

    // Moves.  Points are frame units.
    void Segment(Point from, Point to, bool down);
    void MoveTo(Point to);  // with the current pen, symbol mode included
    void Plot(const std::vector<double>& p, bool relative);
    void SetPen(bool down);
    void Chords(const std::vector<Point>& points, bool down);
    void Outline(const std::vector<Point>& closedPath);
    Point Phys(Point frame) const { return frame_.ToPhysical(frame); }
    Point User(Point frame) const { return frame_.FrameToUser(frame); }
    // Points computed in user units (arcs, circles, wedges) mapped to frame units, in place.
    void ToFrame(std::vector<Point>& points) const;
    // The chords of an arc in user units, about `center` from `start`; `chord` as the instruction gives it.
    std::vector<Point> UserArc(Point center, Point start, double sweepDeg, std::optional<double> chord);
    void FillRing(const std::vector<Point>& frameRing, design::FillRegion::Rule rule);

    // Instructions with more to them than a line or two.  Arc and ThreePointArc take user units.
    void Arc(Point center, double sweepDeg, std::optional<double> chord);
    void ThreePointArc(Point through, Point end, std::optional<double> chord);
    void Circle(const std::vector<double>& p);
    void Wedge(const std::vector<double>& p, bool fill);
    void Rectangle(const std::vector<double>& p, bool relative, bool fill);
    void Bezier(const std::vector<double>& p, bool relative);
    void PolygonMode(const std::vector<double>& p);
    void EdgePolygon();
    void FillPolygon(const std::vector<double>& p);
    void CloseSubpolygon();
    void PolylineEncoded();
    void Label(std::string_view text);
    void DrawStroke(const std::vector<Point>& stroke);  // one pen-down polyline, reached with the pen up
    void CharacterPlot(const std::vector<double>& p);
    void Scale(const std::vector<double>& p);
    void InputP1P2(const std::vector<double>& p, bool relative);
    void InputWindow(const std::vector<double>& p);
    void Rotate(const std::vector<double>& p);
    void SelectPen(const std::vector<double>& p);
    void VelocitySelect(const std::vector<double>& p);
    void Tick(bool xTick);
    void DefineTerminator();
    LabelStyle CurrentLabelStyle() const;
    void Malformed(const Mnemonic& m, const char* what);
    void Ignored(const Mnemonic& m);

    Options options_;
    Scanner scanner_;
    NoteBook& notes_;
    PageBuilder out_;
    Frame frame_;
    uint64_t instructions_ = 0;

    Point pos_;                    // current position, frame units
    Point carriageReturn_;         // where CR in a label returns to, frame units
    bool penDown_ = false;         // the plot's pen state (PU / PD)
    bool relative_ = false;        // PR rather than PA
    bool chordTolerance_ = false;  // CT 1: chord parameters are distances, not angles

    // Labels.
    unsigned char terminator_ = 3;          // DT, ETX by default
    bool printTerminator_ = false;          // DT t,0
    bool relativeSize_ = false;             // SR rather than SI
    double sizeW_ = 0.187, sizeH_ = 0.269;  // SI: cm; SR: per cent of P2-P1
    bool relativeDirection_ = false;        // DR rather than DI
    double run_ = 1.0, rise_ = 0.0;         // DI / DR: direction of labels
    double slant_ = 0.0, extraSpace_ = 0.0, extraLine_ = 0.0;
    int32_t labelOrigin_ = 1;
    std::optional<unsigned char> symbol_;  // SM
    std::string bufferedLabel_;            // BL

    // Polygon mode (PM): subpolygons of vertices, the first vertex of each reached with the pen up.
    bool polygonMode_ = false;
    std::vector<std::vector<PolygonVertex>> polygon_;
    std::size_t polygonVertices_ = 0;

    double tickPlus_ = 0.5, tickMinus_ = 0.5;  // TL: per cent of P2-P1
};

}  // namespace corvanta::hpgl
