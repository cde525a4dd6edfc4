// *StdOut and *StdErr: texts, byte order marks and line ends written to the
// host's standard output or error, in the ANSI code page or UTF-8.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"
#include "platform/platform.h"

namespace {

constexpr int32_t OUTPUT_BUFFER_SIZE = 4096; // bytes
// A text too long for one conversion goes out in pieces of this many units.
constexpr size_t CONVERSION_PIECE_UNITS = 1024;
constexpr size_t CANNOT_FIT_UNITS = 2 * OUTPUT_BUFFER_SIZE;

// "*stdxxx" for both commands is the usage text as users know it; kept as it stands.
const char16_t USAGE[] = u"*stdxxx [-utf8,[-bom]]\"text\"[,-crlf][,-lf]";

constexpr char BOM[] = {'\xEF', '\xBB', '\xBF'};
constexpr char CRLF[] = {'\r', '\n'};
constexpr char LF[] = {'\n'};

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Writes every byte, fetching the handle anew for each write; a short write
// is followed by one for the rest. A failed write, or one that takes
// nothing, gives up silently.
void WriteAll(os::DWORD standardId, const char* bytes, int32_t count) {
    while (count > 0) {
        os::HANDLE handle = os::GetStdHandle(standardId);
        os::DWORD written = 0;
        if (!os::WriteFile(handle, bytes, static_cast<os::DWORD>(count), &written, nullptr)) return;
        if (written == 0 || written > static_cast<os::DWORD>(count)) return;
        bytes += written;
        count -= static_cast<int32_t>(written);
    }
}

// The fixed bytes go out through the output buffer like converted text, so
// every WriteFile of the call is given that one buffer.
void WriteFixed(os::DWORD standardId, char* output, const char* bytes, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        output[i] = bytes[i];
    WriteAll(standardId, output, count);
}

int32_t Convert(uint32_t codePage, const char16_t* text, int32_t units, char* output) {
    return os::WideCharToMultiByte(codePage, 0, text, units, output, OUTPUT_BUFFER_SIZE, nullptr,
                                   nullptr);
}

void WriteText(os::DWORD standardId, uint32_t codePage, const char16_t* text, char* output) {
    // A text is measured a window of CANNOT_FIT_UNITS at a time, just ahead
    // of its conversion, so that its units are still at hand when they are
    // converted. `known` units are certainly text; when `whole`, they are
    // all of it.
    size_t known = TextLengthWithin(text, CANNOT_FIT_UNITS);
    bool whole = known < CANNOT_FIT_UNITS;
    // Every code page takes at least one byte for two units, so a text this
    // long cannot fit one conversion; asking would only measure it again.
    if (whole) {
        int32_t r = Convert(codePage, text, -1, output);
        if (r > 0) {
            if (r - 1 > 0) WriteAll(standardId, output, r - 1);
            return;
        }
    }
    // Too long for one conversion: pieces of at most 1024 units, none ending
    // on the first half of a surrogate pair, so that no character is split.
    for (;;) {
        if (!whole && known <= CONVERSION_PIECE_UNITS) {
            size_t more = TextLengthWithin(text + known, CANNOT_FIT_UNITS);
            known += more;
            whole = more < CANNOT_FIT_UNITS;
        }
        size_t piece = known;
        if (piece == 0) return;
        if (piece > CONVERSION_PIECE_UNITS) {
            piece = CONVERSION_PIECE_UNITS;
            if (IsHighSurrogate(text[piece - 1])) --piece;
        }
        int32_t bytes = Convert(codePage, text, static_cast<int32_t>(piece), output);
        if (bytes <= 0) return;
        WriteAll(standardId, output, bytes);
        text += piece;
        known -= piece;
    }
}

// STDOUT and STDERR: standardId is the id GetStdHandle takes.
int32_t WriteStdStream(HostInfo* host, ModuleCall* call, os::DWORD standardId) {
    if (call->paramCount < 1) return FailWithUsage(host, USAGE);
    char output[OUTPUT_BUFFER_SIZE];
    uint32_t codePage = os::CP_ACP;
    const char16_t* param = call->paramList;
    for (uint32_t i = 0; i < call->paramCount; ++i) {
        // Measured only when another parameter follows: a text may be long.
        if (i > 0) param = NextParam(param);
        if (TextEqual(param, u"-utf8"))
            codePage = os::CP_UTF8;
        else if (TextEqual(param, u"-bom"))
            WriteFixed(standardId, output, BOM, 3);
        else if (TextEqual(param, u"-crlf"))
            WriteFixed(standardId, output, CRLF, 2);
        else if (TextEqual(param, u"-lf"))
            WriteFixed(standardId, output, LF, 1);
        else
            WriteText(standardId, codePage, param, output);
    }
    return RESULT_SERVED;
}

} // namespace

int32_t HANDLER_CONV StdOut(HostInfo* host, int32_t, ModuleCall* call) {
    return WriteStdStream(host, call, os::STD_OUTPUT_HANDLE);
}

int32_t HANDLER_CONV StdErr(HostInfo* host, int32_t, ModuleCall* call) {
    return WriteStdStream(host, call, os::STD_ERROR_HANDLE);
}
