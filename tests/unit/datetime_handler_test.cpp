#include "platform/win32_emulation/file_time.h"
#include "platform/testing/fake_platform.h"
#include "tests/support/era_boundary_hook.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// 2001-02-03 04:05:06, 2002-..., 2003-... in FILETIME ticks (UTC).
uint64_t Ticks(int64_t unixSeconds) {
    return FileTimeTicks(FileTimeFromUnix(unixSeconds, 0));
}
const uint64_t CREATED = Ticks(981173106);   // 2001-02-03 04:05:06
const uint64_t ACCESSED = Ticks(1015214706); // 2002-03-04 04:05:06
const uint64_t WRITTEN = Ticks(1049515506);  // 2003-04-05 04:05:06

const os::HANDLE FILE_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0xF11E));
const os::HANDLE SEARCH_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0x5EA2));

template <typename Record> void FillTimes(Record* r) {
    r->ftCreationTime = FileTimeFromTicks(CREATED);
    r->ftLastAccessTime = FileTimeFromTicks(ACCESSED);
    r->ftLastWriteTime = FileTimeFromTicks(WRITTEN);
}

class NowDateTimeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        ForgetEraBoundary();
        fake::State().fileTimeToSystem = [](const os::FILETIME* t, os::SYSTEMTIME* s) {
            return SplitFileTime(FileTimeTicks(*t), s) ? 1 : 0;
        };
    }
    // A plain file: it opens and its information reads.
    void PlainFile() {
        fake::State().createFile = [](const char16_t* name) {
            return std::u16string(name) == u"file.txt" ? FILE_HANDLE : os::InvalidHandle();
        };
        fake::State().getFileInformation = [](os::HANDLE, os::BY_HANDLE_FILE_INFORMATION* info) {
            FillTimes(info);
            return 1;
        };
    }
    // A directory: it does not open, but the search finds it.
    void Directory() {
        fake::State().findFirstFile = [](const char16_t* name, os::WIN32_FIND_DATAW* data) {
            if (std::u16string(name) != u"folder") return os::InvalidHandle();
            data->dwFileAttributes = os::FILE_ATTRIBUTE_DIRECTORY;
            FillTimes(data);
            return SEARCH_HANDLE;
        };
    }
    int32_t Run(std::vector<std::u16string> params) {
        call = std::make_unique<TestCall>(u"NOWDATETIME", params);
        int32_t result = RunCall(host, *call);
        EXPECT_TRUE(call->GuardIntact());
        return result;
    }
    TestHost host;
    std::unique_ptr<TestCall> call;
};

struct ValueCase {
    std::vector<std::u16string> params;
    std::u16string expected;
};

TEST_F(NowDateTimeTest, CurrentTimeWithoutAFile) {
    const ValueCase cases[] = {
        {{}, u"20240305"},         {{u""}, u"20240305"},         {{u"H:M:S w"}, u"09:07:04 Tue"},
        {{u"", u""}, u"20240305"}, {{u"Y", u"", u"a"}, u"2024"}, {{u" ?"}, u" ?"},
    };
    for (const ValueCase& c : cases) {
        EXPECT_EQ(RESULT_SERVED, Run(c.params));
        EXPECT_EQ(c.expected, call->Result());
    }
    EXPECT_EQ(0u, fake::Count("CreateFileW"));
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(NowDateTimeTest, SelectorChoosesTheTimeStamp) {
    const ValueCase cases[] = {
        {{u"", u"file.txt"}, u"20030405"},
        {{u"Y-N-D H:M:S", u"file.txt"}, u"2003-04-05 04:05:06"},
        {{u"", u"file.txt", u"a"}, u"20020304"},
        {{u"", u"file.txt", u"access"}, u"20020304"},
        {{u"", u"file.txt", u"c"}, u"20010203"},
        {{u"", u"file.txt", u"x"}, u"20010203"},
        {{u"", u"file.txt", u"A"}, u"20010203"},
        {{u"", u"file.txt", u""}, u"20010203"},
    };
    PlainFile();
    for (const ValueCase& c : cases) {
        fake::ForgetRun();
        EXPECT_EQ(RESULT_SERVED, Run(c.params));
        EXPECT_EQ(c.expected, call->Result()) << Narrow(c.params.back());
        EXPECT_EQ(
            (std::vector<std::string>{"CreateFileW", "GetFileInformationByHandle", "CloseHandle",
                                      "FileTimeToLocalFileTime", "FileTimeToSystemTime"}),
            fake::Ops({"CreateFileW", "GetFileInformationByHandle", "CloseHandle", "FindFirstFileW",
                       "FileTimeToLocalFileTime", "FileTimeToSystemTime", "GetLocalTime"}));
    }
    const fake::Call& open = *LastCall(fake::Op::CreateFileW);
    EXPECT_EQ(u"file.txt", open.text);
    EXPECT_EQ((std::vector<intptr_t>{static_cast<intptr_t>(os::GENERIC_READ), 3, 0,
                                     static_cast<intptr_t>(os::OPEN_EXISTING),
                                     static_cast<intptr_t>(os::FILE_ATTRIBUTE_NORMAL), 0}),
              fake::Args(open));
}

TEST_F(NowDateTimeTest, ADirectoryIsFoundBySearch) {
    Directory();
    EXPECT_EQ(RESULT_SERVED, Run({u"", u"folder", u"a"}));
    EXPECT_EQ(u"20020304", call->Result());
    EXPECT_EQ((std::vector<std::string>{"CreateFileW", "FindFirstFileW", "FindClose"}),
              fake::Ops({"CreateFileW", "FindFirstFileW", "FindClose", "CloseHandle"}));
    EXPECT_EQ(std::vector<intptr_t>{reinterpret_cast<intptr_t>(SEARCH_HANDLE)},
              ArgOfEach(fake::Op::FindClose, 0));
}

// The file is looked for while the "no disk" box is kept away on top of the
// host's own error mode, which is back afterwards.
TEST_F(NowDateTimeTest, TheFileIsLookedForUnderTheHostsErrorModeAndFailCriticalErrors) {
    constexpr os::DWORD HOST_MODE = os::SEM_NOOPENFILEERRORBOX | os::SEM_NOGPFAULTERRORBOX;
    PlainFile();
    Directory();
    for (const char16_t* name : {u"file.txt", u"folder", u"missing"}) {
        fake::ForgetRun();
        fake::State().threadErrorMode = HOST_MODE;
        EXPECT_EQ(RESULT_SERVED, Run({u"", name}));
        os::DWORD mode = HOST_MODE;
        for (const fake::Call& k : fake::State().calls) {
            if (k.op == fake::Op::SetThreadErrorMode) mode = static_cast<os::DWORD>(k.args[0]);
            if (k.op == fake::Op::CreateFileW || k.op == fake::Op::FindFirstFileW ||
                k.op == fake::Op::GetFileInformationByHandle) {
                EXPECT_EQ(HOST_MODE | os::SEM_FAILCRITICALERRORS, mode) << fake::Name(k.op);
            }
        }
        EXPECT_EQ(HOST_MODE, fake::State().threadErrorMode);
    }
}

TEST_F(NowDateTimeTest, FailuresGiveTheCurrentTime) {
    struct Case {
        const char* what;
        const char* failing; // the operation made to fail, if any
        std::vector<std::string> ops;
    };
    const Case cases[] = {
        {"missing file", nullptr, {"CreateFileW", "FindFirstFileW", "CreateFileW", "GetLocalTime"}},
        {"unreadable information",
         "GetFileInformationByHandle",
         {"CreateFileW", "GetFileInformationByHandle", "CloseHandle", "GetLocalTime"}},
        {"no local conversion",
         "FileTimeToLocalFileTime",
         {"CreateFileW", "GetFileInformationByHandle", "CloseHandle", "FileTimeToLocalFileTime",
          "GetLocalTime"}},
        {"no split",
         "FileTimeToSystemTime",
         {"CreateFileW", "GetFileInformationByHandle", "CloseHandle", "FileTimeToLocalFileTime",
          "FileTimeToSystemTime", "GetLocalTime"}},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.failing != nullptr) {
            PlainFile();
            fake::FailNth(c.failing, 1, true);
        }
        EXPECT_EQ(RESULT_SERVED, Run({u"", u"file.txt"})) << c.what;
        EXPECT_EQ(u"20240305", call->Result()) << c.what;
        EXPECT_EQ(c.ops, fake::Ops({"CreateFileW", "GetFileInformationByHandle", "CloseHandle",
                                    "FindFirstFileW", "FileTimeToLocalFileTime",
                                    "FileTimeToSystemTime", "GetLocalTime"}))
            << c.what;
        // Last, the entry opened for its attributes alone, as a folder opens.
        if (c.failing == nullptr) {
            EXPECT_EQ((std::vector<intptr_t>{0x80, 7, 0, static_cast<intptr_t>(os::OPEN_EXISTING),
                                             0x02000000, 0}),
                      fake::Args(*LastCall(fake::Op::CreateFileW)));
        }
    }
}

TEST_F(NowDateTimeTest, UsageTextForFormatsBeginningWithDashSlashOrQuestionMark) {
    const std::u16string usage =
        u"%*nowdatetime([\"format\"][,filename[,c|a]])\n\nformat:\r\n"
        u"Y-N-D \"2000-12-31\"  H:M:S \"23:59:59\"\n"
        u"year:  y (00)  Y (2000)  g (H12)  G (\u5E73\u621012)\n"
        u"month: n ( 1)  N (01)\nday:   d ( 1)  D (01)\n"
        u"hour:  h ( 1)  H (23)  u ( 1)  U (11) t (am/pm) T(\u5348\u524D/\u5348\u5F8C)\n"
        u"min:   m ( 0)  M (00)\nsec:   s ( 0)  S (00)\nmsec:  I (000)";
    ASSERT_EQ(292u, usage.size());
    Directory();
    const std::vector<std::vector<std::u16string>> calls = {
        {u"?"}, {u"-h"}, {u"/Y"}, {u"?", u"folder"}, {u"-", u"folder", u"a"}};
    for (const auto& params : calls) {
        host.requests.clear();
        fake::ForgetRun();
        EXPECT_EQ(RESULT_FAILED, Run(params));
        EXPECT_EQ(u"", call->Result());
        EXPECT_EQ((HostRequests{{HOSTREQ_MESSAGE, usage}}), host.requests);
        // The file is looked up before the format is looked at.
        EXPECT_EQ(params.size() >= 2 ? 1u : 0u, fake::Count("FindFirstFileW"));
    }
}

TEST_F(NowDateTimeTest, ALongFormatStopsAtTheEndOfTheResultBuffer) {
    struct Case {
        std::u16string format;
        std::u16string expected;
    };
    const std::u16string reiwa06 = u"\u4EE4\u548C06";
    const Case cases[] = {
        {std::u16string(1000, u'Y'), Repeat(u"2024", 256).substr(0, 1023)},
        {std::u16string(1000, u'G'), Repeat(reiwa06, 256).substr(0, 1023)},
        {std::u16string(146, u'G'), Repeat(reiwa06, 146)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RESULT_SERVED, Run({c.format}));
        EXPECT_EQ(c.expected, call->Result());
        EXPECT_EQ(0, call->buffer[c.expected.size()]);
    }
}

} // namespace
