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
#include "streams/wide_text_buffer.h"

namespace {

constexpr os::DWORD FIRST_READ_BYTES = 1023;
constexpr os::DWORD LOOP_READ_BYTES = 1024;
constexpr uint32_t INITIAL_CHARACTERS = 2048;
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

// Where a UTF-8 character that the block has only begun starts, or n when
// the block ends on a whole character (or on bytes no continuation can mend).
uint32_t Utf8CutAt(const uint8_t* b, uint32_t n) {
    uint32_t lowest = n > 4 ? n - 4 : 0;
    uint32_t lead = n;
    while (lead > lowest) {
        --lead;
        if ((b[lead] & 0xC0) != 0x80) break;
    }
    if (lead == n || (b[lead] & 0xC0) == 0x80) return n;
    uint8_t first = b[lead];
    uint32_t need;
    uint8_t low = 0x80, high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        need = 1;
    } else if (first >= 0xE0 && first <= 0xEF) {
        need = 2;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        need = 3;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return n;
    }
    uint32_t have = n - lead - 1;
    if (have >= need) return n;
    for (uint32_t i = 0; i < have; ++i) {
        uint8_t c = b[lead + 1 + i];
        if (c < (i == 0 ? low : 0x80) || c > (i == 0 ? high : 0xBF)) return n;
    }
    return lead;
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

// Converts the held bytes and the count just read behind them into
// destination (room units, NUL included), holding back an unfinished
// character for the next block. Returns the converter's result: the units
// written with the NUL, or 0 on failure (destination then holds the empty
// text).
int32_t ConvertBlock(InputDecoder* decoder, os::DWORD count, char16_t* destination, uint32_t room) {
    auto* b = reinterpret_cast<uint8_t*>(decoder->bytes);
    uint32_t end = decoder->held + count;
    uint32_t kept = decoder->held;
    while (kept < end && b[kept] != 0)
        ++kept;
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
    int32_t k = os::MultiByteToWideChar(decoder->codePage, decoder->flags, decoder->bytes, -1,
                                        destination, static_cast<int32_t>(room));
    for (uint32_t i = 0; i < held; ++i)
        b[i] = tail[i];
    decoder->held = held;
    if (k <= 0) destination[0] = 0;
    return k;
}

// Converts what is still held back once no more input comes: input that
// ends inside a character. Returns the units written before the NUL.
uint32_t FlushHeld(InputDecoder* decoder, char16_t* destination, uint32_t room) {
    if (decoder->held == 0 || room == 0) return 0;
    decoder->bytes[decoder->held] = 0;
    decoder->held = 0;
    int32_t k = os::MultiByteToWideChar(decoder->codePage, decoder->flags, decoder->bytes, -1,
                                        destination, static_cast<int32_t>(room));
    if (k <= 0) {
        destination[0] = 0;
        return 0;
    }
    return static_cast<uint32_t>(k - 1);
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

} // namespace

int32_t ReadStdIn(HostInfo* host, ModuleCall* call) {
    InputDecoder decoder;
    decoder.codePage = os::CP_ACP;
    decoder.flags = os::MB_PRECOMPOSED;
    decoder.held = 0;
    for (uint8_t& state : decoder.leadBytes)
        state = LEAD_UNKNOWN;
    bool waiting = true;
    if (call->paramCount >= 2) {
        const char16_t* param = call->paramList;
        for (uint32_t i = 1; i < call->paramCount; ++i) {
            param = NextParam(param);
            if (TextContains(param, u"utf8")) {
                decoder.codePage = os::CP_UTF8;
                decoder.flags = 0;
            }
            if (TextContains(param, u"nowait")) waiting = false;
        }
    }
    decoder.utf8 = decoder.codePage == os::CP_UTF8;

    char16_t* result = call->resultBuffer;
    os::HANDLE input = os::GetStdHandle(os::STD_INPUT_HANDLE);

    result[0] = 0;
    if (waiting) {
        os::DWORD count = 0;
        if (!os::ReadFile(input, decoder.bytes, FIRST_READ_BYTES, &count, nullptr))
            return RESULT_SERVED;
        if (count > FIRST_READ_BYTES) count = FIRST_READ_BYTES;
        ConvertBlock(&decoder, count, result, RESULT_BUFFER_UNITS);
    }

    os::DWORD available = 0;
    if (!Peek(input, &available)) {
        FlushIntoResult(&decoder, result);
        return RESULT_SERVED;
    }

    WideTextBuffer text{nullptr, nullptr, 0, nullptr};
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
        if (!os::ReadFile(input, decoder.bytes + decoder.held, want, &count, nullptr)) break;
        if (count > want) count = want;
        if (count > 0) {
            if (text.start == nullptr) {
                if (!CreateWideTextBuffer(&text, INITIAL_CHARACTERS)) break;
                text.cursor += CopyTextBounded(text.start, result, RESULT_BUFFER_UNITS - 1);
            }
            if (!EnsureRoom(&text, ROOM_PER_BLOCK)) break;
            int32_t k = ConvertBlock(&decoder, count, text.cursor, ROOM_PER_BLOCK);
            if (k <= 0) break;
            text.cursor += k - 1;
        }
        // Bytes a peek has shown stay there for this reader alone, so the
        // pipe is asked again only once they have all been read.
        if (count > 0 && count < available) {
            available -= count;
            continue;
        }
        if (!Peek(input, &available)) break;
    }

    if (text.start == nullptr) {
        FlushIntoResult(&decoder, result);
        return RESULT_SERVED;
    }
    text.cursor += FlushHeld(&decoder, text.cursor, FreeUnits(&text));
    DeliverResultOfLength(host, call, text.start, static_cast<size_t>(text.cursor - text.start));
    ReleaseWideTextBuffer(&text);
    return RESULT_SERVED;
}
