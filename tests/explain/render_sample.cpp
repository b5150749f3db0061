// Writes the outputs of the sample job (of nothing with --empty, of N random
// segments with --random N) into a directory: sample.svg, sample-summary.txt, sample-progress.csv and
// sample-breakdown.json.  Convert the picture with
//   rsvg-convert -o sample.png sample.svg
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "sample_job.h"

int main(int argc, char** argv) {
    using namespace corvanta::explain;
    std::string dir = ".";
    bool empty = false;
    uint32_t random = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--empty")
            empty = true;
        else if (a == "--random" && i + 1 < argc)
            random = static_cast<uint32_t>(std::stoul(argv[++i]));
        else
            dir = a;
    }
    const JobExplain job = empty ? JobExplain{} : random ? sample::RandomJob(random, 1) : sample::SampleJob();
    const struct {
        const char* name;
        std::string text;
    } files[] = {
        {"sample.svg", Svg(job, "Sample job <cut & engrave>")},
        {"sample-summary.txt", Summary(job)},
        {"sample-progress.csv", ProgressCsv(job)},
        {"sample-breakdown.json", BreakdownJson(job) + "\n"},
    };
    for (const auto& f : files) {
        const std::string path = dir + "/" + f.name;
        std::ofstream out(path, std::ios::binary);
        out << f.text;
        if (!out) {
            std::cerr << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
