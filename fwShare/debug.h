// Debug categories and console output.
//
// DebugFlags is a set of 75 named categories, one bit each (bit i = category
// i), stored as three 32-bit words (categories 0-31, 32-63, 64-74).  At
// process start categories 0..4 are set; the process entry clears Event, so no
// trace prints unless the set is changed.  A gated trace starts with the trace
// prefix "T00000 "; dumps, echo lines and ungated messages have no prefix.
// Console lines end in "\n\r" exactly as written; nothing translates them.
#pragma once
#include <cstdint>
#include <string>

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
static_assert(DbgCatCount == 75);

extern uint32_t DebugFlags[3];             // the category set, bit i of word i/32

extern const char* const DbgCatNames[DbgCatCount];

inline bool DbgOn(DbgCat c) { return (DebugFlags[c >> 5] >> (c & 31)) & 1u; }
void DbgSet(DbgCat c);
void DbgClear(DbgCat c);
void DbgReset();                           // back to the start value (categories 0..4)
int DbgFind(const std::string& name);      // category index, or -1

// Console output (standard output).  Con prints as given; Trace prints the
// trace prefix and then the message.
void Con(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Low 32 bits of a pointer, the form the dumps and traces print.
uint32_t PtrBits(const void* p);
