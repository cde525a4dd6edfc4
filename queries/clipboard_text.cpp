// CLIPPEDTEXT: the clipboard's text, unchanged. It is delivered straight
// from the clipboard's locked memory, so the clipboard stays open until the
// host has taken a long value.
#include "module/handlers.h"
#include "module/params.h"
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

} // namespace

// Always served: a clipboard that does not open or holds no text gives the
// empty value.
int32_t ClippedText(HostInfo* host, ModuleCall* call) {
    call->resultBuffer[0] = 0;
    if (!OpenClipboardRetry(host->mainWindow)) return RESULT_SERVED;
    os::HANDLE data = os::GetClipboardData(os::CF_UNICODETEXT);
    if (data != nullptr) {
        const auto* text = static_cast<const char16_t*>(os::GlobalLock(data));
        if (text != nullptr) {
            DeliverResult(host, call, text);
            os::GlobalUnlock(data);
        }
    }
    os::CloseClipboard();
    return RESULT_SERVED;
}
