// The fake itself: every operation counts under its own name and fails when
// told to, faults fire at the calls asked for, what is left open shows, and a
// rewind forgets a run but not the world.
#include "platform/testing/fake_platform.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using fake::Op;

os::HANDLE H(intptr_t value) {
    return reinterpret_cast<os::HANDLE>(value);
}

// One call of each operation; true when its result is the failure of its
// Win32 function (those that never fail have none).
struct Wiring {
    Op op;
    std::function<bool()> failed;
};

TEST(FakePlatform, EveryOperationCountsUnderItsNameAndFailsWhenTold) {
    char16_t text[64] = u"x";
    char bytes[64] = "x";
    os::DWORD n = 0;
    os::HKEY key = nullptr;
    os::SYSTEMTIME st{};
    os::FILETIME ft{};
    os::BY_HANDLE_FILE_INFORMATION info{};
    os::WIN32_FIND_DATAW found{};
    os::OSVERSIONINFOW version{};
    const Wiring wiring[] = {
        {Op::GetProcessHeap, [] { return os::GetProcessHeap() == nullptr; }},
        {Op::HeapAlloc, [] { return os::HeapAlloc(H(0x4EA9), 0, 8) == nullptr; }},
        {Op::HeapReAlloc, [] { return os::HeapReAlloc(H(0x4EA9), 0, nullptr, 8) == nullptr; }},
        {Op::HeapFree, [] { return !os::HeapFree(H(0x4EA9), 0, nullptr); }},
        {Op::MessageBoxW, [] { return os::MessageBoxW(nullptr, u"m", nullptr, 0) == 0; }},
        {Op::wsprintfW, [&] { return os::wsprintfW(text, u"%d", 7) == 0 && text[0] == 0; }},
        {Op::GetLastError, [] { return os::GetLastError(), false; }},
        {Op::SetThreadErrorMode, [] { return !os::SetThreadErrorMode(1, nullptr); }},
        {Op::GetStdHandle,
         [] { return os::GetStdHandle(os::STD_INPUT_HANDLE) == os::InvalidHandle(); }},
        {Op::GetFileType, [] { return os::GetFileType(H(1)) == os::FILE_TYPE_UNKNOWN; }},
        {Op::ReadFile, [&] { return !os::ReadFile(H(1), bytes, 8, &n, nullptr); }},
        {Op::WriteFile, [&] { return !os::WriteFile(H(1), bytes, 8, &n, nullptr) && n == 4; }},
        {Op::PeekNamedPipe,
         [&] { return !os::PeekNamedPipe(H(1), nullptr, 0, nullptr, &n, nullptr); }},
        {Op::Sleep, [] { return os::Sleep(1), false; }},
        {Op::MultiByteToWideChar,
         [&] { return os::MultiByteToWideChar(0, 0, "a", -1, text, 64) == 0; }},
        {Op::WideCharToMultiByte,
         [&] { return os::WideCharToMultiByte(0, 0, u"a", -1, bytes, 64, nullptr, nullptr) == 0; }},
        {Op::IsDBCSLeadByteEx, [] { return !os::IsDBCSLeadByteEx(932, 0x81); }},
        {Op::GetACP, [] { return os::GetACP(), false; }},
        {Op::CreateFileW,
         [] { return os::CreateFileW(u"f", 0, 0, nullptr, 0, 0, nullptr) == os::InvalidHandle(); }},
        {Op::GetFileInformationByHandle,
         [&] { return !os::GetFileInformationByHandle(H(1), &info); }},
        {Op::CloseHandle, [] { return !os::CloseHandle(H(1)); }},
        {Op::FindFirstFileW,
         [&] { return os::FindFirstFileW(u"f", &found) == os::InvalidHandle(); }},
        {Op::FindClose, [] { return !os::FindClose(H(1)); }},
        {Op::FileTimeToLocalFileTime, [&] { return !os::FileTimeToLocalFileTime(&ft, &ft); }},
        {Op::FileTimeToSystemTime, [&] { return !os::FileTimeToSystemTime(&ft, &st); }},
        {Op::GetLocalTime, [&] { return os::GetLocalTime(&st), false; }},
        {Op::GetLogicalDrives, [] { return os::GetLogicalDrives() == 0; }},
        {Op::GetFileAttributesW,
         [] { return os::GetFileAttributesW(u"C:\\") == os::INVALID_FILE_ATTRIBUTES; }},
        {Op::GetVolumeInformationW,
         [&] {
             return !os::GetVolumeInformationW(u"C:\\", text, 64, &n, nullptr, nullptr, nullptr, 0);
         }},
        {Op::OpenClipboard, [] { return !os::OpenClipboard(nullptr); }},
        {Op::GetClipboardData, [] { return os::GetClipboardData(os::CF_UNICODETEXT) == nullptr; }},
        {Op::CloseClipboard, [] { return !os::CloseClipboard(); }},
        {Op::GlobalLock, [] { return os::GlobalLock(H(0xC11B)) == nullptr; }},
        {Op::GlobalUnlock, [] { return !os::GlobalUnlock(H(0xC11B)); }},
        {Op::GlobalSize, [] { return os::GlobalSize(H(0xC11B)) == 0; }},
        {Op::GetVersionExW, [&] { return !os::GetVersionExW(&version); }},
        {Op::RegOpenKeyExW,
         [&] {
             return os::RegOpenKeyExW(os::HkeyLocalMachine(), u"k", 0, os::KEY_READ, &key) ==
                    os::ERROR_FILE_NOT_FOUND;
         }},
        {Op::RegEnumValueW,
         [&] {
             n = 64;
             os::DWORD size = 64;
             return os::RegEnumValueW(key, 0, text, &n, nullptr, nullptr,
                                      reinterpret_cast<uint8_t*>(bytes), &size) > 0;
         }},
        {Op::RegCloseKey, [&] { return os::RegCloseKey(key) != os::ERROR_SUCCESS; }},
    };
    ASSERT_EQ(fake::OP_COUNT, sizeof(wiring) / sizeof(wiring[0]));
    for (size_t i = 0; i < fake::OP_COUNT; ++i) {
        const Wiring& w = wiring[i];
        ASSERT_EQ(i, static_cast<size_t>(w.op));
        EXPECT_EQ(w.op, fake::OpNamed(fake::Name(w.op)));
        fake::Reset();
        fake::State().readFile = [](os::HANDLE, void*, os::DWORD size, os::DWORD* read) {
            *read = size;
            return os::BOOL(1);
        };
        if (fake::CanFail(w.op)) fake::FailNth(w.op, 1);
        bool failed = w.failed();
        EXPECT_EQ(1u, fake::Count(w.op)) << fake::Name(w.op);
        EXPECT_EQ(fake::CanFail(w.op) ? 1u : 0u, fake::Fired()) << fake::Name(w.op);
        EXPECT_EQ(fake::CanFail(w.op), failed) << fake::Name(w.op);
    }
    fake::Reset();
}

TEST(FakePlatform, FaultsFireAtTheCallsAskedFor) {
    struct Case {
        std::function<void()> fault;
        std::vector<bool> fails; // calls 1 to 4
    };
    const Case cases[] = {
        {[] {}, {false, false, false, false}},
        {[] { fake::FailNth(Op::GetLogicalDrives, 2); }, {false, true, false, false}},
        {[] { fake::FailNth("GetLogicalDrives", 2, true); }, {false, true, true, true}},
        {[] { fake::FailCalls(Op::GetLogicalDrives, 2, 3); }, {false, true, true, false}},
    };
    for (const Case& c : cases) {
        fake::Reset();
        fake::State().logicalDrives = 4;
        c.fault();
        std::vector<bool> fails;
        size_t fired = 0;
        for (int i = 0; i < 4; ++i) {
            fails.push_back(os::GetLogicalDrives() == 0);
            fired += fails.back() ? 1 : 0;
        }
        EXPECT_EQ(c.fails, fails);
        EXPECT_EQ(fired, fake::Fired());
    }
}

TEST(FakePlatform, StillOpenNamesWhatWasNotReleased) {
    fake::Reset();
    fake::Platform& s = fake::State();
    s.createFile = [](const char16_t*) { return H(0xF11E); };
    s.findFirstFile = [](const char16_t*, os::WIN32_FIND_DATAW*) { return H(0x5EA2); };
    s.clipboardHasText = true;
    os::WIN32_FIND_DATAW found{};
    os::HKEY key = nullptr;
    void* block = os::HeapAlloc(os::GetProcessHeap(), 0, 8);
    os::HANDLE file = os::CreateFileW(u"f", 0, 0, nullptr, 0, 0, nullptr);
    os::HANDLE search = os::FindFirstFileW(u"f*", &found);
    os::RegOpenKeyExW(os::HkeyLocalMachine(), u"k", 0, os::KEY_READ, &key);
    os::OpenClipboard(nullptr);
    os::HANDLE memory = os::GetClipboardData(os::CF_UNICODETEXT);
    os::GlobalLock(memory);
    EXPECT_EQ("1 heap block, 1 file handle, 1 find handle, 1 registry key, 1 clipboard open, "
              "1 clipboard lock",
              fake::StillOpen());
    os::HeapFree(os::GetProcessHeap(), 0, block);
    os::CloseHandle(file);
    os::FindClose(search);
    os::RegCloseKey(key);
    os::GlobalUnlock(memory);
    os::CloseClipboard();
    EXPECT_EQ("", fake::StillOpen());
    os::CloseHandle(file);
    os::HeapAlloc(nullptr, 0, 8);
    EXPECT_EQ("1 release of nothing open, 1 heap call on no heap", fake::StillOpen());
    fake::Reset();
}

TEST(FakePlatform, ForgetRunKeepsTheWorld) {
    fake::Reset();
    fake::Platform& s = fake::State();
    s.logicalDrives = 4;
    s.createFile = [](const char16_t*) { return H(0xF11E); };
    fake::FailNth(Op::GetLogicalDrives, 1, true);
    os::HeapAlloc(os::GetProcessHeap(), 0, 8);
    os::CreateFileW(u"f", 0, 0, nullptr, 0, 0, nullptr);
    EXPECT_EQ(0u, os::GetLogicalDrives());
    fake::ForgetRun();
    EXPECT_EQ("", fake::StillOpen());
    EXPECT_EQ(0u, fake::Count(Op::GetLogicalDrives));
    EXPECT_EQ(4u, os::GetLogicalDrives());
    EXPECT_NE(os::InvalidHandle(), os::CreateFileW(u"f", 0, 0, nullptr, 0, 0, nullptr));
    fake::Reset();
}

TEST(FakePlatform, AnOperationThatIsNoneStopsTheTest) {
#if defined(_WIN32)
    GTEST_SKIP() << "death tests run natively";
#else
    EXPECT_DEATH(fake::FailNth("HeapAloc", 1), "no platform operation is named 'HeapAloc'");
    EXPECT_DEATH(fake::Count("CloseClipbaord"), "CloseClipbaord");
    EXPECT_DEATH(fake::FailNth(Op::Sleep, 1), "cannot fail");
    EXPECT_DEATH(fake::FailNth(Op::HeapAlloc, 0), "no call to fail");
#endif
}

} // namespace
