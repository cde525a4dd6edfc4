#include "platform/testing/fake_platform.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

namespace {

class QueriesTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    TestHost host;
    int32_t Run(TestCall& call) { return RunCall(host, call); }
    // A fresh world with drives C, D and E.
    static fake::Platform& ThreeDrives() {
        fake::Reset();
        fake::State().logicalDrives = 1u << 2 | 1u << 3 | 1u << 4;
        return fake::State();
    }
};

// The thread's error mode, starting from `mode`, in force at every volume,
// attribute or file query of the run; 0 when they differ.
os::DWORD ModeOfEveryQuery(os::DWORD mode) {
    using fake::Op;
    os::DWORD seen = 0;
    bool first = true;
    for (const fake::Call& k : fake::State().calls) {
        if (k.op == Op::SetThreadErrorMode) mode = static_cast<os::DWORD>(k.args[0]);
        if (k.op != Op::GetVolumeInformationW && k.op != Op::GetFileAttributesW &&
            k.op != Op::CreateFileW && k.op != Op::FindFirstFileW)
            continue;
        if (!first && seen != mode) return 0;
        seen = mode;
        first = false;
    }
    return seen;
}

// --- FINDDRIVE ---

struct FindCase {
    const char* what;
    std::vector<std::u16string> keys;
    int32_t code;
    std::u16string result;
};

TEST_F(QueriesTest, FindDriveKeysInOrder) {
    const FindCase cases[] = {
        {"serial after missing letter and label", {u"Q:", u"DATA", u"1A2B-3C4D"}, 1, u"E:"},
        {"letter as written", {u"c:"}, 1, u"c:"},
        {"existing path", {u"C:\\Windows"}, 1, u"C:"},
        {"missing path matches a label only", {u"C:\\Nothing"}, -1, u""},
        {"path-like label", {u"D:\\Odd"}, 1, u"E:"},
        {"label case differs", {u"system"}, -1, u""},
        {"lower-case serial", {u"1a2b-3c4d"}, -1, u""},
        {"empty key, first empty label", {u""}, 1, u"D:"},
        {"bare bang", {u"!"}, 1, u""},
        {"label before fallback", {u"SYSTEM", u"!X:"}, 1, u"C:"},
        {"fallback first", {u"!X:", u"SYSTEM"}, 1, u"X:"},
        {"fallback used", {u"NOPE", u"!X:"}, 1, u"X:"},
        {"one letter is a label", {u"C"}, -1, u""},
        {"absent drive's volume is not scanned", {u"GHOST"}, -1, u""},
        {"nothing matches", {u"Q:", u"R:"}, -1, u""},
    };
    for (const FindCase& c : cases) {
        auto& s = ThreeDrives();
        s.fileAttributes[u"c:"] = os::FILE_ATTRIBUTE_DIRECTORY;
        s.fileAttributes[u"C:\\Windows"] = os::FILE_ATTRIBUTE_DIRECTORY;
        s.volumes[u'C'] = {u"SYSTEM", 0x11112222};
        s.volumes[u'D'] = {u"", 0x33334444};
        s.volumes[u'E'] = {u"D:\\Odd", 439041101};
        s.volumes[u'F'] = {u"GHOST", 1}; // not in the mask
        TestCall call(u"FINDDRIVE", c.keys);
        EXPECT_EQ(c.code, Run(call)) << c.what;
        EXPECT_EQ(c.result, call.Result()) << c.what;
        EXPECT_TRUE(host.requests.empty()) << c.what;
    }
}

TEST_F(QueriesTest, FindDriveReadsTheMaskOnceAndSkipsUnreadableVolumes) {
    auto& s = ThreeDrives();
    s.volumes[u'C'] = {u"X", 1};
    s.volumes[u'E'] = {u"X", 2};
    fake::FailNth("GetVolumeInformationW", 1); // C, for the whole call
    TestCall call(u"FINDDRIVE", {u"A", u"B", u"X"});
    EXPECT_EQ(1, Run(call));
    EXPECT_EQ(u"E:", call.Result());
    EXPECT_EQ(1u, fake::Count("GetLogicalDrives"));
    // Three drives, each asked once: D has no volume at all.
    std::vector<std::u16string> roots;
    for (const auto& c : s.calls)
        if (c.op == fake::Op::GetVolumeInformationW) {
            roots.push_back(c.text);
            EXPECT_EQ((std::vector<intptr_t>{260, 0, 0, 0, 0}), fake::Args(c))
                << "no component length, flags or name wanted";
        }
    EXPECT_EQ((std::vector<std::u16string>{u"C:\\", u"D:\\", u"E:\\"}), roots);
}

// Whatever the keys, each present drive is asked once a call, and only while
// the thread's error mode keeps the "no disk" box away on top of the host's
// own mode, which is back before the call ends and whenever the host is asked.
TEST_F(QueriesTest, FindDriveAsksEachDriveOnceWithoutSystemBoxes) {
    constexpr os::DWORD HOST_MODE = os::SEM_NOOPENFILEERRORBOX | os::SEM_NOGPFAULTERRORBOX;
    struct Case {
        std::vector<std::u16string> keys;
        int32_t code;
        size_t volumeQueries;
    };
    const Case cases[] = {
        {{u"ONE", u"TWO", u"THREE"}, -1, 3},
        {{u"Q:", u"NONE", u"BACKUP"}, 1, 3},
        {{u"SYSTEM", u"BACKUP"}, 1, 1},
        {{u"NONE", u"!" + std::u16string(2000, u'z')}, 1, 3},
        {{u"C:\\Windows"}, 1, 0},
    };
    for (const Case& c : cases) {
        auto& s = ThreeDrives();
        s.fileAttributes[u"C:\\Windows"] = os::FILE_ATTRIBUTE_DIRECTORY;
        s.volumes[u'C'] = {u"SYSTEM", 1};
        s.volumes[u'E'] = {u"BACKUP", 2};
        s.threadErrorMode = HOST_MODE;
        std::vector<os::DWORD> modesAsked;
        host.answer = [&](int32_t, void*) {
            modesAsked.push_back(s.threadErrorMode);
            return intptr_t{0};
        };
        TestCall call(u"FINDDRIVE", c.keys);
        EXPECT_EQ(c.code, Run(call));
        EXPECT_EQ(c.volumeQueries, fake::Count("GetVolumeInformationW"));
        std::vector<std::string> ops =
            fake::Ops({"SetThreadErrorMode", "GetVolumeInformationW", "GetFileAttributesW"});
        ASSERT_GE(ops.size(), 2u);
        EXPECT_EQ("SetThreadErrorMode", ops.front());
        EXPECT_EQ("SetThreadErrorMode", ops.back());
        EXPECT_EQ(HOST_MODE | os::SEM_FAILCRITICALERRORS, ModeOfEveryQuery(HOST_MODE));
        EXPECT_EQ(HOST_MODE, s.threadErrorMode);
        for (os::DWORD mode : modesAsked)
            EXPECT_EQ(HOST_MODE, mode);
    }
}

TEST_F(QueriesTest, FindDriveWithoutKeysShowsUsage) {
    TestCall call(u"FINDDRIVE");
    EXPECT_EQ(-1, Run(call));
    EXPECT_TRUE(call.ResultUntouched());
    EXPECT_EQ((HostRequests{{HOSTREQ_MESSAGE,
                             u"%*FindDrive(DriveLetter/label/SN1[,DriveLetter/label/SN2...])"}}),
              host.requests);
}

TEST_F(QueriesTest, FindDriveLongFixedAnswerStaysInsideTheBuffer) {
    for (intptr_t answer : {0, 1}) {
        host.requests.clear();
        host.answer = [answer](int32_t, void*) { return answer; };
        std::u16string fixed(2000, u'z');
        TestCall call(u"FINDDRIVE", {u"!" + fixed});
        EXPECT_EQ(1, Run(call));
        EXPECT_TRUE(call.GuardIntact());
        EXPECT_EQ((HostRequests{{HOSTREQ_LONGRESULT, fixed}}), host.requests);
        EXPECT_EQ(answer == 1 ? u"" : fixed.substr(0, 1008), call.Result());
    }
}

// --- CLIPPEDTEXT ---

TEST_F(QueriesTest, ClipboardRetriesThenDelivers) {
    struct Case {
        int failures;
        size_t opens, pauses;
        std::u16string result;
    };
    const Case cases[] = {
        {0, 1, 0, u"a\tb\r\nc"}, {2, 3, 2, u"a\tb\r\nc"}, {5, 6, 5, u"a\tb\r\nc"}, {-1, 6, 5, u""}};
    for (const Case& c : cases) {
        fake::Reset();
        auto& s = fake::State();
        if (c.failures > 0) fake::FailCalls(fake::Op::OpenClipboard, 1, c.failures);
        if (c.failures < 0) fake::FailNth("OpenClipboard", 1, true);
        s.clipboardHasText = true;
        s.clipboardText = u"a\tb\r\nc";
        host.info.mainWindow = reinterpret_cast<void*>(0x5150);
        TestCall call(u"CLIPPEDTEXT", {u"ignored"});
        EXPECT_EQ(1, Run(call));
        EXPECT_EQ(c.result, call.Result());
        EXPECT_EQ(c.opens, fake::Count("OpenClipboard"));
        EXPECT_EQ(c.pauses, fake::Count("Sleep"));
        for (const auto& op : s.calls) {
            EXPECT_TRUE(op.op != fake::Op::Sleep || op.args[0] == 20);
            EXPECT_TRUE(op.op != fake::Op::OpenClipboard || op.args[0] == 0x5150)
                << "the main window";
        }
        EXPECT_EQ(c.failures < 0 ? 0u : 1u, fake::Count("CloseClipboard"));
        EXPECT_EQ("", fake::StillOpen());
    }
}

// A text longer than a value is offered to the host from a copy of its own,
// once the clipboard is unlocked and closed: a host that throws, or takes
// its time, leaves the clipboard to other programs. Without the copy the
// value is cut as for a host that declines.
TEST_F(QueriesTest, ClipboardLongTextIsOfferedOnceTheClipboardIsClosed) {
    struct Case {
        size_t units;
        intptr_t answer;
        bool heapFails;
        size_t resultUnits; // of the text, in the result buffer
    };
    const Case cases[] = {
        {1008, 0, false, 1008}, {1009, 0, false, 1008}, {5000, 1, false, 0}, {1009, 1, true, 1008}};
    for (const Case& c : cases) {
        fake::Reset();
        auto& s = fake::State();
        s.clipboardHasText = true;
        s.clipboardText = std::u16string(c.units, u'q');
        s.clipboardText[c.units - 1] = u'z';
        if (c.heapFails) fake::FailNth("HeapAlloc", 1);
        int heldDuringRequest = -1;
        host.requests.clear();
        host.answer = [&](int32_t, void*) {
            heldDuringRequest = s.clipboardOpenDepth + s.clipboardLockDepth;
            return c.answer;
        };
        TestCall call(u"CLIPPEDTEXT");
        EXPECT_EQ(1, Run(call));
        bool offered = c.units > 1008 && !c.heapFails;
        EXPECT_EQ((offered ? HostRequests{{HOSTREQ_LONGRESULT, s.clipboardText}} : HostRequests()),
                  host.requests)
            << c.units;
        EXPECT_TRUE(!offered || heldDuringRequest == 0) << "closed and unlocked during the request";
        EXPECT_EQ(s.clipboardText.substr(0, c.resultUnits), call.Result()) << c.units;
        EXPECT_TRUE(call.GuardIntact());
        const std::vector<std::string> ops = {"OpenClipboard", "GetClipboardData", "GlobalLock",
                                              "GlobalUnlock", "CloseClipboard"};
        EXPECT_EQ(ops, fake::Ops(ops));
        EXPECT_EQ("", fake::StillOpen());
    }
}

TEST_F(QueriesTest, ClipboardWithoutTextGivesTheEmptyText) {
    for (bool lockFails : {false, true}) {
        fake::Reset();
        auto& s = fake::State();
        s.clipboardHasText = lockFails;
        if (lockFails) fake::FailNth("GlobalLock", 1);
        TestCall call(u"CLIPPEDTEXT");
        EXPECT_EQ(1, Run(call));
        EXPECT_EQ(u"", call.Result());
        EXPECT_EQ(1u, fake::Count("CloseClipboard"));
        EXPECT_EQ(0u, fake::Count("GlobalUnlock"));
        EXPECT_EQ("", fake::StillOpen());
    }
}

// Another program may put text on the clipboard without a NUL: its units
// end at the block's end.
TEST_F(QueriesTest, ClipboardTextEndsWithinItsBlock) {
    struct Case {
        std::u16string memory; // the block and what lies after it
        size_t blockUnits;     // GlobalSize in units
        std::u16string value;  // the result buffer or the text the host is offered
    };
    const std::u16string longText(1500, u'q');
    const Case cases[] = {
        {u"abc", 4, u"abc"},    {std::u16string(u"ab\0cd", 5), 5, u"ab"},
        {u"abcXYZ", 3, u"abc"}, {longText + u"XYZ", 1500, longText},
        {u"abc", 0, u""},
    };
    for (const Case& c : cases) {
        fake::Reset();
        auto& s = fake::State();
        s.clipboardHasText = true;
        s.clipboardText = c.memory;
        s.clipboardBlockUnits = c.blockUnits;
        if (c.blockUnits == 0) fake::FailNth("GlobalSize", 1);
        host.requests.clear();
        TestCall call(u"CLIPPEDTEXT");
        EXPECT_EQ(1, Run(call));
        EXPECT_EQ(c.value, host.requests.empty() ? call.Result() : host.requests[0].text);
        EXPECT_EQ("", fake::StillOpen());
    }
}

// --- VERSION ---

struct VersionCase {
    std::vector<std::u16string> params;
    intptr_t hostVersion;
    std::u16string result;
};

TEST_F(QueriesTest, VersionOfTheHost) {
    const VersionCase cases[] = {
        {{}, 11803, u"1.18+3"},
        {{}, 11800, u"1.18"},
        {{u"x"}, 10502, u"1.05+2"},
        {{u""}, 11803, u"1.18+3"},
        {{u"N"}, 11803, u"1.18+3"},
        {{u"B"}, 7, u"0.00+7"},
        {{u"n"}, 11803, u"11803"},
        {{u"new", u"b"}, 11803, u"11803"},
        {{u"n"}, -1, u"-1"},
        {{}, static_cast<intptr_t>(uint64_t{0xFFFFFFFF}), u"429496.72+95"},
        {{u"n"}, static_cast<intptr_t>(uint64_t{0x100000005}), u"5"}, // only the low 32 bits count
    };
    for (const VersionCase& c : cases) {
        fake::Reset();
        host.requests.clear();
        intptr_t v = c.hostVersion;
        host.answer = [v](int32_t, void*) { return v; };
        TestCall call(u"VERSION", c.params);
        EXPECT_EQ(1, Run(call));
        EXPECT_EQ(c.result, call.Result());
        EXPECT_EQ((HostRequests{{HOSTREQ_VERSION, u""}}), host.requests);
        EXPECT_EQ(0u, fake::Count("GetVersionExW"));
    }
}

TEST_F(QueriesTest, VersionOfTheSystem) {
    struct Case {
        std::u16string mode;
        os::DWORD major, minor, build;
        std::u16string servicePack, result;
    };
    const Case cases[] = {
        {u"b", 6, 1, 7601, u"", u"7601"},
        {u"build", 6, 1, 7601, u"", u"7601"},
        {u"o", 6, 1, 7601, u"", u"0601"},
        {u"os", 10, 0, 19045, u"", u"1000"},
        {u"w", 6, 1, 7601, u"Service Pack 1", u"6.01(7601 Service Pack 1)"},
        {u"win", 6, 2, 9200, u"", u"6.02(9200 )"},
    };
    for (const Case& c : cases) {
        fake::Reset();
        host.requests.clear();
        auto& v = fake::State().version;
        v.dwMajorVersion = c.major;
        v.dwMinorVersion = c.minor;
        v.dwBuildNumber = c.build;
        for (size_t i = 0; i <= c.servicePack.size(); ++i)
            v.szCSDVersion[i] = c.servicePack.c_str()[i];
        TestCall call(u"VERSION", {c.mode});
        EXPECT_EQ(1, Run(call));
        EXPECT_EQ(c.result, call.Result());
        EXPECT_TRUE(host.requests.empty());
        ASSERT_EQ(1u, fake::Count("GetVersionExW"));
        EXPECT_EQ(276, fake::State().calls[0].args[0]);
    }
}

TEST_F(QueriesTest, VersionWithAFailingSystemCallWritesZeros) {
    fake::FailNth("GetVersionExW", 1);
    TestCall call(u"VERSION", {u"w"});
    EXPECT_EQ(1, Run(call));
    EXPECT_EQ(u"0.00(0 )", call.Result());
}

} // namespace
