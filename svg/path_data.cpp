// Path data: moveto, lineto (also horizontal and vertical), cubic and quadratic curves with their smooth forms,
// elliptical arcs and closepath, each absolute (upper case) or relative (lower case).
#include <cctype>

#include "svg/geometry.h"
#include "svg/scan.h"

namespace corvanta::svg {
namespace {

int Arguments(char command) {
    switch (std::toupper(static_cast<unsigned char>(command))) {
        case 'M':
        case 'L':
        case 'T': return 2;
        case 'H':
        case 'V': return 1;
        case 'C': return 6;
        case 'S':
        case 'Q': return 4;
        case 'A': return 7;
        case 'Z': return 0;
        default: return -1;
    }
}

bool ReadArguments(Scanner& scan, char command, int count, double* v) {
    const bool arc = command == 'A' || command == 'a';
    for (int i = 0; i < count; ++i) {
        if (i > 0) scan.SkipCommaSpace();
        if (arc && (i == 3 || i == 4)) {
            bool flag = false;
            if (!scan.Flag(flag)) return false;
            v[i] = flag ? 1 : 0;
        } else if (!scan.Number(v[i])) {
            return false;
        }
    }
    return true;
}

// The pen's state between commands: the previous curve's last control point, for the smooth forms.
struct Pen {
    Vec control;
    char curve = 0;  // 'C' after a cubic, 'Q' after a quadratic, 0 otherwise
};

Vec Reflect(const Pen& pen, char kind, Vec current) {
    if (pen.curve != kind) return current;
    return {2 * current.x - pen.control.x, 2 * current.y - pen.control.y};
}

void Execute(char command, const double* v, Outline& out, Pen& pen) {
    const Vec cur = out.Current();
    const bool relative = std::islower(static_cast<unsigned char>(command));
    const auto at = [&](int i) { return relative ? Vec{cur.x + v[i], cur.y + v[i + 1]} : Vec{v[i], v[i + 1]}; };
    char curve = 0;
    switch (std::toupper(static_cast<unsigned char>(command))) {
        case 'M': out.MoveTo(at(0)); break;
        case 'L': out.LineTo(at(0)); break;
        case 'H': out.LineTo({relative ? cur.x + v[0] : v[0], cur.y}); break;
        case 'V': out.LineTo({cur.x, relative ? cur.y + v[0] : v[0]}); break;
        case 'C':
            pen.control = at(2);
            out.CubicTo(at(0), pen.control, at(4));
            curve = 'C';
            break;
        case 'S': {
            const Vec first = Reflect(pen, 'C', cur);
            pen.control = at(0);
            out.CubicTo(first, pen.control, at(2));
            curve = 'C';
            break;
        }
        case 'Q':
            pen.control = at(0);
            out.QuadTo(pen.control, at(2));
            curve = 'Q';
            break;
        case 'T':
            pen.control = Reflect(pen, 'Q', cur);
            out.QuadTo(pen.control, at(0));
            curve = 'Q';
            break;
        case 'A': out.ArcTo(v[0], v[1], v[2], v[3] != 0, v[4] != 0, at(5)); break;
        default: out.Close(); break;
    }
    pen.curve = curve;
}

}  // namespace

bool ParsePathData(std::string_view data, Outline& out) {
    Scanner scan(data);
    Pen pen;
    char command = 0;
    scan.SkipSpace();
    while (!scan.AtEnd()) {
        const char c = scan.Peek();
        if (std::isalpha(static_cast<unsigned char>(c))) {
            if (Arguments(c) < 0 || (command == 0 && c != 'M' && c != 'm')) return false;
            command = c;
            scan.Advance();
            scan.SkipSpace();
        } else if (command == 0 || Arguments(command) == 0 || !scan.StartsNumber()) {
            return false;  // numbers only repeat a command that takes some
        }
        double v[7] = {};
        if (!ReadArguments(scan, command, Arguments(command), v)) return false;
        Execute(command, v, out, pen);
        if (command == 'M') command = 'L';  // further pairs after a moveto are linetos
        if (command == 'm') command = 'l';
        scan.SkipCommaSpace();
    }
    return true;
}

}  // namespace corvanta::svg
