// Debug categories.
//
// The category set is 75 named categories, one bit each (bit i = category i),
// stored as three 32-bit words (categories 0-31, 32-63, 64-74).  At start-up
// categories 0..4 are set; the process entry clears Event, so no trace prints
// unless the set is changed.
#pragma once
#include <cstdint>
#include <string_view>

namespace corvanta {

// clang-format off
enum DbgCat : int {
    Always, Fatal, Error, Warning, Event, Process, Detail, UsbHwTx, SocketIO, Echo,
    Lwip, LwipL2, LwipL3, PrnBlkIo, PortCmd, PortCmdIO, ModBus, ModBusIO, PcBoot, PcBootIO,
    Broadcast, SvoMove, AccDist, MfsJobEvent, MfsJobDetail, MfsJobQueProc, MfsJobCrcChk,
    MfsErrBlocked, MfsCmd, MfsVar, MfsECatIo, DirNavi, RasterProc, DbgRasterCrc, DbgRasterBlk,
    JobProc, PbdFun, SendVdb, CommGenCrc, CommTrace, CommBufSem, CommBufMonitor, HostPan,
    HPanReq, AckReq, UsbDbgPkt, RPiFileIoL1, RPiFileIoL2, RPiFileIoL3, RPiFileIoSem,
    PhotoCapture, EnCapture, EnDelayCapture, SimuPktLost, SimuKey, ShowPclCmdErr,
    ShowHpglCmdErr, CorvantaDbg, ShowVdbVect, DeltaMove, RasterMove, PenSel, SvoSpeed,
    CarriagePos, AngleSmooth, SvoIsr, ShowPrnCmd, SvoVdbCmd, ShowJobTime, CmpLogMode,
    Temp1, Temp2, Temp3, TempOff, TempOn,
    DbgCatCount
};
// clang-format on
static_assert(DbgCatCount == 75);

constexpr int DBG_WORDS = 3;                 // 32-bit words of the category set
constexpr uint32_t DBG_START_WORD0 = 0x1Fu;  // categories 0..4 set at start-up
constexpr int DBG_WORD_SHIFT = 5;            // category / 32 = word index
constexpr uint32_t DBG_BIT_MASK = 31u;       // category % 32 = bit in the word

extern const char* const DbgCatNames[DbgCatCount];
int DbgFind(std::string_view name);  // category index, or -1

// The set itself: a value type, one per machine.
struct DebugFlagSet {
    uint32_t word[DBG_WORDS] = {DBG_START_WORD0, 0u, 0u};
    bool on(DbgCat c) const { return (word[c >> DBG_WORD_SHIFT] >> (c & DBG_BIT_MASK)) & 1u; }
    void set(DbgCat c) { word[c >> DBG_WORD_SHIFT] |= 1u << (c & DBG_BIT_MASK); }
    void clear(DbgCat c) { word[c >> DBG_WORD_SHIFT] &= ~(1u << (c & DBG_BIT_MASK)); }
};

}  // namespace corvanta
