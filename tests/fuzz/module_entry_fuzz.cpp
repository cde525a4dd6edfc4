// libFuzzer target: every name of the dispatch table through ModuleEntry,
// with any parameters, any host answers, any world under the module, and one
// platform call made to fail. Built with clang and -DMURLIN_FUZZ=ON; run with
// scripts/fuzz.sh.
//
// An input is a header and five sections:
//   0      the dispatch row (modulo one more than the rows: the last is the
//          identification request, its selector the number's low byte)
//   1      the failing operation (fuzz::Op; beyond the last: none)
//   2      its call number, 1 to 128; the top bit: that call and every later one
//   3      host answers: bit 0 MESSAGE 1, bit 1 LONGRESULT 1 (else bit 2: 2, else 0),
//          bit 3 EXPAND writes the expansion (else leaves the buffer), bit 4 the
//          version answer negative, bit 5 a null ParamList when there are no
//          parameters
//   4      the world: bit 0 standard input is a pipe, bit 1 a double-byte ANSI
//          code page, bit 2 files open, bit 3 searches find, bit 4 drive paths
//          exist, bit 5 the eras key opens, bit 6 the era boundary is scanned
//          anew, bit 7 the clipboard holds text
//   5      bits 0-2 clipboard opens that fail first, bits 3-5 pauses before the
//          pipe's writer closes, bit 6 drive D's volume is readable, bit 7
//          the name comes with the other call kind (and is declined)
//   6-13   a number: file times, the host's version, serial numbers, drives
//   then sections split at 0x1F: the parameters (split at 0x00), the host's
//   expansion, the clipboard text and drive D's label, the standard input's
//   bytes, one more registry value NAME=DATA.
// In the text sections a byte is a unit, except 0xFF L H (the unit H*256+L)
// and 0xFE N C (C repeated 16*N times, for texts at the limits).
//
// After each call: the result code is 1 or -1 (0 for the other kind),
// nothing the module took is still held, no heap call went to a null heap,
// a function's value is NUL-terminated within 1024 units, a command left the
// result buffer alone, and the parameters are unchanged. Writes past a
// buffer are AddressSanitizer's to find.
#include "module/module_api.h"
#include "tests/fuzz/fuzz_platform.h"

#include "datetime/era_calendar.h"
#include "module/params.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Beside the dispatch table.
const char16_t* DispatchName(size_t row, int32_t* kind);

namespace {

constexpr size_t HEADER = 14;
constexpr size_t SECTION_UNITS = 8192;

struct Section {
    char16_t units[SECTION_UNITS + 1];
    size_t length;
};

// Decodes one text section; stops at the separator byte or the end.
const uint8_t* DecodeSection(const uint8_t* p, const uint8_t* end, Section* out) {
    size_t n = 0;
    while (p < end && *p != 0x1F) {
        uint8_t b = *p++;
        if (b == 0xFF && end - p >= 2) {
            if (n < SECTION_UNITS) out->units[n++] = static_cast<char16_t>(p[0] | (p[1] << 8));
            p += 2;
        } else if (b == 0xFE && end - p >= 2) {
            size_t repeat = 16u * p[0];
            for (size_t i = 0; i < repeat && n < SECTION_UNITS; ++i)
                out->units[n++] = p[1];
            p += 2;
        } else if (n < SECTION_UNITS) {
            out->units[n++] = b;
        }
    }
    out->units[n] = 0;
    out->length = n;
    return p < end ? p + 1 : p;
}

struct Answers {
    intptr_t message;
    intptr_t longResult;
    intptr_t version;
    bool expand;
    const Section* expansion;
};
Answers g_answers;

// The trap makes libFuzzer keep the input that led here.
[[noreturn]] void Finding(const char* what) {
    fprintf(stderr, "finding: %s\n", what);
    __builtin_trap();
}

// Scans a text the module handed over; AddressSanitizer stops a scan that
// runs past its buffer.
size_t Length(const char16_t* text) {
    size_t n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

intptr_t Host(HostInfo*, int32_t request, void* argument) {
    auto* text = static_cast<char16_t*>(argument);
    switch (request) {
    case HOSTREQ_MESSAGE:
        Length(text);
        return g_answers.message;
    case HOSTREQ_LONGRESULT:
        if (Length(text) <= RESULT_TEXT_LIMIT) Finding("a short value offered as long");
        return g_answers.longResult;
    case HOSTREQ_EXECUTE:
        Length(text);
        return 1;
    case HOSTREQ_EXPAND: {
        size_t n = 0;
        while (n < RESULT_BUFFER_UNITS && text[n] != 0)
            ++n;
        if (n == RESULT_BUFFER_UNITS) Finding("a macro text without its NUL");
        if (g_answers.expand) {
            size_t k = g_answers.expansion->length;
            if (k > RESULT_BUFFER_UNITS - 1) k = RESULT_BUFFER_UNITS - 1;
            memcpy(text, g_answers.expansion->units, k * sizeof(char16_t));
            text[k] = 0;
        }
        return 1;
    }
    case HOSTREQ_VERSION:
        if (argument != nullptr) Finding("a version request with an argument");
        return g_answers.version;
    default:
        Finding("an unknown host request");
    }
}

size_t RowCount() {
    size_t rows = 0;
    int32_t kind = 0;
    while (DispatchName(rows, &kind) != nullptr)
        ++rows;
    return rows;
}

const fuzz::World::Value BUILT_IN_ERAS[] = {
    {u"1868 01 01", u"\u660E\u6CBB_\u660E_Meiji_M"},
    {u"1912 07 30", u"\u5927\u6B63_\u5927_Taisho_T"},
    {u"1926 12 25", u"\u662D\u548C_\u662D_Showa_S"},
    {u"1989 01 08", u"\u5E73\u6210_\u5E73_Heisei_H"},
    {u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
};
constexpr size_t BUILT_IN_COUNT = sizeof(BUILT_IN_ERAS) / sizeof(BUILT_IN_ERAS[0]);

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const size_t rows = RowCount();
    // Static, so a run allocates nothing of its own; the result buffer is
    // exactly 1024 units on the heap, where AddressSanitizer guards its end.
    static Section params, expansion, clipboard, registry;
    static char16_t* result =
        static_cast<char16_t*>(malloc(RESULT_BUFFER_UNITS * sizeof(char16_t)));
    static char16_t paramCopy[SECTION_UNITS + 2];
    static fuzz::World::Value values[BUILT_IN_COUNT + 1];
    static char16_t registryName[SECTION_UNITS + 1];
    if (size < HEADER) return 0;

    const uint8_t* end = data + size;
    const uint8_t* p = DecodeSection(data + HEADER, end, &params);
    p = DecodeSection(p, end, &expansion);
    p = DecodeSection(p, end, &clipboard);
    const uint8_t* inputStart = p;
    while (p < end && *p != 0x1F)
        ++p;
    size_t inputSize = static_cast<size_t>(p - inputStart);
    if (p < end) ++p;
    DecodeSection(p, end, &registry);

    uint64_t number = 0;
    memcpy(&number, data + 6, sizeof number);

    fuzz::World& w = fuzz::Now();
    w = fuzz::World();
    w.faultOp = data[1] < fuzz::OP_COUNT ? data[1] : fuzz::OP_COUNT;
    w.faultNth = (data[2] & 0x7F) + 1u;
    w.faultFromThenOn = (data[2] & 0x80) != 0;
    uint8_t world = data[4];
    w.input = inputStart;
    w.inputSize = inputSize;
    w.inputIsPipe = world & 1;
    w.ansiIsDoubleByte = world & 2;
    w.fileOpens = world & 4;
    w.fileFound = world & 8;
    w.pathsExist = world & 16;
    w.registryOpens = world & 32;
    if (world & 64) ForgetEraBoundary();
    w.clipboardText = (world & 128) ? clipboard.units : nullptr;
    w.clipboardBusy = data[5] & 7;
    w.pausesBeforeClose = (data[5] >> 3) & 7;
    for (int i = 0; i < 3; ++i) {
        uint64_t ticks = number ^ (0x0101010101010101ull * static_cast<uint64_t>(i));
        w.times[i] = {static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
    }
    w.drives = static_cast<os::DWORD>(number >> 32) & 0x3FFFFFF;
    w.volumes[2] = {u"SYSTEM", static_cast<os::DWORD>(number), true};
    w.volumes[3] = {clipboard.units, static_cast<os::DWORD>(number >> 16), (data[5] & 64) != 0};
    w.volumes[4] = {u"", 0x1A2B3C4D, true};

    // The eras of the table, and one more value whose name ends at its first
    // '=' (a name without '=' has empty data).
    size_t eq = 0;
    while (eq < registry.length && registry.units[eq] != u'=')
        ++eq;
    memcpy(registryName, registry.units, eq * sizeof(char16_t));
    registryName[eq] = 0;
    memcpy(values, BUILT_IN_ERAS, sizeof BUILT_IN_ERAS);
    values[BUILT_IN_COUNT] = {registryName, eq < registry.length ? registry.units + eq + 1 : u""};
    w.values = values;
    w.valueCount = registry.length > 0 ? BUILT_IN_COUNT + 1 : BUILT_IN_COUNT;

    uint8_t answers = data[3];
    g_answers.message = answers & 1;
    g_answers.longResult = (answers & 2) ? 1 : (answers & 4) ? 2 : 0;
    g_answers.expand = (answers & 8) != 0;
    g_answers.expansion = &expansion;
    g_answers.version = static_cast<intptr_t>(static_cast<int32_t>(number));
    if (answers & 16) g_answers.version = -g_answers.version;

    // The parameters: each ends at a zero unit; the list ends with its NUL.
    uint32_t count = 0;
    if (params.length > 0) {
        count = 1;
        for (size_t i = 0; i < params.length; ++i)
            count += params.units[i] == 0;
    }
    params.units[params.length] = 0;
    memcpy(paramCopy, params.units, (params.length + 1) * sizeof(char16_t));

    size_t row = data[0] % (rows + 1);
    if (row == rows) {
        char16_t title[64];
        ModuleInfoRequest request{static_cast<uint32_t>(number & 0xFF), 0, title};
        int32_t code = ModuleEntry(nullptr, MODCALL_INFO, reinterpret_cast<intptr_t>(&request));
        if (request.selector == 0 &&
            (code != RESULT_SERVED || request.servedKinds != 192 || Length(title) != 37))
            Finding("a wrong identification");
        if (request.selector != 0 && (code != RESULT_NOT_SERVED || request.servedKinds != 0))
            Finding("an identification with a selector other than 0");
        return 0;
    }
    int32_t kind = 0;
    const char16_t* name = DispatchName(row, &kind);
    bool otherKind = (data[5] & 128) != 0;
    result[0] = 0;
    for (size_t i = 1; i < RESULT_BUFFER_UNITS; ++i)
        result[i] = 0xAAAA;
    HostInfo host{Host, nullptr, nullptr, reinterpret_cast<void*>(0x1D)};
    ModuleCall call{};
    call.name = name;
    call.nameKey = NameKey(name);
    call.resultBuffer = result;
    call.paramList = count == 0 && (answers & 32) ? nullptr : params.units;
    call.paramCount = count;
    int32_t code = ModuleEntry(&host, otherKind ? MODCALL_FUNCTION + MODCALL_COMMAND - kind : kind,
                               reinterpret_cast<intptr_t>(&call));
    if (otherKind) {
        if (code != RESULT_NOT_SERVED || fuzz::Now().calls[fuzz::OP_GET_STD_HANDLE] != 0)
            Finding("a name served under the other call kind");
        kind = MODCALL_COMMAND; // nothing may have been written
    } else if (code != RESULT_SERVED && code != RESULT_FAILED)
        Finding("a result code other than 1 or -1");
    if (w.heapBlocks != 0 || w.handles != 0 || w.searches != 0 || w.keys != 0 ||
        w.clipboardOpen != 0 || w.clipboardLocks != 0)
        Finding("something left held");
    if (w.noHeapCalls != 0) Finding("a heap call on no heap");
    if (kind == MODCALL_FUNCTION) {
        size_t n = 0;
        while (n < RESULT_BUFFER_UNITS && result[n] != 0)
            ++n;
        if (n == RESULT_BUFFER_UNITS) Finding("a value without its NUL");
    } else {
        for (size_t i = 1; i < RESULT_BUFFER_UNITS; ++i)
            if (result[i] != 0xAAAA || result[0] != 0) Finding("a command wrote the result buffer");
    }
    if (memcmp(paramCopy, params.units, (params.length + 1) * sizeof(char16_t)) != 0)
        Finding("the parameters changed");
    return 0;
}
