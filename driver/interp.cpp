#include "driver/interp.h"

#include <chrono>
#include <cstring>

#include "driver/jobtime.h"
#include "driver/schedule.h"
#include "fwShare/debug.h"
#include "fwShare/fixpt.h"
#include "planner/pen.h"
#include "planner/vdb.h"
#include "planner/vector.h"
#include "raster/margin.h"
#include "raster/raster.h"
#include "setup/machine.h"
#include "setup/varreso.h"

uint8_t LanguageMode = 2;
int32_t CmdPenDown;
std::string ExeDir;
std::string PathBuf;
std::vector<std::string> StatusLines;

void ResetInterpState() {
    LanguageMode = 2;
    CmdPenDown = 0;
    StatusLines.clear();
}

// --- the "%s %d %d" reader ----------------------------------------------------

static bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

static int SkipSpace(FILE* f) {
    int c;
    do c = std::fgetc(f);
    while (c != EOF && IsSpace(c));
    return c;
}

// "%d": optional sign and decimal digits, wrapping modulo 2^32.  On a
// non-digit the character is pushed back; a sign before it stays consumed,
// as a stream can push back one character only.
bool ReadCmdInt(FILE* f, int32_t& value) {
    int c = SkipSpace(f);
    if (c == EOF) return false;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::fgetc(f);
    }
    if (c == EOF || c < '0' || c > '9') {
        if (c != EOF) std::ungetc(c, f);
        return false;
    }
    uint32_t acc = 0;
    while (c != EOF && c >= '0' && c <= '9') {
        acc = acc * 10u + static_cast<uint32_t>(c - '0');
        c = std::fgetc(f);
    }
    if (c != EOF) std::ungetc(c, f);
    value = static_cast<int32_t>(negative ? 0u - acc : acc);
    return true;
}

int ReadCmdRecord(FILE* f, CmdRecord& rec) {
    rec.fields = 0;
    rec.keywordTooLong = false;
    rec.keyword[0] = '\0';
    int c = SkipSpace(f);
    if (c == EOF) return 0;
    size_t n = 0;
    while (c != EOF && !IsSpace(c)) {
        if (n + 1 < CMD_TOKEN_BUF)
            rec.keyword[n++] = static_cast<char>(c);
        else
            rec.keywordTooLong = true;
        c = std::fgetc(f);
    }
    rec.keyword[n] = '\0';
    if (c != EOF) std::ungetc(c, f);
    rec.fields = 1;
    if (!ReadCmdInt(f, rec.a)) return rec.fields;
    rec.fields = 2;
    if (!ReadCmdInt(f, rec.b)) return rec.fields;
    rec.fields = 3;
    return rec.fields;
}

// --- record handlers ----------------------------------------------------------

static void VersionCheck(int32_t v) {
    if (v != 1) throw JobAbort{"VersionMisMatch", ""};
}

static void PenMove(bool down, int32_t a, int32_t b) {
    if (down) {
        if (CmdPenDown != 1) {
            pendnout();
            CmdPenDown = 1;
        }
    } else if (CmdPenDown != 0) {
        penupout();
        CmdPenDown = 0;
    }
    if (a != 0 || b != 0) srvo_on_ve(mul_wrap(a, HpglToPbdX), mul_wrap(b, HpglToPbdY));
}

static void ToPclMode() {
    if (LanguageMode == 1) {
        HandleHpglToPclPosition();
        LanguageMode = 2;
    }
}

// One-value records; false when the keyword is not in the table.
static bool ApplyOneValue(const char* kw, int32_t v) {
    CurrentFileRec& cf = *ptCurrentFile;
    if (!std::strcmp(kw, "CorvantaCmdVer")) VersionCheck(v);
    else if (!std::strcmp(kw, "RasterDPI")) cf.RasterDPI = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "RasterUnit")) cf.RasterUnit = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "RasterBandingFree")) cf.RasterBandingFree = static_cast<uint8_t>(v);
    else if (!std::strcmp(kw, "RasterFiringType")) cf.RasterFiringType = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "RasterSpeedX")) cf.RasterSpeedX = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "RasterSpeedY")) cf.RasterSpeedY = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "ImageWidth")) cf.ImageWidth = v;
    else if (!std::strcmp(kw, "ImageHeight")) cf.ImageHeight = v;
    else if (!std::strcmp(kw, "RasterPower")) cf.RasterPower = static_cast<uint16_t>(v);
    else if (!std::strcmp(kw, "RasterAccelEngrave")) cf.RasterAccelEngrave = static_cast<uint8_t>(v);
    else if (!std::strcmp(kw, "RasterBuEngrave")) cf.RasterBuEngrave = static_cast<uint8_t>(v);
    else if (!std::strcmp(kw, "SetStartRasterGraphics")) HandleStartRasterGraphics();
    else if (!std::strcmp(kw, "SetEndRasterGraphics")) HandleEndRasterGraphics();
    else if (!std::strcmp(kw, "ToHpglMode")) HandleToHpglMode();
    else if (!std::strcmp(kw, "execute_penselect")) execute_penselect(v);
    else if (!std::strcmp(kw, "ToPclMode")) ToPclMode();
    else if (!std::strcmp(kw, "RasterLineOut")) HandleRasterLineOut();
    else return false;
    return true;
}

// Two-value records; false when the keyword is not in the table.
static bool ApplyTwoValue(const char* kw, int32_t a, int32_t b, FILE* f) {
    CurrentFileRec& cf = *ptCurrentFile;
    if (!std::strcmp(kw, "pd_default")) PenMove(true, a, b);
    else if (!std::strcmp(kw, "pu_default")) PenMove(false, a, b);
    else if (!std::strcmp(kw, "SetHorizontalPositionPCL")) {
        cf.ImageAbsPosFlag = static_cast<int8_t>(a);
        cf.ImageOffsetX = b;
    } else if (!std::strcmp(kw, "SetVerticalPositionPCL")) {
        cf.ImageAbsPosFlag = static_cast<int8_t>(a);
        cf.ImageOffsetY = b;
    } else if (!std::strcmp(kw, "VectorSpeed")) {
        cf.VectorSpeed[1] = static_cast<uint16_t>(a);
        cf.VectorSpeed[2] = static_cast<uint16_t>(b);
        for (int pen = 3; pen <= 16; ++pen) {
            int32_t v;
            if (ReadCmdInt(f, v)) cf.VectorSpeed[pen] = static_cast<uint16_t>(v);
        }
    } else {
        return false;
    }
    return true;
}

// --- status file ----------------------------------------------------------------

// Each status line ends in the bytes 0x0D 0x0A 0x0D (a "\n\r" written through a
// text stream of the host platform), on every platform.
static void WriteStatus(FILE* sts, const std::vector<std::string>& lines) {
    StatusLines = lines;
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), sts);
        std::fwrite("\x0D\x0A\x0D", 1, 3, sts);
    }
}

static uint32_t HostMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

static void RecordText(const CmdRecord& rec) {
    if (rec.fields >= 3)
        std::snprintf(CurRecordText, RECORD_TEXT_LEN, "%.60s %d %d", rec.keyword, rec.a, rec.b);
    else
        std::snprintf(CurRecordText, RECORD_TEXT_LEN, "%.60s %d", rec.keyword, rec.a);
}

int CorvantaCmdInterpreter() {
    const uint32_t runStart = HostMs();
    PathBuf = ExeDir + "/Corvanta.cmd";
    FILE* cmd = std::fopen(PathBuf.c_str(), "r");
    if (!cmd) return 0;
    PathBuf = ExeDir + "/Corvanta.sts";
    FILE* sts = std::fopen(PathBuf.c_str(), "wb");
    if (!sts) {
        std::fclose(cmd);
        return 0;
    }

    try {
        CurRecordNo = 0;
        std::snprintf(CurRecordText, RECORD_TEXT_LEN, "%s", "(start of job)");
        srvo_off_to_on();
        CmdRecord rec;
        for (;;) {
            int fields = ReadCmdRecord(cmd, rec);
            if (fields < 2) break;
            CurRecordNo += 1;
            RecordText(rec);
            bool known = !rec.keywordTooLong && (fields == 2 ? ApplyOneValue(rec.keyword, rec.a)
                                                             : ApplyTwoValue(rec.keyword, rec.a, rec.b, cmd));
            if (!known) break;
        }
        WaitServoIdle();
        JobTimeTick();
        if (DbgOn(PbdFun)) Trace("srvo_on_to_off()\n\r");
        if (DbgOn(SvoVdbCmd)) Con("    srvo_on_to_off();\n\r");
        pipeflag = 0;
    } catch (const JobAbort& abort) {
        WriteStatus(sts, {"CVQX_Error", abort.reason});
        std::fclose(cmd);
        std::fclose(sts);
        if (!abort.message.empty()) Con("%s\n\r", abort.message.c_str());
        return 0;
    }

    JobTimeFigures f = JobTimeOf(JobStartTick, JobEndTick);
    Con("\n\rJob Run Time: %d:%d\n\r", static_cast<int32_t>(f.minutes), static_cast<int32_t>(f.seconds));
    char model[64], ms[16], app[48], job[48];
    std::snprintf(model, sizeof model, "%s %s", CorvantaModel.tag, "03.10-01");
    std::snprintf(ms, sizeof ms, "%d", static_cast<int32_t>(f.ms));
    std::snprintf(app, sizeof app, "APP Run Time %dms", static_cast<int32_t>(HostMs() - runStart));
    std::snprintf(job, sizeof job, "Job Run Time %d:%d", static_cast<int32_t>(f.minutes),
                  static_cast<int32_t>(f.seconds));
    WriteStatus(sts, {"CVQX_OK", model, ms, app, job});
    std::fclose(cmd);
    std::fclose(sts);
    return 1;
}
