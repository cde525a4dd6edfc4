#include "streams/wide_text_buffer.h"

#include "platform/platform.h"

namespace {

constexpr uint32_t GROWTH_SLACK_BYTES = 64;

} // namespace

bool CreateWideTextBuffer(WideTextBuffer* buffer, uint32_t characters) {
    uint64_t bytes = static_cast<uint64_t>(characters) * 2;
    buffer->capacity = 0;
    buffer->start = nullptr;
    buffer->cursor = nullptr;
    buffer->heap = nullptr;
    if (bytes > 0xFFFFFFFFu) return false;
    os::HANDLE heap = os::GetProcessHeap();
    if (heap == nullptr) return false;
    void* block = os::HeapAlloc(heap, 0, static_cast<uintptr_t>(bytes));
    if (block == nullptr) return false;
    buffer->start = static_cast<char16_t*>(block);
    buffer->cursor = buffer->start;
    buffer->capacity = static_cast<uint32_t>(bytes);
    buffer->heap = heap;
    return true;
}

uint32_t UsedCharacters(const WideTextBuffer* buffer) {
    return static_cast<uint32_t>(buffer->cursor - buffer->start);
}

uint32_t FreeUnits(const WideTextBuffer* buffer) {
    return buffer->capacity / 2 - UsedCharacters(buffer);
}

bool EnsureRoom(WideTextBuffer* buffer, uint32_t characters) {
    uint32_t used = UsedCharacters(buffer);
    uint64_t needed = (static_cast<uint64_t>(used) + characters) * 2 + 2;
    if (needed < buffer->capacity) return true;
    // The capacity is a 32-bit count of bytes: a text that would outgrow it
    // cannot be held.
    uint64_t grown = needed + GROWTH_SLACK_BYTES;
    if (grown > 0xFFFFFFFFu) return false;
    void* block = os::HeapReAlloc(buffer->heap, 0, buffer->start, static_cast<uintptr_t>(grown));
    if (block == nullptr) return false;
    buffer->start = static_cast<char16_t*>(block);
    buffer->cursor = buffer->start + used;
    buffer->capacity = static_cast<uint32_t>(grown);
    return true;
}

void ReleaseWideTextBuffer(WideTextBuffer* buffer) {
    if (buffer->start != nullptr) os::HeapFree(buffer->heap, 0, buffer->start);
    buffer->start = nullptr;
    buffer->cursor = nullptr;
    buffer->capacity = 0;
}
