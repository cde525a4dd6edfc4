// What Windows refuses, this build's backend refuses too: the POSIX
// stand-ins are held to the same answers as the Windows backend under Wine.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(Refusals, AReallocationOfNothingFails) {
    EXPECT_EQ(nullptr, os::HeapReAlloc(os::GetProcessHeap(), 0, nullptr, 16));
}

#if !defined(_WIN32)
// Windows refuses a second thread the clipboard while one holds it; Wine lets
// a second thread of the process in when neither names a window, so this
// holds the stand-in alone to it.

// Opens and closes the clipboard on a thread of its own: whether each worked.
std::pair<bool, bool> OpenAndCloseElsewhere() {
    std::pair<bool, bool> done;
    std::thread([&done] {
        done.first = os::OpenClipboard(nullptr) != 0;
        done.second = os::CloseClipboard() != 0;
    }).join();
    return done;
}

TEST(Refusals, TheClipboardOpensForOneThreadAtATime) {
    ASSERT_NE(0, os::OpenClipboard(nullptr));
    EXPECT_EQ(std::make_pair(false, false), OpenAndCloseElsewhere())
        << "while this thread holds it";
    EXPECT_NE(0, os::CloseClipboard());
    EXPECT_EQ(0, os::CloseClipboard()) << "closed twice";
    EXPECT_EQ(std::make_pair(true, true), OpenAndCloseElsewhere()) << "once it is free";
}
#endif

} // namespace
