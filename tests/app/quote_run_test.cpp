// `corvanta quote` as a shop runs it: every row equals the single run of its
// input, rows in input order on any number of threads, failure rows for
// inputs that cannot be estimated, and exit status 3 when any row failed.
#include <nlohmann/json.hpp>

#include "support/test_support.h"

using namespace corvanta_test;
namespace fs = std::filesystem;

namespace {

const std::string kExamples = CORVANTA_EXAMPLES_DIR;

struct Single {
    std::string status;
    std::string ms;
};

Single SingleRun(const fs::path& jobDir) {
    TempDir t;
    fs::copy_file(jobDir / "Corvanta.cmd", t / "Corvanta.cmd");
    const RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--quiet", t.path.string()}, t.path);
    const auto lines = StatusFileLines(ReadFile(t / "Corvanta.sts"));
    return {lines.empty() ? "" : lines[0], lines.size() > 2 ? lines[2] : ""};
}

TEST(QuoteRun, RowsEqualSingleRunsInInputOrder) {
    TempDir t;
    WriteFile(t / "broken.cmd", "execute_penselect 99\n");
    std::vector<std::string> inputs;
    for (const char* name : {"rectangle", "mixed", "circle", "pen_change"}) inputs.push_back(kExamples + "/" + name);
    inputs.push_back((t / "missing").string());
    inputs.push_back((t / "broken.cmd").string());
    inputs.push_back(kExamples + "/rectangle/Corvanta.cmd");
    for (const char* jobs : {"1", "4"}) {
        std::vector<std::string> args = {"quote", "--format", "json", "--jobs", jobs, "--rate", "36"};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const RunResult r = RunProgram(CORVANTA_XR7_BIN, args, t.path);
        EXPECT_EQ(r.exitCode, 3) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        ASSERT_EQ(j["rows"].size(), inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
            const auto& row = j["rows"][i];
            EXPECT_EQ(row["input"], inputs[i]) << jobs;
            if (i < 4 || i == 6) {
                const Single s = SingleRun(i == 6 ? fs::path(kExamples) / "rectangle" : fs::path(inputs[i]));
                EXPECT_EQ(row["status"], s.status) << inputs[i];
                EXPECT_EQ(std::to_string(row["ms"].get<uint64_t>()), s.ms) << inputs[i];
                // 36 an hour is 1 cent per second.
                EXPECT_NEAR(row["cost"].get<double>(), std::stoul(s.ms) / 100000.0, 0.0051) << inputs[i];
            } else {
                EXPECT_FALSE(row["ok"].get<bool>()) << inputs[i];
            }
        }
        EXPECT_TRUE(j["rows"][4]["ms"].is_null());
        EXPECT_NE(j["rows"][4]["status"].get<std::string>().find("missing"), std::string::npos);
        EXPECT_EQ(j["rows"][5]["status"], "CVQX_Error PenParamError");
    }
}

TEST(QuoteRun, ExitStatusAndBadCommandLines) {
    TempDir t;
    const struct {
        std::vector<std::string> args;
        int exitCode;
    } kCases[] = {
        {{"quote", kExamples + "/rectangle"}, 0},
        {{"quote"}, 2},
        {{"quote", "--format", "xml", kExamples + "/rectangle"}, 2},
        {{"quote", "--model", "k9", kExamples + "/rectangle"}, 2},
        {{"quote", "--copies", "0", kExamples + "/rectangle"}, 2},
    };
    for (const auto& c : kCases) {
        const RunResult r = RunProgram(CORVANTA_XR7_BIN, c.args, t.path);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << ": " << r.err;
    }
}

TEST(QuoteRun, ModelChosenAtRunTime) {
    TempDir t;
    const RunResult r =
        RunProgram(CORVANTA_XR7_BIN, {"quote", "--format", "csv", "--model", "k730", kExamples + "/circle"}, t.path);
    EXPECT_EQ(r.exitCode, 0);
    TempDir s;
    fs::copy_file(fs::path(kExamples) / "circle" / "Corvanta.cmd", s / "Corvanta.cmd");
    RunProgram(CORVANTA_K730_BIN, {"--quiet", s.path.string()}, s.path);
    const auto lines = StatusFileLines(ReadFile(s / "Corvanta.sts"));
    EXPECT_NE(r.out.find(",K730,CVQX_OK," + lines[2] + ","), std::string::npos) << r.out;
}

}  // namespace

namespace {

// The summary shows the cost when the settings give a rate: 3463 ms and 5 min set-up at 60 an hour.
TEST(QuoteRun, SummaryShowsTheCost) {
    TempDir t;
    fs::copy_file(fs::path(kExamples) / "rectangle" / "Corvanta.cmd", t / "Corvanta.cmd");
    WriteFile(t / "s.json", R"({"rate": 60, "currency": "EUR", "setupMinutes": 5})");
    const RunResult r = RunProgram(CORVANTA_XR7_BIN, {"--quiet", "--summary", "--settings", "s.json", "."}, t.path);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Cost: 5.06 EUR"), std::string::npos) << r.out;
}

}  // namespace
