// The texts in murlin-host's trace: quoted, escaped, cut with the length shown.
#include "host/host.h"

#include <gtest/gtest.h>

#include <string>

namespace murlin_host {
namespace {

TEST(HostTraceText, QuotesEscapesAndCuts) {
    const std::u16string x200(TRACE_TEXT_UNITS, u'x');
    const std::u16string x199(TRACE_TEXT_UNITS - 1, u'x');
    const struct {
        std::u16string text;
        std::u16string shown;
    } cases[] = {
        {u"", u"\"\""},
        {u"a \u00E9 \u65E5 \U0001F600", u"\"a \u00E9 \u65E5 \U0001F600\""},
        {u"say \"hi\" \\", u"\"say \\\"hi\\\" \\\\\""},
        {u"a\nb\r\tc", u"\"a\\nb\\r\\tc\""},
        {u"\x01\x1B\x7F\x9F", u"\"\\x01\\x1B\\x7F\\x9F\""},
        // Halves of a pair that stand alone cannot be shown as they are.
        {std::u16string{0xD83D, u'x', 0xDE00}, u"\"\\uD83Dx\\uDE00\""},
        {x200, u"\"" + x200 + u"\""},
        {x200 + u"y", u"\"" + x200 + u"\"... (201 units)"},
        // A cut never parts a surrogate pair.
        {x199 + u"\U0001F600", u"\"" + x199 + u"\"... (201 units)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(c.shown), ToUtf8(TraceText(c.text))) << ToUtf8(c.text);
}

} // namespace
} // namespace murlin_host
