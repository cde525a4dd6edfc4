#include "platform/testing/fake_platform.h"

#include "platform/testing/fake_calls.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace fake {

namespace {

Platform* g_state = nullptr;

struct OpInfo {
    const char* name;
    bool canFail;
};

constexpr bool FAILS = true;
constexpr bool NEVER_FAILS = false;

// In the order of Op.
constexpr OpInfo OPS[OP_COUNT] = {
#define PLATFORM_OPERATION(result, name, parameters, failure) {#name, failure},
#include "platform/platform_operations.h"
#undef PLATFORM_OPERATION
};

[[noreturn]] void Misuse(const char* what, const std::string& name) {
    fprintf(stderr, "fake platform: %s '%s'\n", what, name.c_str());
    fflush(stderr);
    abort();
}

void Phrase(std::string& out, size_t n, const char* one, const char* many) {
    if (n == 0) return;
    if (!out.empty()) out += ", ";
    out += std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

const char* Name(Op op) {
    return OPS[Index(op)].name;
}

Op OpNamed(const std::string& name) {
    for (size_t i = 0; i < OP_COUNT; ++i)
        if (name == OPS[i].name) return static_cast<Op>(i);
    Misuse("no platform operation is named", name);
}

bool CanFail(Op op) {
    return OPS[Index(op)].canFail;
}

Platform& State() {
    if (g_state == nullptr) g_state = new Platform();
    return *g_state;
}

void Reset() {
    if (g_state != nullptr)
        for (auto& block : g_state->liveBlocks)
            free(block.first);
    delete g_state;
    g_state = new Platform();
}

void ForgetRun() {
    Platform& s = State();
    for (auto& block : s.liveBlocks)
        free(block.first);
    s.liveBlocks.clear();
    s.allocationSizes.clear();
    s.calls.clear();
    for (size_t i = 0; i < OP_COUNT; ++i) {
        s.counts[i] = 0;
        s.faults[i] = {};
    }
    s.fired = 0;
    s.openHandles.clear();
    s.openFinds.clear();
    s.openKeys.clear();
    s.clipboardOpenDepth = 0;
    s.clipboardLockDepth = 0;
    s.releasesOfNothing = 0;
    s.callsOnNoHeap = 0;
    s.messageBoxes.clear();
    s.systemBoxes = 0;
    s.errorModeKept = ~0u;
    s.written.clear();
}

void FailCalls(Op op, int first, int last) {
    if (!CanFail(op)) Misuse("this operation cannot fail:", Name(op));
    if (first < 1 || last < first) Misuse("no call to fail of", Name(op));
    State().faults[Index(op)] = {static_cast<size_t>(first), static_cast<size_t>(last)};
}

void FailNth(Op op, int nth, bool fromThenOn) {
    if (!CanFail(op)) Misuse("this operation cannot fail:", Name(op));
    if (nth < 1) Misuse("no call to fail of", Name(op));
    State().faults[Index(op)] = {static_cast<size_t>(nth),
                                 fromThenOn ? static_cast<size_t>(-1) : static_cast<size_t>(nth)};
}

void FailNth(const std::string& op, int nth, bool fromThenOn) {
    FailNth(OpNamed(op), nth, fromThenOn);
}

std::vector<intptr_t> Args(const Call& call) {
    return std::vector<intptr_t>(call.args, call.args + call.argCount);
}

size_t Fired() {
    return State().fired;
}

size_t Count(Op op) {
    return State().counts[Index(op)];
}

size_t Count(const std::string& op) {
    return Count(OpNamed(op));
}

std::vector<std::string> Ops(const std::vector<std::string>& only) {
    bool wanted[OP_COUNT] = {};
    for (const std::string& name : only)
        wanted[Index(OpNamed(name))] = true;
    std::vector<std::string> ops;
    for (const Call& call : State().calls)
        if (only.empty() || wanted[Index(call.op)]) ops.push_back(Name(call.op));
    return ops;
}

std::string StillOpen() {
    const Platform& s = State();
    std::string out;
    Phrase(out, s.liveBlocks.size(), "heap block", "heap blocks");
    Phrase(out, s.openHandles.size(), "file handle", "file handles");
    Phrase(out, s.openFinds.size(), "find handle", "find handles");
    Phrase(out, s.openKeys.size(), "registry key", "registry keys");
    Phrase(out, static_cast<size_t>(std::max(s.clipboardOpenDepth, 0)), "clipboard open",
           "clipboard opens");
    Phrase(out, static_cast<size_t>(std::max(s.clipboardLockDepth, 0)), "clipboard lock",
           "clipboard locks");
    Phrase(out, static_cast<size_t>(s.releasesOfNothing), "release of nothing open",
           "releases of nothing open");
    Phrase(out, static_cast<size_t>(s.callsOnNoHeap), "heap call on no heap",
           "heap calls on no heap");
    return out;
}

} // namespace fake
