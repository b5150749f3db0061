// Pens and speeds: SP to execute_penselect, VS to VectorSpeed tables, the first pen of a plot without SP.
#include <gtest/gtest.h>

#include <sstream>

#include "hpgl_test_util.h"

using corvanta::hpgl::Convert;
using namespace hpgl_test;

namespace {

std::string Table(std::initializer_list<std::pair<int, int>> changes) {
    int v[16];
    for (int& x : v) x = 500;  // the machine's start-up speeds
    for (const auto& [pen, speed] : changes) v[pen - 1] = speed;
    std::ostringstream s;
    s << "VectorSpeed";
    for (int x : v) s << ' ' << x;
    s << '\n';
    return s.str();
}

std::string AllPens(int speed) {
    std::ostringstream s;
    s << "VectorSpeed";
    for (int i = 0; i < 16; ++i) s << ' ' << speed;
    s << '\n';
    return s.str();
}

TEST(HpglPens, SelectionsAndSpeedTables) {
    struct Case {
        const char* plot;
        std::string records;  // after the version record
        const char* note;     // a note the plot must have, or ""
    };
    // VS is in cm/s; the table is in thousandths of 104.14 cm/s (the Y axis maximum, 124968 plotbed units/s).
    const Case cases[] = {
        {"SP2;PD1,0;", "execute_penselect 2\npd_default 1 0\n", ""},
        {"SP;", "execute_penselect 0\n", ""},
        {"SP20;", "execute_penselect 4\n", "pen mapped"},
        {"SP16;SP17;", "execute_penselect 16\nexecute_penselect 1\n", "pen mapped"},
        {"VS36;", AllPens(346), ""},
        {"VS10,3;VS20,5;", Table({{3, 96}}) + Table({{3, 96}, {5, 192}}), ""},
        {"VS200;", AllPens(1000), "speed clamped"},
        {"VS0;", AllPens(1), "speed clamped"},
        {"VS52.07;", "", ""},  // 500 thousandths already: no change, no table
        {"VS10;VS;", AllPens(96) + AllPens(500), ""},
        {"VS10,0;", "", "vs pen"},
        // The machine loads a pen's speed when the pen is selected: a VS for the selected pen selects it again.
        {"SP2;VS10,2;", "execute_penselect 2\n" + Table({{2, 96}}) + "execute_penselect 2\n", "speed reselect"},
        {"SP2;VS10,3;", "execute_penselect 2\n" + Table({{3, 96}}), ""},
        // A plot that moves before any SP gets pen 1 first.
        {"PU100,100;PD200,200;", "execute_penselect 1\npu_default 100 100\npd_default 100 100\n", "pen 1 first"},
        {"VS10;PD5,0;", AllPens(96) + "execute_penselect 1\npd_default 5 0\n", "pen 1 first"},
    };
    for (const Case& k : cases) {
        const auto c = Convert(k.plot);
        EXPECT_EQ(c.commands, "CorvantaCmdVer 1\n" + k.records) << k.plot;
        if (*k.note) {
            EXPECT_EQ(NoteCount(c, k.note), 1u) << k.plot << "\n" << AllNotes(c);
        }
    }
}

TEST(HpglPens, PenSelectionLiftsThePen) {
    // SP lifts the pen: the following coordinates are pen-up moves until PD.
    const auto c = Convert("SP1;PD100,0;SP2;PA200,0;PD300,0;");
    EXPECT_EQ(c.commands,
              "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 100 0\nexecute_penselect 2\n"
              "pu_default 100 0\npd_default 100 0\n");
}

}  // namespace
