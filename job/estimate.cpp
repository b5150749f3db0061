// The library entry: one estimate on a machine of its own.
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "corvanta/corvanta.h"
#include "job/machine.h"

namespace corvanta {

const char* ModelTag(Model model) { return model == Model::K730 ? ModelK730.tag : ModelXR7.tag; }
// Both forms of the one version, from the build (project(VERSION) in CMakeLists.txt).
const char* VersionString() { return CORVANTA_STATUS_VERSION; }
const char* ProgramVersion() { return CORVANTA_VERSION; }

const std::array<const char*, 7>& ProfileStateNameList() {
    static const std::array<const char*, 7> names = {ProfileStateNames[0], ProfileStateNames[1], ProfileStateNames[2],
                                                     ProfileStateNames[3], ProfileStateNames[4], ProfileStateNames[5],
                                                     ProfileStateNames[6]};
    return names;
}

std::string DebugCategoryNames() {
    std::string s;
    for (int i = 0; i < DbgCatCount; ++i) {
        if (i) s += ",";
        s += DbgCatNames[i];
    }
    return s;
}

int DebugCategoryIndex(std::string_view name) { return DbgFind(name); }

namespace {

// Debug category requests as (category, set) pairs; throws on an unknown name.
std::vector<std::pair<DbgCat, bool>> DebugRequests(const std::vector<std::string>& names) {
    std::vector<std::pair<DbgCat, bool>> out;
    for (const std::string& n : names) {
        std::string_view name = n;
        bool set = true;
        if (!name.empty() && name[0] == '-') {
            set = false;
            name.remove_prefix(1);
        }
        if (name.empty()) continue;
        const int cat = DbgFind(name);
        if (cat < 0) throw std::invalid_argument("unknown debug category \"" + std::string(name) + "\"");
        out.emplace_back(static_cast<DbgCat>(cat), set);
    }
    return out;
}

}  // namespace

std::string EndingText(const Result& r) {
    const auto no = [](uint32_t n) { return std::to_string(n); };
    if (r.failedAt && r.status.size() >= 2)
        return "failed: " + r.status[1] + (r.failedAt->record ? " at record " + no(r.failedAt->record) : "");
    if (r.endedAt) return "partial: ended at record " + no(r.endedAt->record) + " of " + no(r.records);
    if (r.ok && r.records == 0) return "empty: no records";
    return "";
}

Result Estimate(std::string_view commands, const Options& options) {
    const auto debug = DebugRequests(options.debug);
    const auto hostStart = std::chrono::steady_clock::now();
    Console console = options.consoleStream ? Console(options.consoleStream) : Console();
    const bool deterministic = options.schedule == Schedule::Deterministic;
    Machine m(console, options.model == Model::K730 ? ModelK730 : ModelXR7, deterministic);
    m.TickTraceFile = options.traceTicks;
    m.Explaining = options.explain;
    m.JobTickLimit = options.jobTickLimit;
    m.SkipAheadEnabled = options.skipAhead;

    m.Con("Start job working time calculating....\n");
    m.DbgClear(Event);
    for (auto [cat, set] : debug) {
        if (set)
            m.DbgSet(cat);
        else
            m.DbgClear(cat);
    }
    m.InitMachine();
    m.SegStartX = m.SvoPosX;
    m.SegStartY = m.SvoPosY;
    m.SchedStartThreads();
    if (options.runJob) (void)m.CorvantaCmdInterpreter(commands);
    m.SchedStopThreads();

    Result r;
    r.status = m.StatusLines;
    r.ok = !r.status.empty() && r.status[0] == "CVQX_OK";
    r.console = console.text();
    r.endedAt = m.EndedEarly;
    r.failureMessage = m.FailureMessage;
    if (!r.ok && !r.status.empty()) r.failedAt = m.FailedAt;
    r.records = m.RecordsInText;
    const JobTimeFigures t = JobTimeOf(m.JobStartTick, m.JobEndTick);
    r.ticks = t.ticks;
    r.ms = t.ms;
    r.IsrTick = m.IsrTick.load();
    r.JobStartTick = m.JobStartTick;
    r.JobEndTick = m.JobEndTick;
    for (int i = 0; i < PROFILE_STATE_COUNT; ++i) r.PlanCnt[static_cast<size_t>(i)] = m.PlanCnt[i];
    r.VectCnt = m.VectCnt;
    r.SvoPosX = m.SvoPosX;
    r.SvoPosY = m.SvoPosY;
    r.positionx = m.positionx;
    r.positiony = m.positiony;
    r.PclPosX = m.PclPosX;
    r.PclPosY = m.PclPosY;
    r.PclAbsX = m.PclAbsX;
    r.PclAbsY = m.PclAbsY;
    r.schedule = options.schedule;
    r.model = options.model;
    r.ticksRun = m.TicksRun;
    r.ticksSkipped = m.TicksSkipped;
    const auto hostTime = std::chrono::steady_clock::now() - hostStart;
    r.hostMs = static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(hostTime).count());
    if (options.explain) {
        auto e = std::make_shared<explain::JobExplain>(m.BuildExplanation());
        e->hostSeconds = std::chrono::duration<double>(hostTime).count();
        e->ending = EndingText(r);
        e->failed = r.failedAt.has_value();
        r.explanation = std::move(e);
    }
    return r;
}

std::string ReportJson(const Result& r) {
    nlohmann::ordered_json j;
    j["schemaVersion"] = 1;
    j["ok"] = r.ok;
    j["error"] = !r.ok && r.status.size() >= 2 ? nlohmann::ordered_json(r.status[1]) : nullptr;
    j["partial"] = r.endedAt ? nlohmann::ordered_json{{"record", r.endedAt->record}, {"records", r.records}}
                             : nlohmann::ordered_json(nullptr);
    j["status"] = r.status;
    // A failed job has no time: its tick marks are where the failure left them.
    const uint32_t s = r.ms / 1000u;
    char hms[32];
    std::snprintf(hms, sizeof hms, "%u:%02u:%02u", s / 3600u, (s % 3600u) / 60u, s % 60u);
    j["ticks"] = r.ok ? nlohmann::ordered_json(r.ticks) : nullptr;
    j["ms"] = r.ok ? nlohmann::ordered_json(r.ms) : nullptr;
    j["time"] = r.ok ? nlohmann::ordered_json(hms) : nullptr;
    j["IsrTick"] = static_cast<int32_t>(r.IsrTick);
    j["JobStartTick"] = r.JobStartTick;
    j["JobEndTick"] = r.JobEndTick;
    j["PlanCnt"] = r.PlanCnt;
    nlohmann::ordered_json byState;
    for (size_t i = 0; i < r.PlanCnt.size(); ++i) byState[ProfileStateNameList()[i]] = r.PlanCnt[i];
    j["PlanCntByState"] = byState;
    j["VectCnt"] = r.VectCnt;
    j["SvoPosX"] = r.SvoPosX;
    j["SvoPosY"] = r.SvoPosY;
    j["positionx"] = r.positionx;
    j["positiony"] = r.positiony;
    j["PclPosX"] = r.PclPosX;
    j["PclPosY"] = r.PclPosY;
    j["PclAbsX"] = r.PclAbsX;
    j["PclAbsY"] = r.PclAbsY;
    j["schedule"] = r.schedule == Schedule::Deterministic ? "deterministic" : "threaded";
    j["model"] = ModelTag(r.model);
    if (r.explanation) j["breakdown"] = nlohmann::ordered_json::parse(explain::BreakdownJson(*r.explanation));
    if (r.endedAt)
        j["endedAt"] = {{"record", r.endedAt->record}, {"text", r.endedAt->text}};
    else
        j["endedAt"] = nullptr;
    // Record texts may hold any bytes: invalid UTF-8 becomes U+FFFD.
    return j.dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace corvanta
