#include "fwShare/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

uint32_t DebugFlags[3] = {0x1Fu, 0u, 0u};

const char* const DbgCatNames[DbgCatCount] = {
    "Always", "Fatal", "Error", "Warning", "Event", "Process", "Detail", "UsbHwTx", "SocketIO", "Echo",
    "Lwip", "LwipL2", "LwipL3", "PrnBlkIo", "PortCmd", "PortCmdIO", "ModBus", "ModBusIO", "PcBoot", "PcBootIO",
    "Broadcast", "SvoMove", "AccDist", "MfsJobEvent", "MfsJobDetail", "MfsJobQueProc", "MfsJobCrcChk",
    "MfsErrBlocked", "MfsCmd", "MfsVar", "MfsECatIo", "DirNavi", "RasterProc", "DbgRasterCrc", "DbgRasterBlk",
    "JobProc", "PbdFun", "SendVdb", "CommGenCrc", "CommTrace", "CommBufSem", "CommBufMonitor", "HostPan",
    "HPanReq", "AckReq", "UsbDbgPkt", "RPiFileIoL1", "RPiFileIoL2", "RPiFileIoL3", "RPiFileIoSem",
    "PhotoCapture", "EnCapture", "EnDelayCapture", "SimuPktLost", "SimuKey", "ShowPclCmdErr",
    "ShowHpglCmdErr", "CorvantaDbg", "ShowVdbVect", "DeltaMove", "RasterMove", "PenSel", "SvoSpeed",
    "CarriagePos", "AngleSmooth", "SvoIsr", "ShowPrnCmd", "SvoVdbCmd", "ShowJobTime", "CmpLogMode",
    "Temp1", "Temp2", "Temp3", "TempOff", "TempOn",
};

void DbgSet(DbgCat c) { DebugFlags[c >> 5] |= 1u << (c & 31); }
void DbgClear(DbgCat c) { DebugFlags[c >> 5] &= ~(1u << (c & 31)); }
void DbgReset() {
    DebugFlags[0] = 0x1Fu;
    DebugFlags[1] = 0u;
    DebugFlags[2] = 0u;
}

int DbgFind(const std::string& name) {
    for (int i = 0; i < DbgCatCount; ++i)
        if (name == DbgCatNames[i]) return i;
    return -1;
}

void Con(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
}

void Trace(const char* fmt, ...) {
    std::printf("%s ", "T00000");
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
}

uint32_t PtrBits(const void* p) {
    uintptr_t v;
    std::memcpy(&v, &p, sizeof v);
    return static_cast<uint32_t>(v);
}
