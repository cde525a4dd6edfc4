// What the fake's stand-ins of the platform operations share with its
// bookkeeping: counting and logging a call, the fault check, and the lists of
// things held open. For fake_platform.cpp and fake_operations.cpp alone.
#pragma once

#include "platform/testing/fake_platform.h"

#include <algorithm>
#include <initializer_list>

namespace fake {

inline size_t Index(Op op) {
    return static_cast<size_t>(op);
}

inline intptr_t I(const void* p) {
    return reinterpret_cast<intptr_t>(p);
}
inline intptr_t N(uint64_t n) {
    return static_cast<intptr_t>(n);
}

// Counts and logs one call; true when an injected failure makes it fail.
inline bool Enter(Op op, std::initializer_list<intptr_t> args, const char16_t* text = nullptr) {
    Platform& s = State();
    size_t n = ++s.counts[Index(op)];
    if (op != Op::SetThreadErrorMode) s.errorModeKept &= s.threadErrorMode;
    if (s.logCalls) {
        s.calls.emplace_back();
        Call& call = s.calls.back();
        call.op = op;
        size_t i = 0;
        for (intptr_t a : args)
            call.args[i++] = a;
        call.argCount = static_cast<uint8_t>(i);
        for (; i < sizeof(call.args) / sizeof(call.args[0]); ++i)
            call.args[i] = 0;
        if (text != nullptr) call.text = text;
    }
    const Platform::Fault& f = s.faults[Index(op)];
    if (f.first == 0 || n < f.first || n > f.last) return false;
    ++s.fired;
    return true;
}

// Drops one entry from a list of open things; false when it was not there.
template <typename T> inline bool Release(std::vector<T>& open, T item) {
    auto it = std::find(open.begin(), open.end(), item);
    if (it == open.end()) {
        ++State().releasesOfNothing;
        return false;
    }
    open.erase(it);
    return true;
}

constexpr uintptr_t FAKE_HEAP = 0x4EA9;
constexpr uintptr_t FAKE_KEY = 0x4B45;
constexpr uintptr_t FAKE_CLIPBOARD_MEMORY = 0xC11B;
constexpr os::LONG ERROR_ACCESS_DENIED = 5;
constexpr os::LONG ERROR_INVALID_HANDLE = 6;

inline bool IsProcessHeap(os::HANDLE heap) {
    if (heap == reinterpret_cast<os::HANDLE>(FAKE_HEAP)) return true;
    ++State().callsOnNoHeap;
    return false;
}

} // namespace fake
