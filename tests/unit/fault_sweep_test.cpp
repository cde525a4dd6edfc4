// Every failure point of every sample call of the table under every
// condition of a Windows host: each call runs once plainly, then once for
// each call of each platform operation failing (that call alone, and that
// call and every later one), until a run in which the injected failure never
// fires. Every run must end served or failed, leave nothing open, keep its
// value inside the result buffer, raise no system box and give the host its
// error mode back, having kept the host's flags on throughout; while the
// host is called, the clipboard is closed and the host's mode is in force.
// STDIN gives its input decoded as one piece.
#include "platform/testing/fake_platform.h"
#include "tests/support/era_boundary_hook.h"
#include "tests/support/fake_log.h"
#include "tests/support/sample_calls.h"
#include "tests/support/sample_world.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdio.h>

namespace {

// Standard input: reads end after 1023 bytes, then after every 1024. UTF-8
// and then Shift_JIS, in runs whose length is prime to 1024, so that across
// eleven and then five block ends every byte of a character meets one.
std::string InputText() {
    std::string text;
    while (text.size() < 11 * 1025)
        text += std::string("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x99\x82", 9) + '\0' + 'x';
    while (text.size() < 11 * 1025 + 5 * 1025)
        text += "\x93\xFA\x96\x7B"
                "a"; // U+65E5 U+672C a
    return text;
}

enum class HostAnswers : uint8_t { AsSampled, TakingLong, Declining, Failing };

struct Condition {
    const char* name;
    void (*apply)(fake::Platform&);
    HostAnswers host = HostAnswers::AsSampled;
};

using Platform = fake::Platform;

// Every standard handle is `handle`, and no input waits behind it.
void StdHandlesAre(Platform& s, os::HANDLE handle) {
    s.getStdHandle = [handle](os::DWORD) { return handle; };
    s.pipe.waiting.clear();
}

// Drive Q: is there, and asking it fails with `error`.
void DriveQFailsWith(Platform& s, os::DWORD error) {
    s.logicalDrives |= 1u << (u'Q' - u'A');
    s.driveErrors[u'Q'] = error;
}

// What a Windows host can give the module, each as Windows documents it.
const Condition CONDITIONS[] = {
    {"the sample world", [](Platform&) {}},
    // MultiByteToWideChar and IsDBCSLeadByteEx read code page 0 as the ANSI code page.
    {"ANSI code page 1252", [](Platform& s) { s.ansiCodePage = 1252; }},
    {"ANSI code page 932", [](Platform& s) { s.ansiCodePage = 932; }},
    // "Use Unicode UTF-8": MB_PRECOMPOSED is refused (ERROR_INVALID_FLAGS), no byte leads.
    {"ANSI code page 65001", [](Platform& s) { s.ansiCodePage = os::CP_UTF8; }},
    // GetStdHandle: NULL when the process has no standard handles, as a GUI host.
    {"no standard handles", [](Platform& s) { StdHandlesAre(s, nullptr); }},
    // GetStdHandle: INVALID_HANDLE_VALUE when it fails.
    {"invalid standard handles", [](Platform& s) { StdHandlesAre(s, os::InvalidHandle()); }},
    // A console: FILE_TYPE_CHAR, a read returns the line typed, no peek.
    {"a console",
     [](Platform& s) {
         ReadsToTheEnd(s, os::FILE_TYPE_CHAR, os::ERROR_INVALID_HANDLE);
         s.pipe.waiting = "dir\r\n";
     }},
    // The NUL device: FILE_TYPE_CHAR, reads give nothing, writes vanish.
    {"the NUL device",
     [](Platform& s) {
         ReadsToTheEnd(s, os::FILE_TYPE_CHAR, os::ERROR_INVALID_FUNCTION);
         s.pipe.waiting.clear();
     }},
    // A disk file: FILE_TYPE_DISK, read to its end, then reads of nothing; no peek.
    {"a disk file",
     [](Platform& s) { ReadsToTheEnd(s, os::FILE_TYPE_DISK, os::ERROR_INVALID_FUNCTION); }},
    // An anonymous pipe whose writer keeps it open: a peek shows 0 bytes.
    {"an anonymous pipe", [](Platform& s) { s.pipe.writerOpen = true; }},
    // Once the writer has closed and all is read, peeks and reads fail: ERROR_BROKEN_PIPE.
    {"a pipe whose writer has closed", [](Platform& s) { s.pipe.writerOpen = false; }},
    // Wine's answer for a pipe of the system under it: ERROR_NOT_SUPPORTED.
    {"a pipe that refuses a peek", [](Platform& s) { RefusePeeks(s, os::ERROR_NOT_SUPPORTED); }},
    // GetClipboardData: NULL when the clipboard holds no CF_UNICODETEXT.
    {"no clipboard text", [](Platform& s) { s.clipboardHasText = false; }},
    // Another program's text need not end in a NUL within GlobalSize.
    {"unterminated clipboard text",
     [](Platform& s) { s.clipboardBlockUnits = s.clipboardText.size(); }},
    {"clipboard text longer than a value",
     [](Platform& s) { s.clipboardText = std::u16string(1500, u'q'); }},
    // OpenClipboard fails while another window has the clipboard open.
    {"the clipboard held by another thread", [](Platform& s) { s.clipboardHeldElsewhere = true; }},
    // ERROR_NOT_READY, and the critical error box unless SEM_FAILCRITICALERRORS is set.
    {"a removable drive without media", [](Platform& s) { DriveQFailsWith(s, 21); }},
    // A mapped drive whose server does not answer: ERROR_BAD_NETPATH, no box.
    {"an unreachable network drive", [](Platform& s) { DriveQFailsWith(s, 53); }},
    // SetThreadErrorMode: the mode is the thread's, so the host's own flags are in it.
    {"the host's error mode 0x8002",
     [](Platform& s) {
         s.threadErrorMode = os::SEM_NOOPENFILEERRORBOX | os::SEM_NOGPFAULTERRORBOX;
     }},
    // HOSTREQ_LONGRESULT answered 1, with a long clipboard text to take.
    {"a host that takes long values",
     [](Platform& s) { s.clipboardText = std::u16string(1500, u'q'); }, HostAnswers::TakingLong},
    // Any answer but 1 declines; a failing host answers -1 and fills nothing in.
    {"a host that declines every request", [](Platform&) {}, HostAnswers::Declining},
    {"a host whose requests fail", [](Platform&) {}, HostAnswers::Failing},
};

// The input decoded in one piece, zero bytes left out, as a call reads it.
std::u16string InOnePiece(const std::vector<std::u16string>& params, const std::string& input) {
    std::string bytes;
    for (char b : input)
        if (b != 0) bytes += b;
    bool utf8 = false;
    for (size_t i = 1; i < params.size(); ++i)
        utf8 = utf8 || params[i].find(u"utf8") != std::u16string::npos;
    uint32_t page = utf8 ? os::CP_UTF8 : fake::State().ansiCodePage;
    std::u16string text(bytes.size() + 1, 0);
    int32_t n = os::MultiByteToWideChar(page, 0, bytes.data(), static_cast<int32_t>(bytes.size()),
                                        &text[0], static_cast<int32_t>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

// Where two texts part, with the next units of each in hexadecimal.
std::string Parting(const std::u16string& a, const std::u16string& b) {
    size_t i = std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first -
               a.begin();
    std::string out = "unit " + std::to_string(i) + ":";
    for (const std::u16string* t : {&a, &b}) {
        for (size_t k = i; k < i + 3 && k < t->size(); ++k) {
            char unit[8];
            snprintf(unit, sizeof unit, " %04X", static_cast<unsigned>((*t)[k]));
            out += unit;
        }
        out += t == &a ? ", not" : "";
    }
    return out;
}

// Runs one sample call under a condition with the fault given (nth 0: none)
// and checks the run; returns how many injected failures fired.
size_t RunChecked(const Condition& condition, const SampleName& entry, const SampleCall& c,
                  fake::Op op, int nth, bool fromThenOn) {
    static const std::string INPUT_TEXT = InputText();
    ForgetEraBoundary(); // the first era scan is swept too
    BuildSampleWorld();
    fake::Platform& s = fake::State();
    s.logCalls = false; // only the counts matter here
    s.pipe.waiting = INPUT_TEXT;
    condition.apply(s);
    const os::DWORD hostMode = s.threadErrorMode;
    const std::string input = s.pipe.waiting;
    if (nth > 0) fake::FailNth(op, nth, fromThenOn);
    // A set or restore that fails leaves the module nothing to do; every other failure does.
    const bool modeFails = nth > 0 && op == fake::Op::SetThreadErrorMode;
    TestHost host;
    std::string whileHostCalled;
    host.answer = [&](int32_t code, void* argument) -> intptr_t {
        if (s.clipboardOpenDepth > 0) whileHostCalled += "clipboard open; ";
        if (!modeFails && s.threadErrorMode != hostMode)
            whileHostCalled += "the module's error mode; ";
        if (condition.host == HostAnswers::Declining) return 0;
        if (condition.host == HostAnswers::Failing) return -1;
        if (code == HOSTREQ_LONGRESULT && condition.host == HostAnswers::TakingLong)
            return HOSTANSWER_DONE;
        return SampleHostAnswer(code, argument);
    };
    TestCall call(entry.name, c.params);
    int32_t code = RunCall(host, call, entry.kind);
    std::string where = std::string(condition.name) + ": " + Narrow(entry.name) + "(" +
                        (c.params.empty() ? "" : Narrow(c.params[0].substr(0, 24))) + ") failing " +
                        (nth > 0 ? fake::Name(op) : "nothing") + " #" + std::to_string(nth) +
                        (fromThenOn ? " on" : "");
    EXPECT_TRUE(code == RESULT_SERVED || code == RESULT_FAILED) << where << ": " << code;
    EXPECT_TRUE(call.GuardIntact()) << where;
    // The value is in the result buffer unless the host took it whole.
    bool offeredLong = !host.requests.empty() && host.requests.back().code == HOSTREQ_LONGRESULT;
    bool taken = offeredLong && condition.host == HostAnswers::TakingLong;
    if (entry.kind == MODCALL_FUNCTION && code == RESULT_SERVED && !taken) {
        EXPECT_LT(call.Result().size(), RESULT_BUFFER_UNITS) << where << ": no NUL";
    }
    EXPECT_EQ("", fake::StillOpen()) << where;
    EXPECT_EQ("", whileHostCalled) << where << ": while the host was called";
    if (!modeFails) {
        EXPECT_EQ(hostMode, s.errorModeKept & hostMode) << where << ": the host's flags went off";
        EXPECT_EQ(hostMode, s.threadErrorMode) << where;
        EXPECT_EQ(0, s.systemBoxes) << where << ": system boxes raised";
    }
    if (nth == 0 && std::u16string(entry.name) == u"STDIN") {
        std::u16string value = offeredLong ? host.requests.back().text : call.Result();
        bool waits = c.params.size() < 2 || c.params[1].find(u"nowait") == std::u16string::npos;
        std::u16string whole = InOnePiece(c.params, input);
        EXPECT_TRUE(value == whole || (!waits && value.empty()))
            << where << ": the input parts at " << Parting(value, whole);
    }
    size_t fired = fake::Fired();
    fake::Reset();
    return fired;
}

TEST(FaultSweep, EveryFailurePointUnderEveryConditionEndsServedOrFailedWithNothingLeft) {
    size_t calls = 0;
    size_t runs = 0;
    size_t firedRuns = 0;
    for (const Condition& condition : CONDITIONS) {
        for (const SampleName& entry : SampleNames()) {
            for (const SampleCall& c : entry.calls) {
                ++calls;
                RunChecked(condition, entry, c, fake::Op::GetProcessHeap, 0, false);
                if (::testing::Test::HasFailure()) return; // one fault at a time is enough to read
                for (size_t i = 0; i < fake::OP_COUNT; ++i) {
                    auto op = static_cast<fake::Op>(i);
                    if (!fake::CanFail(op)) continue;
                    for (bool fromThenOn : {false, true}) {
                        for (int nth = 1;; ++nth) {
                            ++runs;
                            if (RunChecked(condition, entry, c, op, nth, fromThenOn) == 0) break;
                            ++firedRuns;
                            if (::testing::Test::HasFailure())
                                return; // one fault at a time is enough to read
                        }
                    }
                }
            }
        }
    }
    printf("fault sweep: %zu calls under %zu conditions, %zu runs with a fault set, %zu of them "
           "failing a call\n",
           calls, sizeof CONDITIONS / sizeof CONDITIONS[0], runs, firedRuns);
    EXPECT_GT(firedRuns, 0u);
}

} // namespace
