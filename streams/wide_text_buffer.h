// A growable NUL-terminated UTF-16 text on the process heap, for values that
// outgrow the result buffer.
#pragma once

#include <stdint.h>

struct WideTextBuffer {
    char16_t* start;   // the heap block
    char16_t* cursor;  // the NUL that ends the text so far
    uint32_t capacity; // the block's size in bytes
    void* heap;        // the process heap, asked for once: the block's heap
};

// Takes a block of 2 * characters bytes; start and cursor point at it. False
// when the heap has no such block (start is then null).
bool CreateWideTextBuffer(WideTextBuffer* buffer, uint32_t characters);

// Makes room for that many more characters and a NUL after the cursor,
// growing the block to what is needed and 64 bytes more. On failure the
// buffer is left exactly as it was.
bool EnsureRoom(WideTextBuffer* buffer, uint32_t characters);

// The characters from start to cursor.
uint32_t UsedCharacters(const WideTextBuffer* buffer);

// The units free from the cursor on, its NUL included.
uint32_t FreeUnits(const WideTextBuffer* buffer);

void ReleaseWideTextBuffer(WideTextBuffer* buffer);
