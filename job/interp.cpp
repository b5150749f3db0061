// The command interpreter: applies the records of a command file in order,
// then closes the job and builds the status lines.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/fixpt.h"
#include "job/machine.h"

namespace corvanta {

// --- the "%s %d %d" reader ----------------------------------------------------

static bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

static int SkipSpace(CmdReader& in) {
    int c;
    do c = in.get();
    while (c != CmdReader::END && IsSpace(c));
    return c;
}

// "%d": optional sign and decimal digits, wrapping modulo 2^32.  On a
// non-digit the character is pushed back; a sign before it stays consumed,
// as a stream can push back one character only.
bool ReadCmdInt(CmdReader& in, int32_t& value) {
    int c = SkipSpace(in);
    if (c == CmdReader::END) return false;
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = in.get();
    }
    if (c == CmdReader::END || c < '0' || c > '9') {
        if (c != CmdReader::END) in.unget(c);
        return false;
    }
    uint32_t acc = 0;
    while (c != CmdReader::END && c >= '0' && c <= '9') {
        acc = acc * 10u + static_cast<uint32_t>(c - '0');
        c = in.get();
    }
    if (c != CmdReader::END) in.unget(c);
    value = static_cast<int32_t>(negative ? 0u - acc : acc);
    return true;
}

int ReadCmdRecord(CmdReader& in, CmdRecord& rec) {
    rec.fields = 0;
    rec.keywordTooLong = false;
    rec.keyword[0] = '\0';
    int c = SkipSpace(in);
    if (c == CmdReader::END) return 0;
    size_t n = 0;
    while (c != CmdReader::END && !IsSpace(c)) {
        if (n + 1 < CMD_TOKEN_BUF)
            rec.keyword[n++] = static_cast<char>(c);
        else
            rec.keywordTooLong = true;
        c = in.get();
    }
    rec.keyword[n] = '\0';
    if (c != CmdReader::END) in.unget(c);
    rec.fields = 1;
    if (!ReadCmdInt(in, rec.a)) return rec.fields;
    rec.fields = 2;
    if (!ReadCmdInt(in, rec.b)) return rec.fields;
    rec.fields = 3;
    return rec.fields;
}

uint32_t CountCmdRecords(CmdReader& in) {
    uint32_t n = 0;
    CmdRecord rec;
    while (ReadCmdRecord(in, rec) != 0) {
        n += 1;
        int32_t v;
        if (rec.fields == 3 && !std::strcmp(rec.keyword, "VectorSpeed"))
            for (int more = 0; more < 14 && ReadCmdInt(in, v); ++more) {
            }
    }
    return n;
}

// The record that ends the job, with the line of the text it starts on (the
// first non-blank at or after `from`) as written.
static EndedAt RecordAt(std::string_view text, size_t from, uint32_t record, const char* recordText) {
    constexpr size_t LINE_SHOWN = 200;
    while (from < text.size() && IsSpace(static_cast<unsigned char>(text[from]))) ++from;
    from = std::min(from, text.size());
    const size_t lineStart = text.rfind('\n', from == 0 ? 0 : from - 1);
    const size_t begin = lineStart == std::string_view::npos || from == 0 ? 0 : lineStart + 1;
    size_t end = text.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = text.size();
    const auto line =
        static_cast<uint32_t>(1 + std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(begin), '\n'));
    return EndedAt{record, recordText, line, std::string(text.substr(begin, std::min(end - begin, LINE_SHOWN)))};
}

// --- record handlers ----------------------------------------------------------

void Machine::VersionCheck(int32_t v) {
    if (v != 1) throw JobAbort{"VersionMisMatch", ""};
}

void Machine::PenMove(bool down, int32_t a, int32_t b) {
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

void Machine::ToPclMode() {
    if (LanguageMode == LANGUAGE_HPGL) {
        HandleHpglToPclPosition();
        LanguageMode = LANGUAGE_PCL;
    }
}

// --- keyword dispatch --------------------------------------------------------

namespace {

enum class Keyword : uint8_t {
    CorvantaCmdVer,
    RasterDPI,
    RasterUnit,
    RasterBandingFree,
    RasterFiringType,
    RasterSpeedX,
    RasterSpeedY,
    ImageWidth,
    ImageHeight,
    RasterPower,
    RasterAccelEngrave,
    RasterBuEngrave,
    SetStartRasterGraphics,
    SetEndRasterGraphics,
    ToHpglMode,
    ExecutePenselect,
    ToPclMode,
    RasterLineOut,
    PdDefault,
    PuDefault,
    SetHorizontalPositionPCL,
    SetVerticalPositionPCL,
    VectorSpeed,
};

struct KeywordEntry {
    std::string_view name;
    Keyword id;
};

// The keywords of one-value and of two-value records, the frequent ones first.
constexpr KeywordEntry ONE_VALUE_KEYWORDS[] = {
    {"RasterLineOut", Keyword::RasterLineOut},
    {"execute_penselect", Keyword::ExecutePenselect},
    {"CorvantaCmdVer", Keyword::CorvantaCmdVer},
    {"RasterDPI", Keyword::RasterDPI},
    {"RasterUnit", Keyword::RasterUnit},
    {"RasterBandingFree", Keyword::RasterBandingFree},
    {"RasterFiringType", Keyword::RasterFiringType},
    {"RasterSpeedX", Keyword::RasterSpeedX},
    {"RasterSpeedY", Keyword::RasterSpeedY},
    {"ImageWidth", Keyword::ImageWidth},
    {"ImageHeight", Keyword::ImageHeight},
    {"RasterPower", Keyword::RasterPower},
    {"RasterAccelEngrave", Keyword::RasterAccelEngrave},
    {"RasterBuEngrave", Keyword::RasterBuEngrave},
    {"SetStartRasterGraphics", Keyword::SetStartRasterGraphics},
    {"SetEndRasterGraphics", Keyword::SetEndRasterGraphics},
    {"ToHpglMode", Keyword::ToHpglMode},
    {"ToPclMode", Keyword::ToPclMode},
};
constexpr KeywordEntry TWO_VALUE_KEYWORDS[] = {
    {"pd_default", Keyword::PdDefault},
    {"pu_default", Keyword::PuDefault},
    {"SetHorizontalPositionPCL", Keyword::SetHorizontalPositionPCL},
    {"SetVerticalPositionPCL", Keyword::SetVerticalPositionPCL},
    {"VectorSpeed", Keyword::VectorSpeed},
};

// The entry of `kw` in a table, or null. The keyword is a C string (it ends
// at its first NUL, as the record reader stores it); two names are compared
// only when their lengths and first bytes agree.
template <size_t N>
const KeywordEntry* FindKeyword(const KeywordEntry (&table)[N], const char* kw) {
    const std::string_view text(kw);
    if (text.empty()) return nullptr;
    for (const KeywordEntry& e : table)
        if (e.name.size() == text.size() && e.name[0] == text[0] && e.name == text) return &e;
    return nullptr;
}

}  // namespace

// One-value records; false when the keyword is not in the table.
bool Machine::ApplyOneValue(const char* kw, int32_t v) {
    const KeywordEntry* e = FindKeyword(ONE_VALUE_KEYWORDS, kw);
    if (e == nullptr) return false;
    CurrentFileRec& cf = *ptCurrentFile;
    switch (e->id) {
        case Keyword::CorvantaCmdVer: VersionCheck(v); break;
        case Keyword::RasterDPI: cf.RasterDPI = static_cast<uint16_t>(v); break;
        case Keyword::RasterUnit: cf.RasterUnit = static_cast<uint16_t>(v); break;
        case Keyword::RasterBandingFree: cf.RasterBandingFree = static_cast<uint8_t>(v); break;
        case Keyword::RasterFiringType: cf.RasterFiringType = static_cast<uint16_t>(v); break;
        case Keyword::RasterSpeedX: cf.RasterSpeedX = static_cast<uint16_t>(v); break;
        case Keyword::RasterSpeedY: cf.RasterSpeedY = static_cast<uint16_t>(v); break;
        case Keyword::ImageWidth: cf.ImageWidth = v; break;
        case Keyword::ImageHeight: cf.ImageHeight = v; break;
        case Keyword::RasterPower: cf.RasterPower = static_cast<uint16_t>(v); break;
        case Keyword::RasterAccelEngrave: cf.RasterAccelEngrave = static_cast<uint8_t>(v); break;
        case Keyword::RasterBuEngrave: cf.RasterBuEngrave = static_cast<uint8_t>(v); break;
        case Keyword::SetStartRasterGraphics: HandleStartRasterGraphics(); break;
        case Keyword::SetEndRasterGraphics: HandleEndRasterGraphics(); break;
        case Keyword::ToHpglMode: HandleToHpglMode(); break;
        case Keyword::ExecutePenselect:
            PenSelections += 1;
            execute_penselect(v);
            break;
        case Keyword::ToPclMode: ToPclMode(); break;
        case Keyword::RasterLineOut:
            RasterLinesOut += 1;
            HandleRasterLineOut();
            break;
        default: return false;
    }
    return true;
}

// Two-value records; false when the keyword is not in the table.
bool Machine::ApplyTwoValue(const char* kw, int32_t a, int32_t b, CmdReader& in) {
    const KeywordEntry* e = FindKeyword(TWO_VALUE_KEYWORDS, kw);
    if (e == nullptr) return false;
    CurrentFileRec& cf = *ptCurrentFile;
    switch (e->id) {
        case Keyword::PdDefault: PenMove(true, a, b); break;
        case Keyword::PuDefault: PenMove(false, a, b); break;
        case Keyword::SetHorizontalPositionPCL:
            cf.ImageAbsPosFlag = static_cast<int8_t>(a);
            cf.ImageOffsetX = b;
            break;
        case Keyword::SetVerticalPositionPCL:
            cf.ImageAbsPosFlag = static_cast<int8_t>(a);
            cf.ImageOffsetY = b;
            break;
        case Keyword::VectorSpeed:
            cf.VectorSpeed[1] = static_cast<uint16_t>(a);
            cf.VectorSpeed[2] = static_cast<uint16_t>(b);
            for (int pen = 3; pen <= PEN_MAX; ++pen) {
                int32_t v;
                if (ReadCmdInt(in, v)) cf.VectorSpeed[pen] = static_cast<uint16_t>(v);
            }
            break;
        default: return false;
    }
    return true;
}

// --- the job -------------------------------------------------------------------

static uint32_t HostMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The record as "%.60s %d %d" prints it (as many values as were read), built
// without a format: it is made for every record and read only by failure
// messages.  At most 60 + 2 x 12 characters, well inside the buffer.
void Machine::RecordText(const CmdRecord& rec) {
    constexpr size_t KEYWORD_SHOWN = 60;
    static_assert(KEYWORD_SHOWN + 2 * 12 < RECORD_TEXT_LEN);
    char* out = CurRecordText;
    char* const end = CurRecordText + RECORD_TEXT_LEN - 1;
    const void* nul = std::memchr(rec.keyword, '\0', KEYWORD_SHOWN);
    const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - rec.keyword) : KEYWORD_SHOWN;
    std::memcpy(out, rec.keyword, n);
    out += n;
    const int32_t values[2] = {rec.a, rec.b};
    for (int i = 0; i + 1 < rec.fields && i < 2; ++i) {
        *out++ = ' ';
        out = std::to_chars(out, end, values[i]).ptr;
    }
    *out = '\0';
}

int Machine::CorvantaCmdInterpreter(std::string_view commands) {
    const uint32_t runStart = HostMs();
    if (commands.substr(0, UTF8_BOM.size()) == UTF8_BOM) commands.remove_prefix(UTF8_BOM.size());
    CmdReader in(commands);
    StatusLines.clear();
    EndedEarly.reset();
    FailedAt.reset();
    try {
        CurRecordNo = 0;
        std::snprintf(CurRecordText, RECORD_TEXT_LEN, "%s", "(start of job)");
        srvo_off_to_on();
        CmdRecord rec;
        for (;;) {
            const size_t recordFrom = in.pos();
            const int fields = ReadCmdRecord(in, rec);
            if (fields == 0) break;
            CurRecordNo += 1;
            RecordText(rec);
            if (Explaining) AppliedRecords.push_back({CurRecordNo, rec.keyword, IsrTick.load()});
            const bool known =
                fields >= 2 && !rec.keywordTooLong &&
                (fields == 2 ? ApplyOneValue(rec.keyword, rec.a) : ApplyTwoValue(rec.keyword, rec.a, rec.b, in));
            if (!known) {
                if (Explaining) AppliedRecords.pop_back();
                EndedEarly = RecordAt(commands, recordFrom, CurRecordNo, CurRecordText);
                break;
            }
        }
        RecordsInText = CurRecordNo + CountCmdRecords(in);
        WaitServoIdle();
        JobTimeTick();
        if (DbgOn(PbdFun)) Trace("srvo_on_to_off()\n\r");
        if (DbgOn(SvoVdbCmd)) Con("    srvo_on_to_off();\n\r");
        pipeflag = 0;
    } catch (const JobAbort& abort) {
        StatusLines = {"CVQX_Error", abort.reason};
        if (!FailedAt) FailedAt = EndedAt{CurRecordNo, CurRecordText, 0, {}};
        if (RecordsInText == 0) RecordsInText = CurRecordNo + CountCmdRecords(in);
        FailureMessage = abort.message;
        if (!abort.message.empty()) Con("%s\n\r", abort.message.c_str());
        return 0;
    }

    JobTimeFigures f = JobTimeOf(JobStartTick, JobEndTick);
    Con("\n\rJob Run Time: %d:%d\n\r", static_cast<int32_t>(f.minutes), static_cast<int32_t>(f.seconds));
    char model[64], ms[16], app[48], job[48];
    std::snprintf(model, sizeof model, "%s %s", CorvantaModel.tag, VersionString());
    std::snprintf(ms, sizeof ms, "%d", static_cast<int32_t>(f.ms));
    std::snprintf(app, sizeof app, "APP Run Time %dms", static_cast<int32_t>(HostMs() - runStart));
    std::snprintf(job, sizeof job, "Job Run Time %d:%d", static_cast<int32_t>(f.minutes),
                  static_cast<int32_t>(f.seconds));
    StatusLines = {"CVQX_OK", model, ms, app, job};
    return 1;
}

}  // namespace corvanta
