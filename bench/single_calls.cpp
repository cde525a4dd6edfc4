// The single calls and their plain C baselines. Baselines are compiled as
// the module is (optimised) and called through a pointer, as the module's
// entry is.
#include "bench/single_calls.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

namespace {

#define PLAIN __attribute__((noinline, noipa))

PLAIN uint32_t PlainDecimal(const char16_t*& p) {
    while (*p == u' ')
        ++p;
    uint32_t n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        n = n * 10 + static_cast<uint32_t>(*p - u'0');
    return n;
}

PLAIN int32_t PlainLeftStr(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t n = PlainDecimal(p);
    if (n > length) n = length;
    for (size_t i = 0; i < n; ++i)
        out[i] = params[i];
    out[n] = 0;
    return 1;
}

PLAIN int32_t PlainMidStr(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t index = PlainDecimal(p);
    ++p;
    size_t n = PlainDecimal(p);
    if (index > length) index = length;
    if (n > length - index) n = length - index;
    for (size_t i = 0; i < n; ++i)
        out[i] = params[index + i];
    out[n] = 0;
    return 1;
}

PLAIN int32_t PlainPadding(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t width = PlainDecimal(p);
    char16_t pad = p[1];
    size_t padCount = length < width ? width - length : 0;
    for (size_t i = 0; i < padCount; ++i)
        out[i] = pad;
    for (size_t i = 0; i < length; ++i)
        out[padCount + i] = params[i];
    out[padCount + length] = 0;
    return 1;
}

PLAIN int32_t PlainNowDateTime(const char16_t*, char16_t* out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    localtime_r(&now.tv_sec, &parts);
    char text[64];
    size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    out[n] = 0;
    return 1;
}

// Drive C: is the root directory, unless MURLIN_DRIVES says otherwise.
PLAIN int32_t PlainFindDrive(const char16_t*, char16_t* out) {
    const char* drives = getenv("MURLIN_DRIVES");
    struct stat info;
    if (drives != nullptr || stat("/", &info) != 0) return -1;
    out[0] = u'C';
    out[1] = u':';
    out[2] = 0;
    return 1;
}

PLAIN int32_t PlainVersion(const char16_t*, char16_t* out) {
    struct utsname names;
    if (uname(&names) != 0) return -1;
    unsigned parts[3] = {0, 0, 0};
    const char* p = names.release;
    for (unsigned& part : parts) {
        for (; *p >= '0' && *p <= '9'; ++p)
            part = part * 10 + static_cast<unsigned>(*p - '0');
        if (*p == '.') ++p;
    }
    char text[64];
    int n = snprintf(text, sizeof text, "%u.%02u(%u )", parts[0], parts[1], parts[2]);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    out[n < 0 ? 0 : n] = 0;
    return 1;
}

} // namespace

const std::vector<SingleCall>& SingleCalls() {
    static const std::vector<SingleCall> calls = {
        {"LEFTSTR", u"LEFTSTR", {u"abcdef", u"3"}, PlainLeftStr, u"abc", false},
        {"MIDSTR", u"MIDSTR", {u"abcdef", u"2", u"3"}, PlainMidStr, u"cde", false},
        {"PADDING", u"PADDING", {u"42", u"5", u"0"}, PlainPadding, u"00042", false},
        {"NOWDATETIME", u"NOWDATETIME", {u"Y-N-D H:M:S"}, PlainNowDateTime, nullptr, true},
        {"FINDDRIVE", u"FINDDRIVE", {u"C:"}, PlainFindDrive, u"C:", false},
        {"VERSION", u"VERSION", {u"w"}, PlainVersion, nullptr, false},
    };
    return calls;
}

const SingleCall* FindSingleCall(const char* label) {
    for (const SingleCall& row : SingleCalls())
        if (strcmp(row.label, label) == 0) return &row;
    return nullptr;
}

bool ValuesAgree(const SingleCall& row, const std::u16string& moduleValue,
                 const std::u16string& plainValue) {
    if (row.value != nullptr) return moduleValue == row.value && plainValue == row.value;
    if (row.clock) return moduleValue.size() == plainValue.size();
    return moduleValue == plainValue;
}

void PlainStdOut(const char16_t* text, size_t units) {
    char out[1024];
    for (size_t at = 0; at < units; at += 1024) {
        for (size_t i = 0; i < 1024; ++i)
            out[i] = static_cast<char>(text[at + i]);
        for (size_t done = 0; done < 1024;) {
            ssize_t w = write(1, out + done, 1024 - done);
            if (w <= 0) break;
            done += static_cast<size_t>(w);
        }
    }
}

std::u16string StdOutText(size_t units) {
    std::u16string text(units, u'a');
    for (size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>(u'a' + i % 26);
    return text;
}
