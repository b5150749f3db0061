// Quoting: the cost arithmetic and the formats a shop reads or imports (row
// order over threads is checked on the real program).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "quote/quote.h"

using namespace corvanta;
using namespace corvanta::quote;

namespace {

TEST(QuoteCost, Arithmetic) {
    const struct {
        uint32_t ms, copies;
        double rate, setupMin, minimum;
        int64_t cents;
    } kCases[] = {
        {3600000, 1, 60, 0, 0, 6000},  // one hour at 60 an hour
        {1800000, 2, 60, 0, 0, 6000},  // two copies of half an hour
        {0, 1, 60, 15, 0, 1500},       // set-up only: a quarter hour
        {60000, 1, 60, 0, 5, 500},     // one minute costs 1.00, the minimum 5.00 holds
        {60000, 3, 60, 10, 5, 1300},   // 3 min + 10 min set-up = 13.00, above the minimum
        {1, 1, 90, 0, 0, 0},           // 0.000025: rounds to nothing
        {20000, 1, 0.9, 0, 0, 1},      // 0.005 exactly: half a cent rounds up
        {9630, 1, 1000, 0, 0, 268},    // 2.675 (binary 2.67499..) rounds up too
        {3463, 1, 45, 2, 0, 154},      // 0.04329 + 1.5 = 1.54
    };
    for (const auto& c : kCases) {
        CostSettings cost;
        cost.ratePerHour = c.rate;
        cost.setupMinutes = c.setupMin;
        cost.minimumCharge = c.minimum;
        EXPECT_EQ(CostCents(c.ms, c.copies, cost), c.cents) << c.ms << " ms x" << c.copies << " at " << c.rate;
    }
    EXPECT_EQ(CostCents(1000, 1, CostSettings{}), std::nullopt);
}

TEST(QuoteCost, Amounts) {
    EXPECT_EQ(Amount(0), "0.00");
    EXPECT_EQ(Amount(5), "0.05");
    EXPECT_EQ(Amount(123456), "1234.56");
    EXPECT_EQ(Hms(0), "0:00:00");
    EXPECT_EQ(Hms(3661999), "1:01:01");
    EXPECT_EQ(Hms(860000000), "238:53:20");
}

Row FakeRow(size_t i) {
    Row r;
    r.input = "job" + std::to_string(i);
    r.kind = "cmd";
    r.model = "XR7";
    r.status = i % 3 == 2 ? "cannot read" : "CVQX_OK";
    r.ok = i % 3 != 2;
    if (r.ok) {
        Row::Figures f;
        f.ms = static_cast<uint32_t>(1000 * (i + 1));
        f.activityMs[0] = f.ms;
        f.vectors = 1;
        r.figures = f;
    }
    return r;
}

TEST(QuoteRender, CsvColumnsFailedRowsAndTotal) {
    std::vector<Row> rows = {FakeRow(0), FakeRow(2)};
    rows[0].input = "a,\"b\"";
    rows[0].copies = 2;
    CostSettings cost;
    cost.ratePerHour = 3600;
    rows[0].costCents = CostCents(rows[0].figures->ms, 2, cost);
    EXPECT_EQ(Render(rows, Format::Csv, cost),
              "input,kind,model,status,ms,time,cutting_ms,travel_ms,raster_ms,raster_move_ms,end_delay_ms,other_ms,"
              "vectors,raster_lines,pens,copies,cost\n"
              "\"a,\"\"b\"\"\",cmd,XR7,CVQX_OK,1000,0:00:01,1000,0,0,0,0,0,1,0,0,2,2.00\n"
              "job2,cmd,XR7,cannot read,,,,,,,,,,,,1,\n"
              "total,,,,2000,0:00:02,2000,0,0,0,0,0,2,0,0,3,2.00\n");
}

TEST(QuoteRender, JsonAndMarkdownAndTable) {
    const std::vector<Row> rows = {FakeRow(0), FakeRow(1), FakeRow(2)};
    const auto j = nlohmann::json::parse(Render(rows, Format::Json, {}));
    ASSERT_EQ(j["rows"].size(), 3u);
    EXPECT_EQ(j["rows"][1]["ms"], 2000);
    EXPECT_TRUE(j["rows"][2]["ms"].is_null());
    EXPECT_FALSE(j["rows"][2]["ok"].get<bool>());
    EXPECT_EQ(j["total"]["ms"], 3000);
    EXPECT_TRUE(j["total"]["cost"].is_null());

    const std::string md = Render(rows, Format::Markdown, {});
    EXPECT_EQ(md.substr(0, md.find('\n')).find("| input | kind |"), 0u) << md;
    EXPECT_NE(md.find("| total |"), std::string::npos);

    const std::string table = Render(rows, Format::Table, {});
    EXPECT_NE(table.find("job1"), std::string::npos);
    EXPECT_NE(table.find("0:00:03"), std::string::npos) << table;  // the total
    for (size_t at = 0, end; (end = table.find('\n', at)) != std::string::npos; at = end + 1)
        EXPECT_NE(table[end - 1], ' ') << "no trailing blanks";
}

}  // namespace

namespace {}  // namespace
