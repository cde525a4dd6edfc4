// CLIPPEDTEXT: the clipboard's text, unchanged. It is delivered straight
// from the clipboard's locked memory, so the clipboard stays open until the
// host has taken a long value.
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

// The text of a block of that many units. Another program may have put it
// there without a NUL: its units end at the block's end, and such a text is
// delivered as a piece, which the host is offered as a terminated copy.
void DeliverBlockText(HostInfo* host, ModuleCall* call, const char16_t* text, size_t units) {
    size_t length = TextLengthWithin(text, units);
    if (length < units)
        DeliverResultOfLength(host, call, text, length);
    else
        DeliverSlice(host, call, text, units);
}

} // namespace

// Always served: a clipboard that does not open or holds no text gives the
// empty value.
int32_t ReadClipboardText(HostInfo* host, ModuleCall* call) {
    call->resultBuffer[0] = 0;
    if (!OpenClipboardRetry(host->mainWindow)) return RESULT_SERVED;
    os::HANDLE data = os::GetClipboardData(os::CF_UNICODETEXT);
    if (data != nullptr) {
        const auto* text = static_cast<const char16_t*>(os::GlobalLock(data));
        if (text != nullptr) {
            DeliverBlockText(host, call, text, os::GlobalSize(data) / sizeof(char16_t));
            os::GlobalUnlock(data);
        }
    }
    os::CloseClipboard();
    return RESULT_SERVED;
}
