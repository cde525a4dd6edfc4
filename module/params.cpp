#include "module/params.h"

#include "module/text.h"
#include "platform/platform.h"

const char16_t* NextParam(const char16_t* p) {
    return p + TextLength(p) + 1;
}

intptr_t AskHost(HostInfo* host, int32_t request, void* argument) {
    return host->callback(host, request, argument);
}

void ShowUsage(HostInfo* host, const char16_t* text) {
    if (AskHost(host, HOSTREQ_MESSAGE, const_cast<char16_t*>(text)) == HOSTANSWER_DONE) return;
    os::MessageBoxW(nullptr, text, nullptr, os::MB_OK);
}

int32_t FailWithUsage(HostInfo* host, const char16_t* usage) {
    ShowUsage(host, usage);
    return RESULT_FAILED;
}

void DeliverResult(HostInfo* host, ModuleCall* call, const char16_t* text) {
    DeliverResultOfLength(host, call, text, TextLength(text));
}

void DeliverResultOfLength(HostInfo* host, ModuleCall* call, const char16_t* text, size_t length) {
    size_t n = length;
    if (n > RESULT_TEXT_LIMIT) {
        if (AskHost(host, HOSTREQ_LONGRESULT, const_cast<char16_t*>(text)) == HOSTANSWER_DONE) {
            call->resultBuffer[0] = 0;
            return;
        }
        n = RESULT_TEXT_LIMIT;
    }
    CopyUnits(call->resultBuffer, text, n);
}

namespace {

// A slice too long for the result buffer: offered to the host as a heap
// copy. Out of line, so that a short slice's delivery is a copy and no more.
__attribute__((noinline)) void DeliverLongSlice(HostInfo* host, ModuleCall* call,
                                                const char16_t* start, size_t n) {
    os::HANDLE heap = os::GetProcessHeap();
    char16_t* copy = nullptr;
    if (heap != nullptr)
        copy = static_cast<char16_t*>(os::HeapAlloc(heap, 0, (n + 1) * sizeof(char16_t)));
    if (copy != nullptr) {
        CopyUnits(copy, start, n);
        intptr_t answer = AskHost(host, HOSTREQ_LONGRESULT, copy);
        os::HeapFree(heap, 0, copy);
        if (answer == HOSTANSWER_DONE) return;
    }
    CopyUnits(call->resultBuffer, start, RESULT_TEXT_LIMIT);
}

} // namespace

void DeliverSlice(HostInfo* host, ModuleCall* call, const char16_t* start, size_t n) {
    if (n > RESULT_TEXT_LIMIT) {
        DeliverLongSlice(host, call, start, n);
        return;
    }
    CopyUnits(call->resultBuffer, start, n);
}
