// Readings of the fake platform's log and texts for the unit tests.
#pragma once

#include "platform/testing/fake_platform.h"

#include <algorithm>
#include <string.h>
#include <string>
#include <vector>

// Argument `arg` of every logged call of `op`, in order.
inline std::vector<intptr_t> ArgOfEach(fake::Op op, size_t arg) {
    std::vector<intptr_t> values;
    for (const fake::Call& k : fake::State().calls)
        if (k.op == op) values.push_back(k.args[arg]);
    return values;
}

// The last logged call of `op`, or null.
inline const fake::Call* LastCall(fake::Op op) {
    const fake::Call* last = nullptr;
    for (const fake::Call& k : fake::State().calls)
        if (k.op == op) last = &k;
    return last;
}

// `text` `times` times over.
inline std::u16string Repeat(const std::u16string& text, size_t times) {
    std::u16string out;
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

// Peeks at standard input fail with `error`.
inline void RefusePeeks(fake::Platform& s, os::DWORD error) {
    s.peekNamedPipe = [error](os::HANDLE, os::DWORD*) {
        fake::State().lastError = error;
        return os::BOOL(0);
    };
}

// Standard input a file or device of `type`, which refuses peeks with
// `peekError`: reads give what is left of the pipe's waiting bytes, then
// nothing (the end of the file).
inline void ReadsToTheEnd(fake::Platform& s, os::DWORD type, os::DWORD peekError) {
    s.fileType = type;
    RefusePeeks(s, peekError);
    s.readFile = [](os::HANDLE, void* buffer, os::DWORD size, os::DWORD* read) {
        std::string& left = fake::State().pipe.waiting;
        *read = static_cast<os::DWORD>(std::min<size_t>(size, left.size()));
        memcpy(buffer, left.data(), *read);
        left.erase(0, *read);
        return os::BOOL(1);
    };
}
