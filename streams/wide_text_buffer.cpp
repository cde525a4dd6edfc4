#include "streams/wide_text_buffer.h"

#include "platform/platform.h"

namespace {

constexpr uint32_t GROWTH_SLACK_BYTES = 64;
// The largest capacity: an even count of bytes that a 32-bit capacity, and a
// 32-bit process's pointers, can hold.
constexpr uint64_t LARGEST_CAPACITY_BYTES = 0xFFFFFFFEu;

bool MoveTo(WideTextBuffer* buffer, uint32_t used, uint64_t bytes) {
    void* block = os::HeapReAlloc(buffer->heap, 0, buffer->start, static_cast<uintptr_t>(bytes));
    if (block == nullptr) return false;
    buffer->start = static_cast<char16_t*>(block);
    buffer->cursor = buffer->start + used;
    buffer->capacityBytes = static_cast<uint32_t>(bytes);
    return true;
}

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

// Counted on the addresses: a block of more than 2 GiB in a 32-bit process
// is more than a pointer difference holds.
uint32_t UsedUnits(const WideTextBuffer* buffer) {
    auto bytes =
        reinterpret_cast<uintptr_t>(buffer->cursor) - reinterpret_cast<uintptr_t>(buffer->start);
    return static_cast<uint32_t>(bytes / sizeof(char16_t));
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
    // The capacity is a 32-bit count of bytes: a text that would outgrow it
    // cannot be held, and the growth stops at the largest block it counts,
    // rather than going on by what each read needs.
    if (needed > LARGEST_CAPACITY_BYTES) return false;
    uint64_t least = needed + GROWTH_SLACK_BYTES;
    if (least > LARGEST_CAPACITY_BYTES) least = LARGEST_CAPACITY_BYTES;
    uint64_t grown = (static_cast<uint64_t>(buffer->capacityBytes) * 3 / 2 + 1) & ~uint64_t{1};
    if (grown > LARGEST_CAPACITY_BYTES) grown = LARGEST_CAPACITY_BYTES;
    if (grown < least) grown = least;
    // A heap short of the half more may still have what is needed.
    return MoveTo(buffer, used, grown) || (grown > least && MoveTo(buffer, used, least));
}

void ReleaseWideTextBuffer(WideTextBuffer* buffer) {
    if (buffer->start != nullptr) os::HeapFree(buffer->heap, 0, buffer->start);
    buffer->start = nullptr;
    buffer->cursor = nullptr;
    buffer->capacityBytes = 0;
}
