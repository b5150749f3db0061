#include "base/debug.h"

namespace corvanta {

const char* const DbgCatNames[DbgCatCount] = {
    "Always",       "Fatal",         "Error",          "Warning",       "Event",          "Process",
    "Detail",       "UsbHwTx",       "SocketIO",       "Echo",          "Lwip",           "LwipL2",
    "LwipL3",       "PrnBlkIo",      "PortCmd",        "PortCmdIO",     "ModBus",         "ModBusIO",
    "PcBoot",       "PcBootIO",      "Broadcast",      "SvoMove",       "AccDist",        "MfsJobEvent",
    "MfsJobDetail", "MfsJobQueProc", "MfsJobCrcChk",   "MfsErrBlocked", "MfsCmd",         "MfsVar",
    "MfsECatIo",    "DirNavi",       "RasterProc",     "DbgRasterCrc",  "DbgRasterBlk",   "JobProc",
    "PbdFun",       "SendVdb",       "CommGenCrc",     "CommTrace",     "CommBufSem",     "CommBufMonitor",
    "HostPan",      "HPanReq",       "AckReq",         "UsbDbgPkt",     "RPiFileIoL1",    "RPiFileIoL2",
    "RPiFileIoL3",  "RPiFileIoSem",  "PhotoCapture",   "EnCapture",     "EnDelayCapture", "SimuPktLost",
    "SimuKey",      "ShowPclCmdErr", "ShowHpglCmdErr", "CorvantaDbg",   "ShowVdbVect",    "DeltaMove",
    "RasterMove",   "PenSel",        "SvoSpeed",       "CarriagePos",   "AngleSmooth",    "SvoIsr",
    "ShowPrnCmd",   "SvoVdbCmd",     "ShowJobTime",    "CmpLogMode",    "Temp1",          "Temp2",
    "Temp3",        "TempOff",       "TempOn",
};

int DbgFind(std::string_view name) {
    for (int i = 0; i < DbgCatCount; ++i)
        if (name == DbgCatNames[i]) return i;
    return -1;
}

}  // namespace corvanta
