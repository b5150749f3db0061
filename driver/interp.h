// The command interpreter: reads Corvanta.cmd record by record, applies each
// record, and writes Corvanta.sts.
//
// Grammar: whitespace-separated tokens read with the pattern "%s %d %d"; the
// number of fields read (1..3) selects the keyword table.  Numbers out of the
// 32-bit range are taken modulo 2^32.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern uint8_t LanguageMode;    // 1 HPGL, 2 PCL (start)
extern int32_t CmdPenDown;      // the interpreter's pen state: 0 up, 1 down
extern std::string ExeDir;      // directory of both job files
extern std::string PathBuf;     // scratch for file names
extern std::vector<std::string> StatusLines;   // lines written to the status file, without endings

constexpr size_t CMD_TOKEN_BUF = 260;   // read buffer of a keyword, terminator included

// One record read with "%s %d %d".  fields: 0 = nothing read (end of file),
// 1 = keyword only, 2 = keyword and a, 3 = keyword, a and b.
struct CmdRecord {
    int fields = 0;
    char keyword[CMD_TOKEN_BUF] = {};
    bool keywordTooLong = false;   // longer than the buffer: matches no keyword
    int32_t a = 0, b = 0;
};
int ReadCmdRecord(FILE* f, CmdRecord& rec);
bool ReadCmdInt(FILE* f, int32_t& value);   // one "%d"

// Runs the job; returns 1 after writing a success status, 0 otherwise.
int CorvantaCmdInterpreter();
void ResetInterpState();
