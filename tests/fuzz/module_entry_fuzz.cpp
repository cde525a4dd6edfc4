// libFuzzer target: every name of the table of sample calls through
// ModuleEntry, with any parameters, any host answers, any world under the
// module, and one platform call made to fail. Built with clang and
// -DMURLIN_FUZZ=ON; run with scripts/fuzz.sh, which first has the target
// write a seed for every sample call and a dictionary of their words:
//   murlin_fuzz --write-seeds=DIR --write-dictionary=FILE
//
// An input is a header and six sections:
//   0      the identification request's selector
//   1      the failing operation (fake::Op; one that cannot fail, or beyond
//          the last: none)
//   2      its call number, 1 to 128; the top bit: that call and every later one
//   3      host answers: bit 0 MESSAGE 1, bit 1 LONGRESULT 1 (else bit 2: 2, else 0),
//          bit 3 EXPAND writes the expansion (else leaves the buffer), bit 4 the
//          version answer negative, bit 5 a null ParamList when there are no
//          parameters
//   4      the world: bit 0 standard input is a pipe, bit 1 a double-byte ANSI
//          code page, bit 2 files open, bit 3 searches find, bit 4 drive paths
//          exist, bit 5 the eras key opens, bit 6 the era boundary is scanned
//          anew, bit 7 the clipboard holds text
//   5      bits 0-2 clipboard opens that fail first (unless the failing
//          operation is OpenClipboard), bits 3-5 pauses before the
//          pipe's writer closes, bit 6 drive D's volume is readable, bit 7
//          the name comes with the other call kind (and is declined)
//   6-13   a number: file times, the host's version, serial numbers, drives
//   then sections split at 0x1F: the name called (none: the identification
//   request; a name of the sample table, under its kind; any other name,
//   declined), the parameters (split at 0x00), the host's expansion, the
//   clipboard text and drive D's label, the standard input's bytes, one
//   more registry value NAME=DATA.
// In the text sections a byte is a unit, except 0xFF L H (the unit H*256+L)
// and 0xFE N C (C repeated 16*N times, for texts at the limits).
//
// After each call: the result code is 1 or -1 (0 for the other kind),
// nothing the module took is still held, no heap call went to a null heap,
// a function's value is NUL-terminated within 1024 units, a command left the
// result buffer alone, and the parameters are unchanged. Writes past a
// buffer are AddressSanitizer's to find.
//
// The platform is the recording fake with its call log off. Its world and
// hooks are set once; a run changes only numbers and reused containers, and
// gives back before it ends what it added, so that libFuzzer sees no block
// outlive a run and has no leak to look for.
#include "module/module_api.h"
#include "module/params.h"
#include "platform/testing/fake_platform.h"
#include "platform/win32_emulation/file_time.h"
#include "tests/support/sample_calls.h"
#include "tests/support/sample_world.h"
#include "tests/support/test_call.h"
#include "tests/support/era_boundary_hook.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

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

// What the hooks read: the run's standard input and the world's switches.
struct World {
    const uint8_t* input;
    size_t inputSize;
    size_t inputRead;
    bool inputIsPipe;
    uint32_t pausesBeforeClose;
    bool ansiIsDoubleByte; // lead bytes 0x81-0x9F and 0xE0-0xFC
    bool fileOpens;
    bool fileFound;
    bool pathsExist;
    os::FILETIME times[3];
};
World g_world;

constexpr uintptr_t FILE_HANDLE = 0xF11E;
constexpr uintptr_t SEARCH = 0x5EA8;

// The world every run shares: the sample world, with hooks over g_world.
void BuildWorld() {
    BuildSampleWorld();
    fake::Platform& s = fake::State();
    s.logCalls = false;
    // A pipe's writer closes it after a few pauses; a drained pipe then fails.
    s.readFile = [](os::HANDLE, void* buffer, os::DWORD bytesToRead, os::DWORD* bytesRead) {
        size_t left = g_world.inputSize - g_world.inputRead;
        if (left == 0 && g_world.inputIsPipe) return os::BOOL(0);
        size_t n = bytesToRead < left ? bytesToRead : left;
        memcpy(buffer, g_world.input + g_world.inputRead, n);
        g_world.inputRead += n;
        *bytesRead = static_cast<os::DWORD>(n);
        return os::BOOL(1);
    };
    s.peekNamedPipe = [](os::HANDLE, os::DWORD* available) {
        size_t left = g_world.inputSize - g_world.inputRead;
        if (!g_world.inputIsPipe ||
            (left == 0 && fake::Count(fake::Op::Sleep) >= g_world.pausesBeforeClose))
            return os::BOOL(0);
        *available = static_cast<os::DWORD>(left);
        return os::BOOL(1);
    };
    // Reads the first and last byte, so a count beyond the buffer shows.
    s.writeFile = [](os::HANDLE, const void* buffer, os::DWORD bytes, os::DWORD* written) {
        const volatile uint8_t* p = static_cast<const uint8_t*>(buffer);
        (void)p[0];
        (void)p[bytes - 1];
        *written = bytes;
        return os::BOOL(1);
    };
    s.isDBCSLeadByte = [](uint32_t codePage, uint8_t b) {
        return os::BOOL(codePage == os::CP_ACP && g_world.ansiIsDoubleByte &&
                        ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)));
    };
    s.createFile = [](const char16_t* name) {
        return g_world.fileOpens && name[0] != 0 ? reinterpret_cast<os::HANDLE>(FILE_HANDLE)
                                                 : os::InvalidHandle();
    };
    s.getFileInformation = [](os::HANDLE file, os::BY_HANDLE_FILE_INFORMATION* info) {
        if (file != reinterpret_cast<os::HANDLE>(FILE_HANDLE)) return os::BOOL(0);
        memset(info, 0, sizeof *info);
        info->ftCreationTime = g_world.times[0];
        info->ftLastAccessTime = g_world.times[1];
        info->ftLastWriteTime = g_world.times[2];
        return os::BOOL(1);
    };
    s.findFirstFile = [](const char16_t* name, os::WIN32_FIND_DATAW* data) {
        if (!g_world.fileFound || name[0] == 0) return os::InvalidHandle();
        memset(data, 0, sizeof *data);
        data->ftCreationTime = g_world.times[0];
        data->ftLastAccessTime = g_world.times[1];
        data->ftLastWriteTime = g_world.times[2];
        return reinterpret_cast<os::HANDLE>(SEARCH);
    };
    s.fileTimeToLocal = [](const os::FILETIME* utc, os::FILETIME* local) { // UTC+9
        uint64_t ticks = FileTimeTicks(*utc);
        if (ticks >= 0x8000000000000000ull) return os::BOOL(0);
        *local = FileTimeFromTicks(ticks + 9 * 3600 * FILETIME_TICKS_PER_SECOND);
        return os::BOOL(1);
    };
    // A path exists when it begins with the letter of a drive.
    s.getFileAttributes = [](const char16_t* path) {
        char16_t letter = path[0] >= u'a' && path[0] <= u'z' ? path[0] - 32 : path[0];
        if (!g_world.pathsExist || letter < u'A' || letter > u'Z' ||
            !(fake::State().logicalDrives & (1u << (letter - u'A'))))
            return os::INVALID_FILE_ATTRIBUTES;
        return os::FILE_ATTRIBUTE_DIRECTORY;
    };
    s.version = {276, 10, 0, 19045, 2, {u'S', u'P', u'1', 0}};
    s.pipe = {};
    s.registryValues.reserve(s.registryValues.size() + 1);
}

// Gives back what a run added to the shared world.
void EndRun(bool extraValue) {
    fake::Platform& s = fake::State();
    fake::ForgetRun();
    s.volumes.erase(u'D');
    if (extraValue) s.registryValues.pop_back();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<SampleName>& names = SampleNames();
    // The sections are static, too large for the stack.
    static Section called, params, expansion, clipboard, registry;
    static char16_t registryName[SECTION_UNITS + 1];
    static const bool built = (BuildWorld(), true);
    (void)built;
    if (size < HEADER) return 0;

    const uint8_t* end = data + size;
    const uint8_t* p = DecodeSection(data + HEADER, end, &called);
    p = DecodeSection(p, end, &params);
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

    fake::Platform& s = fake::State();
    uint8_t world = data[4];
    g_world.input = inputStart;
    g_world.inputSize = inputSize;
    g_world.inputRead = 0;
    g_world.inputIsPipe = world & 1;
    g_world.ansiIsDoubleByte = world & 2;
    g_world.fileOpens = world & 4;
    g_world.fileFound = world & 8;
    g_world.pathsExist = world & 16;
    if (world & 64) ForgetEraBoundary();
    s.clipboardHasText = (world & 128) != 0;
    s.clipboardText.assign(clipboard.units);
    if (data[5] & 7) fake::FailCalls(fake::Op::OpenClipboard, 1, data[5] & 7);
    g_world.pausesBeforeClose = (data[5] >> 3) & 7;
    for (int i = 0; i < 3; ++i) {
        uint64_t ticks = number ^ (0x0101010101010101ull * static_cast<uint64_t>(i));
        g_world.times[i] = {static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
    }
    s.logicalDrives = static_cast<os::DWORD>(number >> 32) & 0x3FFFFFF;
    s.volumes[u'C'].serial = static_cast<os::DWORD>(number);
    if (data[5] & 64) {
        fake::Volume& d = s.volumes[u'D'];
        d.label.assign(clipboard.units);
        d.serial = static_cast<os::DWORD>(number >> 16);
    }
    if (data[1] < fake::OP_COUNT && fake::CanFail(static_cast<fake::Op>(data[1])))
        fake::FailNth(static_cast<fake::Op>(data[1]), (data[2] & 0x7F) + 1, (data[2] & 0x80) != 0);
    if (!(world & 32)) fake::FailNth(fake::Op::RegOpenKeyExW, 1, true); // no Eras key

    // The eras of the table, and one more value whose name ends at its first
    // '=' (a name without '=' has empty data).
    bool extraValue = registry.length > 0;
    if (extraValue) {
        size_t eq = 0;
        while (eq < registry.length && registry.units[eq] != u'=')
            ++eq;
        memcpy(registryName, registry.units, eq * sizeof(char16_t));
        registryName[eq] = 0;
        s.registryValues.push_back(
            {registryName, eq < registry.length ? registry.units + eq + 1 : u""});
    }

    uint8_t answers = data[3];
    g_answers.message = answers & 1;
    g_answers.longResult = (answers & 2) ? 1 : (answers & 4) ? 2 : 0;
    g_answers.expand = (answers & 8) != 0;
    g_answers.expansion = &expansion;
    g_answers.version = static_cast<intptr_t>(static_cast<int32_t>(number));
    if (answers & 16) g_answers.version = -g_answers.version;

    // The parameters: each ends at a zero unit.
    std::vector<std::u16string> list;
    if (params.length > 0) {
        list.emplace_back();
        for (size_t i = 0; i < params.length; ++i) {
            if (params.units[i] == 0)
                list.emplace_back();
            else
                list.back() += params.units[i];
        }
    }

    // No name asks for the identification. A name of the table is served
    // under its kind alone; any other name, under either kind, is declined.
    const std::u16string name(called.units);
    const SampleName* entry = nullptr;
    for (const SampleName& sample : names)
        if (name == sample.name) entry = &sample;
    if (name.empty()) {
        char16_t title[64];
        ModuleInfoRequest request{data[0], 0, title};
        int32_t code = ModuleEntry(nullptr, MODCALL_INFO, reinterpret_cast<intptr_t>(&request));
        if (request.selector == 0 &&
            (code != RESULT_SERVED || request.servedKinds != 192 || Length(title) != 37))
            Finding("a wrong identification");
        if (request.selector != 0 && (code != RESULT_NOT_SERVED || request.servedKinds != 0))
            Finding("an identification with a selector other than 0");
        EndRun(extraValue);
        return 0;
    }
    int32_t kind = entry != nullptr ? entry->kind : MODCALL_FUNCTION;
    bool declined = entry == nullptr || (data[5] & 128) != 0;
    // The result buffer is exactly 1024 units, where AddressSanitizer guards its end.
    TestCall record(name, list, 0xAAAA, 0);
    record.buffer[0] = 0;
    if (list.empty() && !(answers & 32)) record.call.paramList = record.paramList.c_str();
    record.host = HostInfo{Host, nullptr, nullptr, reinterpret_cast<void*>(0x1D)};
    const std::u16string paramsBefore = record.paramList;
    if (data[5] & 128) kind = MODCALL_FUNCTION + MODCALL_COMMAND - kind;
    int32_t code = record.Run(ModuleEntry, kind);
    if (declined) {
        if (code != RESULT_NOT_SERVED || fake::Count(fake::Op::GetStdHandle) != 0)
            Finding("a name served under a kind that the sample table does not give it");
        kind = MODCALL_COMMAND; // nothing may have been written
    } else if (code != RESULT_SERVED && code != RESULT_FAILED)
        Finding("a result code other than 1 or -1");
    if (s.callsOnNoHeap != 0) Finding("a heap call on no heap");
    std::string held = fake::StillOpen();
    if (!held.empty()) {
        fprintf(stderr, "still open: %s\n", held.c_str());
        Finding("something left held");
    }
    if (kind == MODCALL_FUNCTION) {
        if (record.Result().size() == RESULT_BUFFER_UNITS) Finding("a value without its NUL");
    } else {
        record.buffer[0] = 0xAAAA;
        if (!record.ResultUntouched()) Finding("a command wrote the result buffer");
    }
    if (record.paramList != paramsBefore) Finding("the parameters changed");
    EndRun(extraValue);
    return 0;
}

namespace {

// A text in the sections' coding; units that are not plain bytes as 0xFF L H.
std::string Encode(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) {
        if (unit == 0 || unit == 0x1F || unit >= 0xFE)
            out += {'\xFF', static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        else
            out += static_cast<char>(unit);
    }
    return out;
}

// Every sample call, in the sample world (standard input a pipe, files,
// searches, drive paths, the eras key, the clipboard's text; no call
// failing) and one more era, as a seed in `folder`; the printable
// words of their parameters, split at blanks and commas, into `dictionary`.
bool WriteSamples(const std::string& folder, const std::string& dictionary) {
    const char header[HEADER + 1] = "\x00\xFF\x01\x09\xBD\x0A\x4D\x3C\x2B\x1A\xF4\xE1\xD5\x01";
    // The sections after the parameters: the host's expansion, the clipboard's
    // text, standard input, one more era.
    const std::string end = "\x1F";
    const std::string world = end + "1" + end + Encode(SAMPLE_CLIPBOARD_TEXT) + end +
                              "h\xC3\xA9llo" + end +
                              Encode(u"1989 01 08=\u5E73\u6210_\u5E73_Heisei_H");
    std::string words;
    for (const SampleName& name : SampleNames()) {
        words += "\"" + Narrow(name.name) + "\"\n";
        for (size_t i = 0; i < name.calls.size(); ++i) {
            std::string seed = std::string(header, HEADER) + Encode(name.name) + end;
            for (const std::u16string& param : name.calls[i].params) {
                seed += (&param == &name.calls[i].params[0] ? "" : std::string(1, '\0')) +
                        Encode(param);
                for (size_t k = 0, stop; k < param.size(); k = stop + 1) {
                    stop = std::min(param.find_first_of(u" ,", k), param.size());
                    std::string word = Narrow(param.substr(k, stop - k));
                    if (!word.empty() && word.size() <= 24 &&
                        word.find_first_of("#\"\\") == word.npos)
                        words += "\"" + word + "\"\n";
                }
            }
            FILE* file = fopen(
                (folder + "/sample-" + Narrow(name.name) + "-" + std::to_string(i)).c_str(), "wb");
            if (file == nullptr) return false;
            seed += world;
            fwrite(seed.data(), 1, seed.size(), file);
            fclose(file);
        }
    }
    FILE* file = fopen(dictionary.c_str(), "wb");
    if (file == nullptr) return false;
    fputs(words.c_str(), file);
    return fclose(file) == 0;
}

} // namespace

// murlin_fuzz --write-seeds=DIR --write-dictionary=FILE writes the samples
// and ends; libFuzzer leaves flags that begin with "--" to the target.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    std::string seeds, dictionary;
    for (int i = 1; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (arg.rfind("--write-seeds=", 0) == 0) seeds = arg.substr(14);
        if (arg.rfind("--write-dictionary=", 0) == 0) dictionary = arg.substr(19);
    }
    if (seeds.empty() && dictionary.empty()) return 0;
    if (WriteSamples(seeds, dictionary)) exit(0);
    fprintf(stderr, "murlin_fuzz: cannot write the seeds into %s and the words into %s\n",
            seeds.c_str(), dictionary.c_str());
    exit(2);
}
