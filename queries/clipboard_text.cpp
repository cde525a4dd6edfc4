// CLIPPEDTEXT: the clipboard's text, unchanged. A text that fits the result
// buffer is copied there from the clipboard's locked memory; a longer one is
// copied to the heap and offered to the host only once the clipboard is
// unlocked and closed, so that a host that throws, or takes its time, never
// keeps the clipboard from other programs.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"
#include "platform/platform.h"

namespace {

constexpr int OPEN_ATTEMPTS = 6;
constexpr os::DWORD OPEN_PAUSE_MS = 20;

// Another program may hold the clipboard for a moment: up to 6 attempts,
// 20 ms apart. True when it is open.
bool OpenClipboardRetry(os::HWND window) {
    for (int attempts = OPEN_ATTEMPTS;;) {
        if (os::OpenClipboard(window)) return true;
        if (--attempts == 0) return false;
        os::Sleep(OPEN_PAUSE_MS);
    }
}

// A text too long for the result buffer, copied to the heap with a NUL; a
// null copy when there is none.
struct LongText {
    os::HANDLE heap;
    char16_t* copy;
    size_t length;
};

// The text of the locked block: copied into the result buffer when it fits,
// else into `text` for the caller to deliver and free (when the heap
// refuses, the text is cut as for a host that declines). Another program
// may have put it there without a NUL: its units end at the block's end.
void CopyBlockText(ModuleCall* call, const char16_t* block, size_t units, LongText* text) {
    size_t length = TextLengthWithin(block, units);
    if (length > RESULT_TEXT_LIMIT) {
        text->heap = os::GetProcessHeap();
        if (text->heap != nullptr)
            text->copy = static_cast<char16_t*>(
                os::HeapAlloc(text->heap, 0, (length + 1) * sizeof(char16_t)));
        if (text->copy != nullptr) {
            CopyUnits(text->copy, block, length);
            text->length = length;
            return;
        }
        length = RESULT_TEXT_LIMIT;
    }
    CopyUnits(call->resultBuffer, block, length);
}

} // namespace

// Always served: a clipboard that does not open or holds no text gives the
// empty value.
int32_t HANDLER_CONV ClippedText(HostInfo* host, int32_t, ModuleCall* call) {
    call->resultBuffer[0] = 0;
    if (!OpenClipboardRetry(host->mainWindow)) return RESULT_SERVED;
    LongText text{nullptr, nullptr, 0};
    os::HANDLE data = os::GetClipboardData(os::CF_UNICODETEXT);
    if (data != nullptr) {
        const auto* block = static_cast<const char16_t*>(os::GlobalLock(data));
        if (block != nullptr) {
            CopyBlockText(call, block, os::GlobalSize(data) / sizeof(char16_t), &text);
            os::GlobalUnlock(data);
        }
    }
    os::CloseClipboard();
    if (text.copy != nullptr) {
        DeliverResultOfLength(host, call, text.copy, text.length);
        os::HeapFree(text.heap, 0, text.copy);
    }
    return RESULT_SERVED;
}
