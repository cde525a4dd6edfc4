// %*StdIn: the text on the host's standard input as the function's value.
//
// The first block goes straight into the result buffer; once more input
// comes, everything is collected in a WideTextBuffer and delivered at the end.
// Blocks are converted one by one, but the bytes of a character cut by the
// end of a block are held back and converted with the next one, and zero
// bytes (which the value cannot hold) are left out.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"
#include "platform/platform.h"
#include "platform/utf8_sequences.h"
#include "streams/wide_text_buffer.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

constexpr os::DWORD FIRST_READ_BYTES = 1023;
constexpr os::DWORD LOOP_READ_BYTES = 1024;
constexpr uint32_t INITIAL_UNITS = 2048;
constexpr uint32_t ROOM_PER_BLOCK = 2048;
constexpr uint32_t BYTE_BUFFER_SIZE = 2048;
constexpr uint32_t MOST_HELD_BYTES = 3; // a UTF-8 character lacking its last byte

enum : uint8_t { LEAD_UNKNOWN = 0, LEAD_YES = 1, LEAD_NO = 2 };

struct InputDecoder {
    uint32_t codePage;
    os::DWORD flags;
    bool utf8;
    uint32_t held; // bytes of an unfinished character at the front of bytes
    uint8_t leadBytes[256];
    char bytes[BYTE_BUFFER_SIZE];
};

static_assert(MOST_HELD_BYTES + LOOP_READ_BYTES + 1 <= BYTE_BUFFER_SIZE, "byte buffer");

bool IsLeadByte(InputDecoder* decoder, uint8_t byte) {
    if (byte < 0x80) return false;
    if (decoder->leadBytes[byte] == LEAD_UNKNOWN)
        decoder->leadBytes[byte] =
            os::IsDBCSLeadByteEx(decoder->codePage, byte) ? LEAD_YES : LEAD_NO;
    return decoder->leadBytes[byte] == LEAD_YES;
}

// Where the block stops being converted: n, or the first byte of a UTF-8
// sequence that the block does not complete. What follows such a byte is held
// back with it, valid or not, so that it is read with the next block as it
// would be read in one piece; a converter reads a sequence cut short by the
// end of its input as one replacement for all that is left.
uint32_t Utf8CutAt(const uint8_t* b, uint32_t n) {
    uint32_t lowest = n > MOST_HELD_BYTES ? n - MOST_HELD_BYTES : 0;
    uint32_t cut = n;
    for (bool moved = true; moved;) {
        moved = false; // an earlier sequence may run past a new end
        for (uint32_t i = lowest; i < cut && !moved; ++i) {
            if (i + Utf8LeadOf(b[i]).continuations >= cut) {
                cut = i;
                moved = true;
            }
        }
    }
    return cut;
}

// Where a lead byte left without its trail byte stands, or n. A byte that
// is no lead byte always ends a character, so only the run of lead bytes at
// the end of the block needs looking at: an odd run ends on a lone lead byte.
uint32_t DoubleByteCutAt(InputDecoder* decoder, const uint8_t* b, uint32_t n) {
    uint32_t run = 0;
    while (run < n && IsLeadByte(decoder, b[n - 1 - run]))
        ++run;
    return run % 2 == 1 ? n - 1 : n;
}

// Converts the first count bytes into destination (room units) and ends the
// text with a NUL of its own: a converter may take the NUL of its input into
// a sequence cut short. Returns the units written with the NUL, or 0 on
// failure (destination then holds the empty text).
int32_t Convert(InputDecoder* decoder, uint32_t count, char16_t* destination, uint32_t room) {
    destination[0] = 0;
    if (count == 0) return 1;
    if (room < 2) return 0;
    int32_t k = os::MultiByteToWideChar(decoder->codePage, decoder->flags, decoder->bytes,
                                        static_cast<int32_t>(count), destination,
                                        static_cast<int32_t>(room - 1));
    if (k <= 0 && decoder->flags != 0) {
        // Under the UTF-8 ANSI code page Windows takes no MB_PRECOMPOSED;
        // once it is refused, the rest is converted without it.
        k = os::MultiByteToWideChar(decoder->codePage, 0, decoder->bytes,
                                    static_cast<int32_t>(count), destination,
                                    static_cast<int32_t>(room - 1));
        if (k > 0) decoder->flags = 0;
    }
    if (k <= 0) {
        destination[0] = 0;
        return 0;
    }
    destination[k] = 0;
    return k + 1;
}

// Where the first zero byte of b[from, end) stands, or end. Many bytes a
// round, none read outside the range: input seldom holds one, and a byte at
// a time cost more than the conversion.
uint32_t FirstZeroByte(const uint8_t* b, uint32_t from, uint32_t end) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; from + 64 <= end; from += 64) {
        auto* block = reinterpret_cast<const __m128i*>(b + from);
        __m128i any = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(block), zero),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(block + 1), zero)),
                                   _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(block + 2), zero),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(block + 3), zero)));
        if (_mm_movemask_epi8(any) != 0) break;
    }
#endif
    constexpr uint64_t ONES = 0x0101010101010101ull;
    constexpr uint64_t HIGHS = 0x8080808080808080ull;
    for (; from + 8 <= end; from += 8) {
        uint64_t word;
        __builtin_memcpy(&word, b + from, sizeof word);
        if (((word - ONES) & ~word & HIGHS) != 0) break;
    }
    while (from < end && b[from] != 0)
        ++from;
    return from;
}

// Converts the held bytes and the count just read behind them into
// destination (room units, NUL included), holding back an unfinished
// character for the next block. Returns the converter's result: the units
// written with the NUL, or 0 on failure (destination then holds the empty
// text).
int32_t ConvertBlock(InputDecoder* decoder, os::DWORD count, char16_t* destination, uint32_t room) {
    auto* b = reinterpret_cast<uint8_t*>(decoder->bytes);
    uint32_t end = decoder->held + count;
    uint32_t kept = FirstZeroByte(b, decoder->held, end);
    for (uint32_t i = kept; i < end; ++i)
        if (b[i] != 0) b[kept++] = b[i];
    uint32_t cut = decoder->utf8 ? Utf8CutAt(b, kept) : DoubleByteCutAt(decoder, b, kept);
    uint8_t tail[MOST_HELD_BYTES + 1];
    uint32_t held = kept - cut;
    if (held > MOST_HELD_BYTES) { // never for the cuts above; keep the buffer safe
        cut = kept;
        held = 0;
    }
    for (uint32_t i = 0; i < held; ++i)
        tail[i] = b[cut + i];
    b[cut] = 0;
    int32_t k = Convert(decoder, cut, destination, room);
    for (uint32_t i = 0; i < held; ++i)
        b[i] = tail[i];
    decoder->held = held;
    return k;
}

// Converts what is still held back once no more input comes: input that
// ends inside a character. Returns the units written before the NUL.
uint32_t FlushHeld(InputDecoder* decoder, char16_t* destination, uint32_t room) {
    if (decoder->held == 0 || room == 0) return 0;
    decoder->bytes[decoder->held] = 0;
    int32_t k = Convert(decoder, decoder->held, destination, room);
    decoder->held = 0;
    return k <= 0 ? 0 : static_cast<uint32_t>(k - 1);
}

void FlushIntoResult(InputDecoder* decoder, char16_t* result) {
    size_t used = TextLength(result);
    if (used < RESULT_BUFFER_UNITS)
        FlushHeld(decoder, result + used, static_cast<uint32_t>(RESULT_BUFFER_UNITS - used));
}

bool Peek(os::HANDLE input, os::DWORD* available) {
    *available = 0;
    return os::PeekNamedPipe(input, nullptr, 0, nullptr, available, nullptr) != 0;
}

// The options: every parameter after the first that contains "utf8" selects
// UTF-8, one that contains "nowait" skips the waiting first read. An ANSI
// code page that is UTF-8 (the system's "Use Unicode UTF-8" choice) is read
// as the word reads it: it has no lead bytes to cut blocks by, and refuses
// MB_PRECOMPOSED. Sets up the decoder; returns whether to wait.
bool ReadOptions(const ModuleCall* call, InputDecoder* decoder) {
    decoder->codePage = os::CP_ACP;
    decoder->flags = os::MB_PRECOMPOSED;
    decoder->held = 0;
    for (uint8_t& state : decoder->leadBytes)
        state = LEAD_UNKNOWN;
    bool waiting = true;
    if (call->paramCount >= 2) {
        const char16_t* param = call->paramList;
        for (uint32_t i = 1; i < call->paramCount; ++i) {
            param = NextParam(param);
            if (TextContains(param, u"utf8")) {
                decoder->codePage = os::CP_UTF8;
                decoder->flags = 0;
            }
            if (TextContains(param, u"nowait")) waiting = false;
        }
    }
    decoder->utf8 = decoder->codePage == os::CP_UTF8 || os::GetACP() == os::CP_UTF8;
    if (decoder->utf8) decoder->flags = 0;
    return waiting;
}

// The first read, made only while waiting: one block straight into the
// result buffer. False when the read fails; the value is then empty and
// nothing more is read.
bool ReadFirstBlock(os::HANDLE input, InputDecoder* decoder, char16_t* result) {
    os::DWORD count = 0;
    if (!os::ReadFile(input, decoder->bytes, FIRST_READ_BYTES, &count, nullptr)) return false;
    if (count > FIRST_READ_BYTES) count = FIRST_READ_BYTES;
    ConvertBlock(decoder, count, result, RESULT_BUFFER_UNITS);
    return true;
}

// Appends a block of count bytes read behind the held ones to text, which is
// created the first time with the result buffer's text. False when the heap
// or the conversion fails.
bool AppendBlock(InputDecoder* decoder, os::DWORD count, const char16_t* result,
                 WideTextBuffer* text) {
    if (text->start == nullptr) {
        if (!CreateWideTextBuffer(text, INITIAL_UNITS)) return false;
        text->cursor += CopyTextBounded(text->start, result, RESULT_BUFFER_UNITS - 1);
    }
    if (!EnsureRoom(text, ROOM_PER_BLOCK)) return false;
    int32_t k = ConvertBlock(decoder, count, text->cursor, ROOM_PER_BLOCK);
    if (k <= 0) return false;
    text->cursor += k - 1;
    return true;
}

// The loop, once a peek has told what is waiting: as soon as input comes,
// the text of the result buffer and everything after it are collected in
// text (left with a null start when nothing came). Ends when the pipe is
// drained and not waited for, or broken, or a read, the heap or a
// conversion fails.
void CollectMore(os::HANDLE input, InputDecoder* decoder, bool waiting, os::DWORD available,
                 const char16_t* result, WideTextBuffer* text) {
    for (;;) {
        // With nothing waiting, a blocking read returns as soon as bytes
        // come, and fails once the writer has closed the pipe.
        os::DWORD want = LOOP_READ_BYTES;
        if (available == 0) {
            if (!waiting) break;
        } else if (available < want) {
            want = available;
        }
        os::DWORD count = 0;
        if (!os::ReadFile(input, decoder->bytes + decoder->held, want, &count, nullptr)) break;
        if (count > want) count = want;
        if (count > 0 && !AppendBlock(decoder, count, result, text)) break;
        // Bytes a peek has shown stay there for this reader alone, so the
        // pipe is asked again only once they have all been read.
        if (count > 0 && count < available) {
            available -= count;
            continue;
        }
        if (!Peek(input, &available)) break;
    }
}

// Input that no peek measures but that ends, read to its end: a disk file
// (a host started with "< file"), waiting or not, and while waiting a pipe
// that refuses to be peeked (Wine's answer for a pipe of the system under
// it). Anything else that refuses a peek (a console, a broken pipe) is not.
bool ReadsToTheEnd(os::HANDLE input, bool waiting) {
    os::DWORD peekError = os::GetLastError();
    os::DWORD type = os::GetFileType(input);
    return type == os::FILE_TYPE_DISK ||
           (waiting && type == os::FILE_TYPE_PIPE && peekError == os::ERROR_NOT_SUPPORTED);
}

// Reads on until a read gives nothing or fails, collecting as CollectMore.
void CollectToTheEnd(os::HANDLE input, InputDecoder* decoder, const char16_t* result,
                     WideTextBuffer* text) {
    for (;;) {
        os::DWORD count = 0;
        if (!os::ReadFile(input, decoder->bytes + decoder->held, LOOP_READ_BYTES, &count,
                          nullptr) ||
            count == 0)
            break;
        if (count > LOOP_READ_BYTES) count = LOOP_READ_BYTES;
        if (!AppendBlock(decoder, count, result, text)) break;
    }
}

// The flush: what is still held back goes after the text, which is then the
// value: in the result buffer already, or delivered from text and freed.
void DeliverCollected(HostInfo* host, ModuleCall* call, InputDecoder* decoder,
                      WideTextBuffer* text) {
    if (text->start == nullptr) {
        FlushIntoResult(decoder, call->resultBuffer);
        return;
    }
    text->cursor += FlushHeld(decoder, text->cursor, FreeUnits(text));
    DeliverResultOfLength(host, call, text->start, static_cast<size_t>(text->cursor - text->start));
    ReleaseWideTextBuffer(text);
}

} // namespace

int32_t HANDLER_CONV StdIn(HostInfo* host, int32_t, ModuleCall* call) {
    InputDecoder decoder;
    bool waiting = ReadOptions(call, &decoder);
    os::HANDLE input = os::GetStdHandle(os::STD_INPUT_HANDLE);
    call->resultBuffer[0] = 0;
    if (waiting && !ReadFirstBlock(input, &decoder, call->resultBuffer)) return RESULT_SERVED;
    WideTextBuffer text{nullptr, nullptr, 0, nullptr};
    os::DWORD available = 0;
    if (Peek(input, &available))
        CollectMore(input, &decoder, waiting, available, call->resultBuffer, &text);
    else if (ReadsToTheEnd(input, waiting))
        CollectToTheEnd(input, &decoder, call->resultBuffer, &text);
    DeliverCollected(host, call, &decoder, &text);
    return RESULT_SERVED;
}
