// LEFTSTR, MIDSTR/SUBSTRING, RIGHTSTR and PADDING. Lengths, indexes and widths
// count UTF-16 units; the slicers compare unsigned, PADDING signed.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"

namespace {

constexpr char16_t LEFTSTR_USAGE[] = u"%*LeftStr(\"text\",length)";
constexpr char16_t MIDSTR_USAGE[] = u"%*MidStr(\"text\",index[,length])";
constexpr char16_t RIGHTSTR_USAGE[] = u"%*RightStr(\"text\",length)";
constexpr char16_t PADDING_USAGE[] = u"%*Pagging(\"text\",length[,\"pad letter\"])";

// MIDSTR without a length takes the rest of the text.
constexpr uint32_t MIDSTR_WHOLE_REST = 0x7FFF0000u;
// PADDING writes at most this many units before its NUL.
constexpr int32_t PADDING_LIMIT = 1023;

uint32_t Smaller(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

} // namespace

int32_t SliceLeft(HostInfo* host, ModuleCall* call) {
    if (call->paramCount != 2) {
        ShowUsage(host, LEFTSTR_USAGE);
        return RESULT_FAILED;
    }
    const char16_t* text = call->paramList;
    size_t textLength = TextLength(text);
    uint32_t length = static_cast<uint32_t>(textLength);
    const char16_t* cursor = text + textLength + 1; // the next parameter, not measured again
    uint32_t n = Smaller(ReadDecimal(cursor), length);
    DeliverSlice(host, call, text, n);
    return RESULT_SERVED;
}

int32_t SliceMid(HostInfo* host, ModuleCall* call) {
    if (call->paramCount < 2) {
        ShowUsage(host, MIDSTR_USAGE);
        return RESULT_FAILED;
    }
    const char16_t* text = call->paramList;
    size_t textLength = TextLength(text);
    uint32_t length = static_cast<uint32_t>(textLength);
    const char16_t* cursor = text + textLength + 1; // the next parameter, not measured again
    uint32_t index = Smaller(ReadDecimal(cursor), length);
    uint32_t count = MIDSTR_WHOLE_REST;
    if (call->paramCount >= 3) {
        // One unit on from where the index stopped: the third parameter when
        // the second holds only blanks and digits.
        ++cursor;
        count = ReadDecimal(cursor);
    }
    count = Smaller(count, length - index);
    DeliverSlice(host, call, text + index, count);
    return RESULT_SERVED;
}

int32_t SliceRight(HostInfo* host, ModuleCall* call) {
    if (call->paramCount != 2) {
        ShowUsage(host, RIGHTSTR_USAGE);
        return RESULT_FAILED;
    }
    const char16_t* text = call->paramList;
    size_t textLength = TextLength(text);
    uint32_t length = static_cast<uint32_t>(textLength);
    const char16_t* cursor = text + textLength + 1; // the next parameter, not measured again
    uint32_t n = Smaller(ReadDecimal(cursor), length);
    DeliverSlice(host, call, text + (length - n), n);
    return RESULT_SERVED;
}

int32_t PadLeft(HostInfo* host, ModuleCall* call) {
    if (call->paramCount < 2) {
        ShowUsage(host, PADDING_USAGE);
        return RESULT_FAILED;
    }
    const char16_t* text = call->paramList;
    const char16_t* cursor = NextParam(text);
    int32_t width = static_cast<int32_t>(ReadDecimal(cursor));
    char16_t pad = u' ';
    if (call->paramCount >= 3) {
        pad = cursor[1];
        // A NUL pad unit would end the value before the text: pad with blanks.
        if (pad == 0) pad = u' ';
    }
    if (width > PADDING_LIMIT) width = PADDING_LIMIT;
    size_t textLength = TextLength(text);
    int32_t length = textLength > static_cast<size_t>(PADDING_LIMIT)
                         ? PADDING_LIMIT
                         : static_cast<int32_t>(textLength);
    char16_t* out = call->resultBuffer;
    int32_t padCount = length < width ? width - length : 0;
    for (int32_t i = 0; i < padCount; ++i)
        out[i] = pad;
    CopyUnits(out + padCount, text, static_cast<size_t>(length));
    return RESULT_SERVED;
}
