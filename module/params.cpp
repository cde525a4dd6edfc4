#include "module/params.h"

#include "module/text.h"
#include "platform/platform.h"

const char16_t* NextParam(const char16_t* p) {
    return p + TextLength(p) + 1;
}

uint32_t ReadDecimal(const char16_t*& cursor) {
    while (*cursor == u' ')
        ++cursor;
    uint32_t value = 0;
    while (*cursor >= u'0' && *cursor <= u'9') {
        value = value * 10u + static_cast<uint32_t>(*cursor - u'0');
        ++cursor;
    }
    return value;
}

intptr_t AskHost(HostInfo* host, int32_t request, void* argument) {
    return host->callback(host, request, argument);
}

void ShowUsage(HostInfo* host, const char16_t* text) {
    if (AskHost(host, HOSTREQ_MESSAGE, const_cast<char16_t*>(text)) == 1) return;
    os::MessageBoxW(nullptr, text, nullptr, os::MB_OK);
}

void DeliverResult(HostInfo* host, ModuleCall* call, const char16_t* text) {
    DeliverResultOfLength(host, call, text, TextLength(text));
}

void DeliverResultOfLength(HostInfo* host, ModuleCall* call, const char16_t* text, size_t length) {
    size_t n = length;
    if (n > RESULT_TEXT_LIMIT) {
        if (AskHost(host, HOSTREQ_LONGRESULT, const_cast<char16_t*>(text)) == 1) {
            call->resultBuffer[0] = 0;
            return;
        }
        n = RESULT_TEXT_LIMIT;
    }
    CopyUnits(call->resultBuffer, text, n);
}

void DeliverSlice(HostInfo* host, ModuleCall* call, const char16_t* start, size_t n) {
    if (n > RESULT_TEXT_LIMIT) {
        os::HANDLE heap = os::GetProcessHeap();
        char16_t* copy = nullptr;
        if (heap != nullptr)
            copy = static_cast<char16_t*>(os::HeapAlloc(heap, 0, (n + 1) * sizeof(char16_t)));
        if (copy != nullptr) {
            CopyUnits(copy, start, n);
            intptr_t answer = AskHost(host, HOSTREQ_LONGRESULT, copy);
            os::HeapFree(heap, 0, copy);
            if (answer == 1) return;
        }
        n = RESULT_TEXT_LIMIT;
    }
    CopyUnits(call->resultBuffer, start, n);
}
