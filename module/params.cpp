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

// A value too long for the result buffer, written into a heap block and
// offered to the host; false when the host declined it or the heap had no
// block. Out of line, so that a short value's delivery is a copy and no more.
__attribute__((noinline)) bool OfferedFromHeap(HostInfo* host, const char16_t* source, size_t n,
                                               WriteUnits write) {
    os::HANDLE heap = os::GetProcessHeap();
    if (heap == nullptr) return false;
    auto* value = static_cast<char16_t*>(os::HeapAlloc(heap, 0, (n + 1) * sizeof(char16_t)));
    if (value == nullptr) return false;
    write(value, source, n);
    intptr_t answer = AskHost(host, HOSTREQ_LONGRESULT, value);
    os::HeapFree(heap, 0, value);
    return answer == HOSTANSWER_DONE;
}

} // namespace

void DeliverComputed(HostInfo* host, ModuleCall* call, const char16_t* source, size_t n,
                     WriteUnits write) {
    if (n > RESULT_TEXT_LIMIT) {
        if (OfferedFromHeap(host, source, n, write)) return;
        n = RESULT_TEXT_LIMIT;
    }
    write(call->resultBuffer, source, n);
}

void DeliverSlice(HostInfo* host, ModuleCall* call, const char16_t* start, size_t n) {
    DeliverComputed(host, call, start, n, CopyUnits);
}
