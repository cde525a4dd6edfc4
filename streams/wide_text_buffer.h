// A growable NUL-terminated UTF-16 text on the process heap, for values that
// outgrow the result buffer. Sizes handed in and out count UTF-16 units;
// only the block's size is kept in bytes, as the heap takes it.
#pragma once

#include <stdint.h>

// Owns its heap block from CreateWideTextBuffer to ReleaseWideTextBuffer.
// The text from start to cursor is the caller's to write; the writer keeps
// a NUL at cursor. A buffer that is not created has a null start.
struct WideTextBuffer {
    char16_t* start;        // the heap block, or null
    char16_t* cursor;       // where the text so far ends
    uint32_t capacityBytes; // the block's size in bytes, always even
    void* heap;             // the heap the block came from, asked for once
};

// Takes a block of 2 * units bytes; start and cursor point at it. False
// when the heap has no such block (start is then null).
bool CreateWideTextBuffer(WideTextBuffer* buffer, uint32_t units);

// Makes room for that many more units and a NUL after the cursor, growing
// the block to what is needed and 64 bytes more, or by half its size when
// that is more, but never past the largest even 32-bit capacity; a heap that
// refuses the half more is asked once more for what is needed. On failure
// (the text would outgrow 32 bits, or the heap refuses) the buffer is left
// exactly as it was.
bool EnsureRoom(WideTextBuffer* buffer, uint32_t units);

// The units from start to cursor.
uint32_t UsedUnits(const WideTextBuffer* buffer);

// The units free from the cursor on, its NUL included.
uint32_t FreeUnits(const WideTextBuffer* buffer);

// Frees the block (if any) and leaves the buffer empty; safe to repeat.
void ReleaseWideTextBuffer(WideTextBuffer* buffer);
