// The library entry: the same figures as the program, and estimates on
// several threads at once give exactly what they give one after another.
#include <future>
#include <thread>

#include "corvanta/corvanta.h"
#include "support/test_support.h"

using namespace corvanta_test;

namespace {

std::vector<std::string> EightJobs() {
    std::vector<std::string> jobs;
    for (const char* ex : {"rectangle", "circle", "lettering", "pen_change", "mixed"})
        jobs.push_back(ReadFile(std::string(CORVANTA_EXAMPLES_DIR) + "/" + ex + "/Corvanta.cmd"));
    for (const char* ref : {"square", "circle", "raster_small"})
        jobs.push_back(ReadFile(std::string(CORVANTA_GOLDEN_DIR) + "/reference/" + ref + ".cmd"));
    return jobs;
}

// Everything of a result but the host time.
std::string Fingerprint(const corvanta::Result& r) {
    corvanta::Result copy = r;
    copy.hostMs = 0;
    if (copy.status.size() > 3) copy.status[3] = "APP";
    return corvanta::ReportJson(copy) + copy.console;
}

}  // namespace

TEST(Library, MatchesTheReferenceConsoleAndFigures) {
    corvanta::Options opt;
    opt.model = corvanta::Model::K730;
    const auto r = corvanta::Estimate(ReadFile(std::string(CORVANTA_GOLDEN_DIR) + "/reference/square.cmd"), opt);
    EXPECT_EQ(r.console, ReadFile(std::string(CORVANTA_GOLDEN_DIR) + "/reference/square.k730.console.txt"));
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.endedAt.has_value());
    EXPECT_THROW(corvanta::Estimate("", corvanta::Options{.debug = {"NoSuchCategory"}}), std::invalid_argument);
}

// Eight different jobs on four threads, both models, against one after another.
TEST(ConcurrentEstimates, SameResultsAsSequential) {
    const std::vector<std::string> jobs = EightJobs();
    std::vector<std::string> sequential;
    for (size_t i = 0; i < jobs.size(); ++i) {
        corvanta::Options opt;
        opt.model = i % 2 ? corvanta::Model::K730 : corvanta::Model::XR7;
        opt.debug = {"ShowJobTime"};
        sequential.push_back(Fingerprint(corvanta::Estimate(jobs[i], opt)));
    }
    std::vector<std::string> parallel(jobs.size());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (size_t i = static_cast<size_t>(t); i < jobs.size(); i += 4) {
                corvanta::Options opt;
                opt.model = i % 2 ? corvanta::Model::K730 : corvanta::Model::XR7;
                opt.debug = {"ShowJobTime"};
                parallel[i] = Fingerprint(corvanta::Estimate(jobs[i], opt));
            }
        });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(parallel[i], sequential[i]) << "job " << i;
}
