#include "streams/wide_text_buffer.h"

#include "platform/platform.h"

namespace {

constexpr uint32_t GROWTH_SLACK_BYTES = 64;

} // namespace

bool CreateWideTextBuffer(WideTextBuffer* buffer, uint32_t units) {
    uint64_t bytes = static_cast<uint64_t>(units) * 2;
    buffer->capacityBytes = 0;
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
    buffer->capacityBytes = static_cast<uint32_t>(bytes);
    buffer->heap = heap;
    return true;
}

uint32_t UsedUnits(const WideTextBuffer* buffer) {
    return static_cast<uint32_t>(buffer->cursor - buffer->start);
}

uint32_t FreeUnits(const WideTextBuffer* buffer) {
    return buffer->capacityBytes / 2 - UsedUnits(buffer);
}

bool EnsureRoom(WideTextBuffer* buffer, uint32_t units) {
    uint32_t used = UsedUnits(buffer);
    uint64_t needed = (static_cast<uint64_t>(used) + units) * 2 + 2;
    if (needed < buffer->capacityBytes) return true;
    // The block grows by half at least, so that a long input is moved a
    // number of times that grows with its logarithm, not with its length:
    // a heap that moves a block to grow it copies it each time.
    uint64_t grown = needed + GROWTH_SLACK_BYTES;
    uint64_t geometric = (static_cast<uint64_t>(buffer->capacityBytes) * 3 / 2 + 1) & ~uint64_t{1};
    if (grown < geometric) grown = geometric;
    // The capacity is a 32-bit count of bytes: a text that would outgrow it
    // cannot be held; one that fits without the growth's half gets what it
    // needs.
    if (grown > 0xFFFFFFFFu) grown = needed + GROWTH_SLACK_BYTES;
    if (grown > 0xFFFFFFFFu) return false;
    void* block = os::HeapReAlloc(buffer->heap, 0, buffer->start, static_cast<uintptr_t>(grown));
    if (block == nullptr) return false;
    buffer->start = static_cast<char16_t*>(block);
    buffer->cursor = buffer->start + used;
    buffer->capacityBytes = static_cast<uint32_t>(grown);
    return true;
}

void ReleaseWideTextBuffer(WideTextBuffer* buffer) {
    if (buffer->start != nullptr) os::HeapFree(buffer->heap, 0, buffer->start);
    buffer->start = nullptr;
    buffer->cursor = nullptr;
    buffer->capacityBytes = 0;
}
