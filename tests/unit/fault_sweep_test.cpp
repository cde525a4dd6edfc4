// Every failure point of every sample call of the table (and of a few cases
// that need a world of their own): each case runs once plainly, then once
// for each call of each platform operation failing (that call alone, and
// that call and every later one), until a run in which the injected failure
// never fires. Every run must end served or failed, leave nothing open, and
// keep its value inside the result buffer.
#include "datetime/era_boundary.h"
#include "platform/testing/fake_platform.h"
#include "platform/win32_emulation/file_time.h"
#include "tests/support/sample_calls.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdio.h>
#include <string.h>

namespace {

const os::HANDLE FILE_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0xF11E));
const os::HANDLE SEARCH_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0x5EA2));

// The host's error mode, which must be back whenever a call ends.
constexpr os::DWORD HOST_ERROR_MODE = os::SEM_NOOPENFILEERRORBOX;

// Valid UTF-8 and Windows-1252 alike, zero bytes included, cut by reads at
// every boundary: 3000 bytes.
std::string PipeText() {
    std::string block = "h\xC3\xA9llo w\xE2\x82\xACrld \xF0\x9F\x99\x82";
    block += '\0';
    block += "\r\n";
    std::string text;
    while (text.size() + block.size() <= 3000)
        text += block;
    text.resize(3000, 'x');
    return text;
}

// One world for every case: three drives, a file and a directory, clipboard
// text, input waiting, an era after 2019, and now a date in that era.
void World() {
    static const std::string PIPE_TEXT = PipeText();
    fake::Platform& s = fake::State();
    s.logCalls = false; // only the counts matter here
    s.threadErrorMode = HOST_ERROR_MODE;
    s.logicalDrives = 0x1C; // C D E
    s.volumes[u'C'] = {u"SYSTEM", 0x1A2B3C4D};
    s.volumes[u'E'] = {u"BACKUP", 2};
    s.fileAttributes[u"C:\\Windows"] = os::FILE_ATTRIBUTE_DIRECTORY;
    s.clipboardHasText = true;
    s.clipboardText = u"a\tb\r\nc";
    s.registryValues = {{u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
                        {u"2030 01 01", u"\u5149\u660E_\u5149_Komei_K"}};
    s.localTime = os::SYSTEMTIME{2030, 6, 6, 15, 13, 5, 9, 42};
    s.createFile = [](const char16_t* name) {
        return std::u16string(name) == u"file.txt" ? FILE_HANDLE : os::InvalidHandle();
    };
    s.getFileInformation = [](os::HANDLE, os::BY_HANDLE_FILE_INFORMATION* info) {
        info->ftCreationTime = FileTimeFromUnix(981173106, 0);
        info->ftLastAccessTime = FileTimeFromUnix(1015214706, 0);
        info->ftLastWriteTime = FileTimeFromUnix(1049515506, 0);
        return os::BOOL(1);
    };
    s.findFirstFile = [](const char16_t* name, os::WIN32_FIND_DATAW* data) {
        if (std::u16string(name) != u"dir*") return os::InvalidHandle();
        data->dwFileAttributes = os::FILE_ATTRIBUTE_DIRECTORY;
        data->ftLastAccessTime = FileTimeFromUnix(1900000000, 0);
        return SEARCH_HANDLE;
    };
    s.fileTimeToSystem = [](const os::FILETIME* t, os::SYSTEMTIME* split) {
        return os::BOOL(SplitFileTime(FileTimeTicks(*t), split));
    };
    s.pipe.waiting = PIPE_TEXT;
}

void LongClipboard() {
    fake::State().clipboardText = std::u16string(1500, u'q');
}

struct SweepCase {
    int32_t kind;
    std::u16string name;
    std::vector<std::u16string> params;
    void (*tweak)(); // changes the world for this case
    bool hostTakesLong;
};

// The sample calls of every name, and the cases that need a world of their own.
std::vector<SweepCase> Cases() {
    std::vector<SweepCase> cases;
    for (const SampleName& entry : SampleNames())
        for (const SampleCall& c : entry.calls)
            cases.push_back({entry.kind, entry.name, c.params, nullptr, false});
    cases.push_back({MODCALL_FUNCTION, u"CLIPPEDTEXT", {}, LongClipboard, false});
    return cases;
}

// Runs one case with the fault given (nth 0: none) and checks the run;
// returns how many injected failures fired. *offeredLong tells whether the
// module offered the host a long value.
size_t RunChecked(const SweepCase& c, fake::Op op, int nth, bool fromThenOn,
                  bool* offeredLong = nullptr) {
    fake::Reset();
    ForgetEraBoundary(); // the first era scan is swept too
    World();
    if (c.tweak != nullptr) c.tweak();
    if (nth > 0) fake::FailNth(op, nth, fromThenOn);
    TestHost host;
    host.answer = [&c](int32_t code, void* argument) -> intptr_t {
        if (code == HOSTREQ_EXPAND) memcpy(argument, u"1", 2 * sizeof(char16_t));
        if (code == HOSTREQ_VERSION) return 11803;
        return code == HOSTREQ_LONGRESULT && c.hostTakesLong ? 1 : 0;
    };
    TestCall call(c.name, c.params);
    int32_t code = RunCall(host, call, c.kind);
    std::string where = Narrow(c.name) + "(" +
                        (c.params.empty() ? "" : Narrow(c.params[0].substr(0, 24))) + ") failing " +
                        (nth > 0 ? fake::Name(op) : "nothing") + " #" + std::to_string(nth) +
                        (fromThenOn ? " on" : "");
    EXPECT_TRUE(code == RESULT_SERVED || code == RESULT_FAILED) << where << ": " << code;
    EXPECT_TRUE(call.GuardIntact()) << where;
    // The value is in the result buffer unless the host took it whole.
    bool taken = c.hostTakesLong && !host.requests.empty() &&
                 host.requests.back().code == HOSTREQ_LONGRESULT;
    if (c.kind == MODCALL_FUNCTION && code == RESULT_SERVED && !taken) {
        EXPECT_LT(call.Result().size(), RESULT_BUFFER_UNITS) << where << ": no NUL";
    }
    EXPECT_EQ("", fake::StillOpen()) << where;
    // A restore that fails leaves nothing to do; every other failure does.
    if (nth == 0 || op != fake::Op::SetThreadErrorMode) {
        EXPECT_EQ(HOST_ERROR_MODE, fake::State().threadErrorMode) << where;
    }
    if (offeredLong != nullptr)
        *offeredLong = !host.requests.empty() && host.requests.back().code == HOSTREQ_LONGRESULT;
    size_t fired = fake::Fired();
    fake::Reset();
    return fired;
}

TEST(FaultSweep, EveryFailurePointEndsServedOrFailedWithNothingLeft) {
    size_t runs = 0;
    size_t firedRuns = 0;
    std::vector<SweepCase> cases = Cases();
    // A case whose value the host declined is swept again with the host taking it.
    for (size_t k = 0; k < cases.size(); ++k) {
        const SweepCase c = cases[k];
        bool offeredLong = false;
        RunChecked(c, fake::Op::GetProcessHeap, 0, false, &offeredLong);
        if (offeredLong && !c.hostTakesLong) {
            cases.push_back(c);
            cases.back().hostTakesLong = true;
        }
        for (size_t i = 0; i < fake::OP_COUNT; ++i) {
            auto op = static_cast<fake::Op>(i);
            if (!fake::CanFail(op)) continue;
            for (bool fromThenOn : {false, true}) {
                for (int nth = 1;; ++nth) {
                    ++runs;
                    if (RunChecked(c, op, nth, fromThenOn) == 0) break;
                    ++firedRuns;
                    if (::testing::Test::HasFailure())
                        return; // one fault at a time is enough to read
                }
            }
        }
    }
    printf("fault sweep: %zu calls, %zu runs with a fault set, %zu of them failing a call\n",
           cases.size(), runs, firedRuns);
    EXPECT_GT(firedRuns, 0u);
}

} // namespace
