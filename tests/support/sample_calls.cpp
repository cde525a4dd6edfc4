#include "tests/support/sample_calls.h"

#include "module/module_api.h"

namespace {

const int32_t F = MODCALL_FUNCTION;
const int32_t C = MODCALL_COMMAND;

const std::u16string LONG_TEXT(2000, u'z');

std::vector<SampleName> Build() {
    return {
        {u"CLIPPEDTEXT", F, READS_MACHINE | ONE_AT_A_TIME, {{{}}}},
        {u"FINDDRIVE",
         F,
         READS_MACHINE,
         {{{u"Q:", u"BACKUP", u"1A2B-3C4D"}},
          {{u"C:\\Windows"}},
          {{u"NONE", u"!" + LONG_TEXT}},
          {{u"Q:", u"!X:"}}}},
        {u"NOWDATETIME",
         F,
         0,
         {{{u"Y-N-D H:M:S I w W t T g G jS JH"}, READS_CLOCK},
          {{std::u16string(300, u'Y') + u"g"}, READS_CLOCK},
          {{u"G-G-G-G-G-G-G-G-G-G-G-G"}, READS_CLOCK},
          {{u"g G Y-N-D jS", u"file.txt"}},
          {{u"g Y-N-D", u"file.txt", u"c"}},
          {{u"G", u"dir*", u"a"}},
          {{u"?", u"file.txt"}}}},
        {u"STDIN", F, USES_STD_STREAMS, {{{}}, {{u"", u"utf8"}}, {{u"", u"nowait,utf8"}}}},
        {u"LEFTSTR", F, 0, {{{u"abcdef", u"3"}}, {{LONG_TEXT, u"1500"}}}},
        {u"MIDSTR", F, 0, {{{u"abcdef", u"2", u"3"}}, {{u"abcdef", u"1x3", u"1"}}}},
        {u"SUBSTRING", F, 0, {{{LONG_TEXT, u"10"}}, {{u"abcdef", u"2"}}}},
        {u"RIGHTSTR", F, 0, {{{u"abcdef", u"2"}}, {{LONG_TEXT, u"1200"}}}},
        {u"PADDING",
         F,
         0,
         {{{u"42", u"5", u"0"}}, {{u"42", u"1023", u"0"}}, {{u"abc", u"4294967295", u"xyz"}}}},
        {u"VERSION", F, READS_MACHINE, {{{}}, {{u"n"}}, {{u"w"}}, {{u"b"}}, {{u"o"}}}},
        {u"ROTATECUSTOMIZE", C, 0, {{{u"view", u"list", u"icons"}}}},
        {u"ROTATEEXECUTE", C, 0, {{{u"menu", u"C1", u"C2"}}, {{u"menu"}}}},
        {u"STDOUT",
         C,
         USES_STD_STREAMS,
         {{{u"-utf8", u"-bom", u"h\u00E9llo", u"-crlf", std::u16string(5000, u'l')}},
          {{u"text", u"-lf"}}}},
        {u"STDERR", C, USES_STD_STREAMS, {{{u"failed:", u"\u00E9\u20AC", u"-lf"}}}},
    };
}

} // namespace

const std::vector<SampleName>& SampleNames() {
    static const std::vector<SampleName> names = Build();
    return names;
}
