// The POSIX stand-ins map X:\ names through one drive table, in every
// operation that takes a name, so that FINDDRIVE and NOWDATETIME see the same
// files for the same name.
#if !defined(_WIN32)

#include "platform/platform.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>

namespace {

namespace fs = std::filesystem;

class DriveMapping : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "sub");
        std::ofstream(dir / "sub" / "file.txt") << "abc";
        setenv("MURLIN_DRIVES", ("Q=" + dir.Utf8() + "|LBL|1A2B3C4D").c_str(), 1);
    }
    void TearDown() override { unsetenv("MURLIN_DRIVES"); }
    TempFolder dir{"murlin-drive-q"};
};

// The size each operation sees under a name, or -1 when it fails: opened,
// found, and its attributes.
using Seen = std::array<long long, 3>;

Seen Look(const char16_t* name) {
    Seen seen{-1, -1, -1};
    os::HANDLE file = os::CreateFileW(name, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                      os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != os::InvalidHandle()) {
        os::BY_HANDLE_FILE_INFORMATION info{};
        if (os::GetFileInformationByHandle(file, &info)) seen[0] = info.nFileSizeLow;
        os::CloseHandle(file);
    }
    os::WIN32_FIND_DATAW found{};
    os::HANDLE search = os::FindFirstFileW(name, &found);
    if (search != os::InvalidHandle()) {
        seen[1] = std::u16string(found.cFileName) == u"file.txt" ? found.nFileSizeLow : -2;
        os::FindClose(search);
    }
    os::DWORD attributes = os::GetFileAttributesW(name);
    if (attributes != os::INVALID_FILE_ATTRIBUTES) seen[2] = attributes;
    return seen;
}

TEST_F(DriveMapping, EveryOperationSeesTheSameFile) {
    const long long normal = os::FILE_ATTRIBUTE_NORMAL;
    struct Case {
        const char16_t* name;
        Seen seen;
    };
    const Case cases[] = {
        {u"Q:\\sub\\file.txt", {3, 3, normal}}, {u"q:/sub/file.txt", {3, 3, normal}},
        {u"Q:\\sub\\f*.txt", {-1, 3, -1}},      {u"Q:\\sub\\none.txt", {-1, -1, -1}},
        {u"R:\\sub\\file.txt", {-1, -1, -1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.seen, Look(c.name)) << testing::PrintToString(std::u16string(c.name));
    char16_t label[32] = {};
    os::DWORD serial = 0;
    ASSERT_NE(0,
              os::GetVolumeInformationW(u"Q:\\", label, 32, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(std::u16string(u"LBL"), label);
    EXPECT_EQ(0x1A2B3C4Du, serial);
}

} // namespace

#endif
