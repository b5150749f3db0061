// The command reader: records read with the pattern "%s %d %d" from the text
// of a command file.
//
// Grammar: whitespace-separated tokens; the number of fields read (1..3)
// selects the keyword table.  Numbers out of the 32-bit range are taken
// modulo 2^32.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvanta {

// A character stream over the command text with one character of push-back,
// as a C stream has.
class CmdReader {
public:
    explicit CmdReader(std::string_view text) : text_(text) {}
    static constexpr int END = -1;
    int get() { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_++]) : END; }
    void unget(int c) {
        if (c != END && pos_ > 0) --pos_;
    }
    size_t pos() const { return pos_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

constexpr size_t CMD_TOKEN_BUF = 260;  // read buffer of a keyword, terminator included

// One record read with "%s %d %d".  fields: 0 = nothing read (end of text),
// 1 = keyword only, 2 = keyword and a, 3 = keyword, a and b.
struct CmdRecord {
    int fields = 0;
    char keyword[CMD_TOKEN_BUF] = {};
    bool keywordTooLong = false;  // longer than the buffer: matches no keyword
    int32_t a = 0, b = 0;
};
int ReadCmdRecord(CmdReader& in, CmdRecord& rec);
bool ReadCmdInt(CmdReader& in, int32_t& value);  // one "%d"
// Reads the records left in `in` as the interpreter would (a VectorSpeed
// record with two values takes its fourteen further numbers) and counts them.
uint32_t CountCmdRecords(CmdReader& in);

// The UTF-8 byte-order mark some editors put before the first keyword.
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

}  // namespace corvanta
