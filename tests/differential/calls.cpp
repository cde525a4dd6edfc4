#include "tests/differential/calls.h"
#include "tests/support/ascii.h"
#include "tests/support/sample_calls.h"

#include <stdio.h>

#include <type_traits>

namespace differential {

const DatedEntry DATED_ENTRIES[] = {
    {u"plain.txt", "plain.txt", false},
    {u"\u00e9t\u00e9.txt", "\xc3\xa9t\xc3\xa9.txt", false},
    {u"\u65e5\u672c.txt", "\xe6\x97\xa5\xe6\x9c\xac.txt", false},
    {u"folder", "folder", true},
};
const uint32_t DATED_ENTRY_COUNT = sizeof DATED_ENTRIES / sizeof DATED_ENTRIES[0];

namespace {

// splitmix64: integer arithmetic only, so every build draws the same numbers.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
    uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }
    bool Percent(uint32_t p) { return Below(100) < p; }
    template <typename T, size_t N> const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

  private:
    uint64_t state_;
};

// Lengths just below, at and above the limits of the module: the value limit
// (1008), the result buffer (1023, 1024), the texts that fill the 4096-byte
// output buffer in UTF-8 (1365, 2048 units) or in one byte a unit (4096), and
// texts of several pieces (8192), measured in more than one window of 8192
// units (9216, 16384).
uint32_t Length(Random& r) {
    static const uint32_t limits[] = {1008, 1023, 1024, 1365, 2048, 4096, 8192, 9216, 16384};
    if (r.Percent(55)) return r.Below(r.Percent(70) ? 12 : 200);
    return r.Pick(limits) - 6 + r.Below(13);
}

void AppendCodePoint(std::u16string& text, uint32_t c) {
    if (c < 0x10000) {
        text += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (c >> 10));
        text += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// The letters of Windows-1252's 0x80-0x9F; the C1 controls fill its holes.
const char16_t WINDOWS_1252_LETTERS[] = u"\u20ac\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030"
                                        u"\u0160\u2039\u0152\u017d\u2018\u2019\u201c\u201d\u2022"
                                        u"\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\u017e\u0178";

enum Script : uint32_t {
    ASCII,
    LATIN1,
    CP1252_LETTER,
    C1_CONTROL,
    BEST_FIT_LETTER, // Latin Extended-A (U+0100, U+0141), full-width forms (U+FF21)
    NO_BEST_FIT,     // kana (U+3042), Cyrillic, Greek
    CJK,
    ASTRAL,
    LONE_HIGH,
    LONE_LOW,
    SCRIPT_COUNT,
};

uint32_t CodePoint(Random& r, uint32_t script) {
    switch (script) {
    case ASCII:
        return r.Between(0x20, 0x7E);
    case LATIN1:
        return r.Between(0xA0, 0xFF);
    case CP1252_LETTER:
        return WINDOWS_1252_LETTERS[r.Below(27)];
    case C1_CONTROL:
        return r.Between(0x80, 0x9F);
    case BEST_FIT_LETTER:
        return r.Percent(60) ? r.Between(0x100, 0x17F) : r.Between(0xFF01, 0xFF5E);
    case NO_BEST_FIT:
        return r.Percent(50) ? r.Between(0x3041, 0x3096) : r.Between(0x370, 0x44F);
    case CJK:
        return r.Between(0x4E00, 0x9FFF);
    case ASTRAL:
        return r.Percent(50) ? r.Between(0x1F600, 0x1F64F) : r.Between(0x10000, 0x10FFFF);
    case LONE_HIGH:
        return r.Between(0xD800, 0xDBFF);
    default:
        return r.Between(0xDC00, 0xDFFF);
    }
}

// A text of about `length` units in one to three scripts; a third of the texts
// are plain ASCII.
std::u16string Text(Random& r, uint32_t length) {
    uint32_t scripts[3] = {ASCII, ASCII, ASCII};
    if (!r.Percent(33))
        for (uint32_t& s : scripts)
            s = r.Below(SCRIPT_COUNT);
    std::u16string text;
    while (text.size() < length) {
        AppendCodePoint(text, CodePoint(r, scripts[r.Below(3)]));
    }
    return text;
}

std::u16string Decimal(uint64_t value) {
    return U(std::to_string(value));
}

// A number parameter: near the text's length or a limit, wrapping beyond 32
// bits, signed, with blanks before or text after it.
std::u16string Number(Random& r, uint32_t textLength) {
    static const uint64_t specials[] = {0,          1,          1008,       1009,
                                        1023,       1024,       2147483647, 2147483648,
                                        4294967295, 4294967296, 4294967297, 99999999999};
    std::u16string number;
    if (r.Percent(8)) number += r.Percent(50) ? u"  " : u" ";
    uint32_t choice = r.Below(10);
    if (choice < 4)
        number += Decimal(r.Below(textLength + 3));
    else if (choice < 6)
        number += Decimal(textLength + r.Below(5) - 2);
    else if (choice < 8)
        number += Decimal(r.Pick(specials));
    else if (choice == 8)
        number += r.Percent(50) ? u"-2" : u"+5";
    if (r.Percent(8)) number += r.Percent(50) ? u" " : u"x3";
    return number;
}

std::u16string ShortText(Random& r) {
    return Text(r, r.Below(8));
}

void Slicing(Random& r, Call& call) {
    bool two = call.name[0] == u'L' || call.name[0] == u'R';
    uint32_t count = r.Percent(90) ? (two ? 2 : r.Between(2, 4)) : r.Below(5);
    std::u16string text = Text(r, Length(r));
    uint32_t length = static_cast<uint32_t>(text.size());
    for (uint32_t i = 0; i < count; ++i) {
        if (i == 0)
            call.params.push_back(text);
        else if (call.name[0] == u'P' && i == 2 && r.Percent(70))
            call.params.push_back(ShortText(r)); // the pad letter, or an empty one
        else
            call.params.push_back(Number(r, length));
    }
}

// A format of letters, other text and era letters, sometimes long enough to
// be cut at 1023 units, sometimes a usage request.
void NowDateTime(Random& r, Call& call) {
    static const char16_t letters[] = u"YyNnDdHhUuMmSsItTwWgGjJ";
    std::u16string format;
    if (r.Percent(5)) format += r.Pick({u'-', u'/', u'?'});
    uint32_t length = r.Percent(80) ? r.Below(24) : r.Between(200, 1100);
    while (format.size() < length) {
        if (r.Percent(70))
            format += letters[r.Below(sizeof letters / sizeof letters[0] - 1)];
        else
            format += Text(r, 1);
    }
    call.datedEntry = static_cast<int32_t>(r.Below(DATED_ENTRY_COUNT));
    const DatedEntry& entry = DATED_ENTRIES[call.datedEntry];
    std::u16string name = entry.name;
    if (r.Percent(30))
        name[1] = r.Percent(50) ? u'?' : u'*'; // a pattern that matches it alone
    else if (entry.directory && r.Percent(50))
        name += u'\\'; // a folder as file managers name it
    // 1980 to 2037, to the 100 ns.
    const uint64_t from = 119600064000000000ull, span = 21184ull * 86400 * 10000000;
    call.writeTime = from + r.Next() % span;
    call.accessTime = from + r.Next() % span;
    call.params = {format, name};
    if (r.Percent(50)) {
        call.params.push_back(r.Percent(50) ? u"a" : u"a" + ShortText(r));
        if (r.Percent(10)) call.params.push_back(ShortText(r));
    }
}

void StdOut(Random& r, Call& call) {
    static const char16_t* words[] = {u"-utf8", u"-bom", u"-crlf", u"-lf"};
    static const char16_t* nearWords[] = {u"-UTF8", u"-Lf", u"utf8", u"-crlf ", u" -bom"};
    uint32_t count = r.Percent(3) ? 0 : r.Between(1, 6);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t choice = r.Below(100);
        if (choice < 30)
            call.params.push_back(r.Pick(words));
        else if (choice < 35)
            call.params.push_back(r.Pick(nearWords));
        else
            call.params.push_back(Text(r, Length(r)));
    }
    // A declined message would go to a message box, which the Linux build
    // shows on standard error, the stream under test.
    call.messageAnswer = 1;
}

// Bytes that are valid UTF-8, every kind of invalid UTF-8, zero bytes and
// high Windows-1252 bytes.
std::string Bytes(Random& r, uint32_t length) {
    std::string bytes;
    auto cont = [&r] { return static_cast<char>(r.Between(0x80, 0xBF)); };
    auto put = [&bytes](uint32_t b) { bytes += static_cast<char>(b); };
    bool asciiOnly = r.Percent(15);
    while (bytes.size() < length) {
        uint32_t kind = asciiOnly ? 0 : r.Below(13);
        switch (kind) {
        case 0:
            put(r.Percent(10) ? r.Pick({0x0A, 0x0D}) : r.Between(0x20, 0x7E));
            break;
        case 1:
        case 2: { // valid UTF-8
            uint32_t c;
            do
                c = CodePoint(r, r.Below(LONE_HIGH));
            while (c >= 0xD800 && c < 0xE000);
            if (c < 0x80)
                put(c);
            else if (c < 0x800)
                put(0xC0 | c >> 6), put(0x80 | (c & 0x3F));
            else if (c < 0x10000)
                put(0xE0 | c >> 12), put(0x80 | (c >> 6 & 0x3F)), put(0x80 | (c & 0x3F));
            else
                put(0xF0 | c >> 18), put(0x80 | (c >> 12 & 0x3F)), put(0x80 | (c >> 6 & 0x3F)),
                    put(0x80 | (c & 0x3F));
            break;
        }
        case 3: // overlong
            switch (r.Below(3)) {
            case 0:
                put(r.Pick({0xC0, 0xC1}));
                bytes += cont();
                break;
            case 1:
                put(0xE0);
                put(r.Between(0x80, 0x9F));
                bytes += cont();
                break;
            default:
                put(0xF0);
                put(r.Between(0x80, 0x8F));
                bytes += cont();
                bytes += cont();
            }
            break;
        case 4:
            put(0xED);
            put(r.Between(0xA0, 0xBF));
            bytes += cont();
            break; // a surrogate
        case 5:    // above U+10FFFF
            put(r.Percent(50) ? 0xF4 : r.Between(0xF5, 0xF7));
            put(r.Between(0x90, 0xBF));
            bytes += cont();
            bytes += cont();
            break;
        case 6:
            bytes += cont();
            break; // a lone continuation byte
        case 7: {  // a sequence cut short
            uint32_t lead = r.Below(3);
            put(lead == 0   ? r.Between(0xC2, 0xDF)
                : lead == 1 ? r.Between(0xE1, 0xEC)
                            : r.Between(0xF1, 0xF3));
            for (uint32_t n = r.Below(lead + 1); n > 0; --n)
                bytes += cont();
            break;
        }
        case 8:
            put(r.Between(0xF5, 0xFF));
            break;
        case 9:
            put(0);
            break;
        default:
            put(r.Between(0x80, 0xFF));
            break;
        }
    }
    return bytes;
}

void StdIn(Random& r, Call& call) {
    static const char16_t* words[] = {u"utf8", u"-utf8",  u"nowait",   u"utf8 nowait",
                                      u"UTF8", u"NoWait", u"xnowaitx", u""};
    uint32_t count = r.Below(4);
    for (uint32_t i = 0; i < count; ++i)
        call.params.push_back(i == 0 || r.Percent(10) ? ShortText(r) : r.Pick(words));
    call.input = Bytes(r, r.Percent(5) ? 0 : Length(r));
}

// The id or a value: mostly short, sometimes long enough that the formatted
// macro text or command line is cut at 1023 units.
std::u16string RotationText(Random& r) {
    return r.Percent(10) ? Text(r, r.Between(1000, 1030)) : ShortText(r);
}

void Rotation(Random& r, Call& call) {
    bool execute = std::u16string(call.name) == u"ROTATEEXECUTE";
    uint32_t count = r.Percent(92) ? r.Between(2, 6) : r.Below(2);
    for (uint32_t i = 0; i < count; ++i)
        call.params.push_back(RotationText(r));
    if (r.Percent(15) && count > 2) call.params[r.Between(1, count - 1)] = call.params[1];
    uint32_t choice = r.Below(10);
    if (choice < 2) {
        call.expansion = r.Percent(50) ? u"" : Text(r, r.Percent(50) ? 5 : 1500);
    } else if (execute) {
        static const char16_t* stored[] = {u" 2", u"2abc", u"4294967295", u"4294967297", u"-1"};
        call.expansion = choice < 8 ? Decimal(r.Below(count + 2)) : r.Pick(stored);
    } else if (count > 1) {
        call.expansion = call.params[r.Between(1, count - 1)];
    }
    call.executeAnswer = r.Below(3);
}

bool IsNumber(const std::u16string& text) {
    for (char16_t unit : text)
        if (unit < u'0' || unit > u'9') return false;
    return !text.empty();
}

// A sample call of the name, each parameter kept, renumbered, made of its own
// units in another order and length, or replaced; now and then one parameter
// fewer or more.
void FromSamples(Random& r, const SampleName& entry, Call& call) {
    if (entry.calls.empty()) return;
    const std::vector<std::u16string>& params =
        entry.calls[r.Below(static_cast<uint32_t>(entry.calls.size()))].params;
    uint32_t firstLength = params.empty() ? 0 : static_cast<uint32_t>(params[0].size());
    for (const std::u16string& param : params) {
        uint32_t choice = r.Below(10);
        if (choice < 4) {
            call.params.push_back(param);
        } else if (choice < 6 && IsNumber(param)) {
            call.params.push_back(Number(r, firstLength));
        } else if (choice < 8 && !param.empty()) {
            std::u16string mixed;
            for (uint32_t n = r.Below(2 * static_cast<uint32_t>(param.size()) + 2); n > 0; --n)
                mixed += param[r.Below(static_cast<uint32_t>(param.size()))];
            call.params.push_back(mixed);
        } else {
            call.params.push_back(Text(r, Length(r)));
        }
    }
    if (r.Percent(10) && !call.params.empty()) call.params.pop_back();
    if (r.Percent(10)) call.params.push_back(ShortText(r));
}

// The names with a generator of their own, which knows their limits and
// words; every other name of the table is called through FromSamples.
struct Generator {
    const char16_t* name;
    void (*make)(Random& r, Call& call);
};
const Generator GENERATORS[] = {
    {u"LEFTSTR", Slicing},
    {u"RIGHTSTR", Slicing},
    {u"MIDSTR", Slicing},
    {u"SUBSTRING", Slicing},
    {u"PADDING", Slicing},
    {u"NOWDATETIME", NowDateTime},
    {u"STDOUT", StdOut},
    {u"STDERR", StdOut},
    {u"STDIN", StdIn},
    {u"ROTATEEXECUTE", Rotation},
    {u"ROTATECUSTOMIZE", Rotation},
};

const Generator* GeneratorOf(const char16_t* name) {
    for (const Generator& generator : GENERATORS)
        if (std::u16string(generator.name) == name) return &generator;
    return nullptr;
}

// The names of the table whose answers do not depend on the machine. A name
// with calls that read the clock is compared only through a generator of its
// own, which can make its answers independent of the moment.
std::vector<const SampleName*> ComparedNames() {
    std::vector<const SampleName*> names;
    for (const SampleName& entry : SampleNames()) {
        uint32_t traits = entry.traits;
        for (const SampleCall& sample : entry.calls)
            traits |= sample.traits;
        if (!(traits & READS_MACHINE) && (!(traits & READS_CLOCK) || GeneratorOf(entry.name)))
            names.push_back(&entry);
    }
    return names;
}

// Printable ASCII as it is, everything else in `form`.
template <typename Text> std::string Escape(const Text& text, const char* form) {
    std::string out;
    for (auto c : text) {
        auto unit = static_cast<std::make_unsigned_t<typename Text::value_type>>(c);
        if (unit >= 0x20 && unit < 0x7F && unit != '\\' && unit != '|') {
            out += static_cast<char>(unit);
        } else {
            char escape[8];
            snprintf(escape, sizeof escape, form, static_cast<unsigned>(unit));
            out += escape;
        }
    }
    return out;
}

} // namespace

Call MakeCall(uint64_t seed, uint32_t index) {
    static const std::vector<const SampleName*> names = ComparedNames();
    Random r(seed * 0x100000001B3ull ^ index);
    r.Next();
    Call call;
    call.messageAnswer = r.Pick({0, 1, 1, 2});
    call.longAnswer = r.Pick({0, 1, 1, 2});
    const SampleName& entry = *names[r.Below(static_cast<uint32_t>(names.size()))];
    call.name = entry.name;
    call.kind = entry.kind;
    if (const Generator* generator = GeneratorOf(entry.name))
        generator->make(r, call);
    else
        FromSamples(r, entry, call);
    return call;
}

std::string EscapeUnits(const std::u16string& text) {
    return Escape(text, "\\u%04X");
}

std::string EscapeBytes(const std::string& bytes) {
    return Escape(bytes, "\\x%02X");
}

std::string DescribeInput(const Call& call) {
    std::string out;
    for (const std::u16string& param : call.params)
        out += EscapeUnits(param) + "|";
    char numbers[160];
    snprintf(numbers, sizeof numbers, " times %llu %llu answers %d %d %d expand ",
             static_cast<unsigned long long>(call.writeTime),
             static_cast<unsigned long long>(call.accessTime), static_cast<int>(call.executeAnswer),
             static_cast<int>(call.messageAnswer), static_cast<int>(call.longAnswer));
    out += numbers + EscapeUnits(call.expansion);
    if (!call.input.empty()) out += " stdin " + EscapeBytes(call.input);
    return out;
}

} // namespace differential
