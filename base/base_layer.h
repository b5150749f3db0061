// The lowest layer of the machine context: its debug categories and its
// console.  Every layer above derives from the one below it, so the machine's
// operations read the state they need by its own name, and a layer sees only
// what lies beneath it.
#pragma once
#include <cstdint>
#include <string>

#include "base/console.h"
#include "base/debug.h"

namespace corvanta {

// A job that cannot go on ends with a failure status: the reason word and one
// console line.  Thrown on the planning thread only; the interpreter catches it.
struct JobAbort {
    std::string reason;
    std::string message;  // console line without line ending; empty for none
};
[[noreturn]] void JobFail(const char* reason, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

struct BaseLayer {
    explicit BaseLayer(Console& sink) : console(sink) {}
    BaseLayer(const BaseLayer&) = delete;
    BaseLayer& operator=(const BaseLayer&) = delete;

    Console& console;         // where this machine prints
    DebugFlagSet DebugFlags;  // the debug category set

    bool DbgOn(DbgCat c) const { return DebugFlags.on(c); }
    void DbgSet(DbgCat c) { DebugFlags.set(c); }
    void DbgClear(DbgCat c) { DebugFlags.clear(c); }

    // Con prints as given; Trace prints the trace prefix "T00000 " first.
    void Con(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void Trace(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
};

}  // namespace corvanta
