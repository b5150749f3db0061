// Shared-word access between the planning thread and the tick thread.
//
// Every variable or block field that one thread writes while the other may
// read it is declared as Atom<T>.  Each load is an acquire and each store a
// release (plain moves on x86), so a block filled field by field and then
// published through its `cmd` or through SVO_VectPtr is seen whole by the
// other side.  Read-modify-write sequences are a load and a store, not one
// atomic operation: every field has a single writer at a time by design.
//
// Atom<T> is a trivially copyable aggregate, so blocks and globals holding it
// are zero-initialised like plain data and may be cleared with memset.
#pragma once
#include <cstdint>
#include <type_traits>

namespace corvanta {

template <class T>
struct Atom {
    T raw;

    T load() const { return __atomic_load_n(&raw, __ATOMIC_ACQUIRE); }
    void store(T v) { __atomic_store_n(&raw, v, __ATOMIC_RELEASE); }
    // Sequentially consistent access, for the store-then-load handshakes
    // (VdbSendBusy against a tick in progress) that acquire/release cannot order.
    T load_sc() const { return __atomic_load_n(&raw, __ATOMIC_SEQ_CST); }
    void store_sc(T v) { __atomic_store_n(&raw, v, __ATOMIC_SEQ_CST); }
    operator T() const { return load(); }
    Atom& operator=(T v) {
        store(v);
        return *this;
    }
    // Wrapping add/subtract for integral T (two's complement, never signed overflow).
    Atom& operator+=(T v) requires std::is_integral_v<T> {
        using U = std::make_unsigned_t<T>;
        store(static_cast<T>(static_cast<U>(load()) + static_cast<U>(v)));
        return *this;
    }
    Atom& operator-=(T v) requires std::is_integral_v<T> {
        using U = std::make_unsigned_t<T>;
        store(static_cast<T>(static_cast<U>(load()) - static_cast<U>(v)));
        return *this;
    }
};

// How the servo's tick reaches the shared words.  The tick code is written
// once, as templates over one of these:
//  - SharedAccess: through the acquire/release accessors, for a tick that may
//    run beside the planning thread (the threaded schedule);
//  - SoleAccess: as plain memory, for a tick that runs while no other thread
//    touches the machine (the deterministic schedule).  The compiler may then
//    combine the accesses and keep values in registers, which it never does
//    with atomic ones.
struct SharedAccess {
    template <class T>
    static T Get(const Atom<T>& a) {
        return a.load();
    }
    template <class T>
    static void Set(Atom<T>& a, T v) {
        a.store(v);
    }
};
struct SoleAccess {
    template <class T>
    static T Get(const Atom<T>& a) {
        return a.raw;
    }
    template <class T>
    static void Set(Atom<T>& a, T v) {
        a.raw = v;
    }
};

}  // namespace corvanta
