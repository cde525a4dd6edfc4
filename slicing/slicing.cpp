// LEFTSTR, MIDSTR/SUBSTRING, RIGHTSTR and PADDING. Lengths, indexes and widths
// count UTF-16 units; the slicers compare unsigned, PADDING signed.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"

namespace {

constexpr char16_t LEFTSTR_USAGE[] = u"%*LeftStr(\"text\",length)";
constexpr char16_t MIDSTR_USAGE[] = u"%*MidStr(\"text\",index[,length])";
constexpr char16_t RIGHTSTR_USAGE[] = u"%*RightStr(\"text\",length)";
// "Pagging" is the usage text as users know it; kept as it stands.
constexpr char16_t PADDING_USAGE[] = u"%*Pagging(\"text\",length[,\"pad letter\"])";

// MIDSTR without a length takes the rest of the text.
constexpr uint32_t MIDSTR_WHOLE_REST = 0x7FFF0000u;
// PADDING writes at most this many units before its NUL.
constexpr int32_t PADDING_LIMIT = 1023;

uint32_t Smaller(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

// Parameter 1, its length, and parameter 2 read as a number no larger than
// that length, the cursor left where the number stopped.
struct TextAndNumber {
    const char16_t* text;
    uint32_t length;
    const char16_t* cursor;
    uint32_t number;
};

// LEFTSTR and RIGHTSTR are short and called often: compiled as one piece,
// with the text measure and the copy they call built in.
#define MURLIN_ONE_PIECE __attribute__((flatten))

TextAndNumber ReadTextAndNumber(const ModuleCall* call) {
    TextAndNumber read;
    read.text = call->paramList;
    read.length = static_cast<uint32_t>(TextLength(read.text));
    read.cursor = read.text + read.length + 1; // the next parameter, not measured again
    read.number = Smaller(ReadDecimal(read.cursor), read.length);
    return read;
}

// LEFTSTR and RIGHTSTR: that many units from the start or the end. Each
// has a copy of its own, made for its end.
template <bool fromRight>
int32_t SliceEnd(HostInfo* host, ModuleCall* call, const char16_t* usage) {
    if (call->paramCount != 2) return FailWithUsage(host, usage);
    TextAndNumber read = ReadTextAndNumber(call);
    const char16_t* start = fromRight ? read.text + (read.length - read.number) : read.text;
    DeliverSlice(host, call, start, read.number);
    return RESULT_SERVED;
}

} // namespace

MURLIN_ONE_PIECE int32_t HANDLER_CONV LeftStr(HostInfo* host, int32_t, ModuleCall* call) {
    return SliceEnd<false>(host, call, LEFTSTR_USAGE);
}

int32_t HANDLER_CONV MidStr(HostInfo* host, int32_t, ModuleCall* call) {
    if (call->paramCount < 2) return FailWithUsage(host, MIDSTR_USAGE);
    TextAndNumber read = ReadTextAndNumber(call);
    uint32_t index = read.number;
    uint32_t count = MIDSTR_WHOLE_REST;
    if (call->paramCount >= 3) {
        // One unit on from where the index stopped: the third parameter when
        // the second holds only blanks and digits.
        ++read.cursor;
        count = ReadDecimal(read.cursor);
    }
    count = Smaller(count, read.length - index);
    DeliverSlice(host, call, read.text + index, count);
    return RESULT_SERVED;
}

MURLIN_ONE_PIECE int32_t HANDLER_CONV RightStr(HostInfo* host, int32_t, ModuleCall* call) {
    return SliceEnd<true>(host, call, RIGHTSTR_USAGE);
}

int32_t HANDLER_CONV Padding(HostInfo* host, int32_t, ModuleCall* call) {
    if (call->paramCount < 2) return FailWithUsage(host, PADDING_USAGE);
    const char16_t* text = call->paramList;
    size_t textLength = TextLength(text);
    const char16_t* cursor = text + textLength + 1; // the width, the text measured once
    int32_t width = static_cast<int32_t>(ReadDecimal(cursor));
    char16_t pad = u' ';
    if (call->paramCount >= 3) {
        // One unit on from where the width's reading stopped, which may lie inside
        // the second parameter: the pad as users know it; kept as it stands.
        pad = cursor[1];
        // A NUL pad unit would end the value before the text: pad with blanks.
        if (pad == 0) pad = u' ';
    }
    if (width > PADDING_LIMIT) width = PADDING_LIMIT;
    int32_t length = textLength > static_cast<size_t>(PADDING_LIMIT)
                         ? PADDING_LIMIT
                         : static_cast<int32_t>(textLength);
    char16_t* out = call->resultBuffer;
    int32_t padCount = length < width ? width - length : 0;
    FillUnits(out, pad, static_cast<size_t>(padCount));
    CopyUnits(out + padCount, text, static_cast<size_t>(length));
    return RESULT_SERVED;
}
