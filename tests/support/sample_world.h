// The world of the sample calls (sample_calls.h), described once: built from
// this description on the test platform by BuildSampleWorld, and for the
// POSIX stand-ins by a SampleWorldFolder. A test of other conditions builds
// the world and then changes what it varies in fake::State(): the ANSI code
// page (ansiCodePage), the standard handles (getStdHandle, fileType), the
// clipboard (clipboardHasText, clipboardText), a drive's medium (volumes.erase,
// driveErrors), the host's error mode (threadErrorMode): the fault sweep's
// table of conditions does so for each.
#pragma once

#include "platform/platform.h"
#include "tests/support/files.h"

#include <stdint.h>

#include <string>

struct SampleDrive {
    char16_t letter;
    const char16_t* label; // null: present, without its medium
    os::DWORD serial;
    const char16_t* folder; // a folder in its root, or null
};

struct SampleEra {
    const char16_t* start; // the registry value's name, "yyyy mm dd"
    const char16_t* names; // its data
};

// C: SYSTEM 1A2B-3C4D holding C:\Windows, D: without its medium, E: BACKUP
// 0000-0002; no other drive.
constexpr SampleDrive SAMPLE_DRIVES[] = {{u'C', u"SYSTEM", 0x1A2B3C4D, u"Windows"},
                                         {u'D', nullptr, 0, nullptr},
                                         {u'E', u"BACKUP", 0x00000002, nullptr}};
constexpr char16_t SAMPLE_CLIPBOARD_TEXT[] = u"a\tb\r\nc";
// Reiwa, and an era from 2030-01-01 on.
constexpr SampleEra SAMPLE_ERAS[] = {{u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
                                     {u"2030 01 01", u"\u5149\u660E_\u5149_Komei_K"}};
// In the current directory: the file file.txt and the directory dir1 (which
// dir* matches alone), written and read last at 2031-06-15 12:00, local time
// being UTC.
constexpr char16_t SAMPLE_FILE[] = u"file.txt";
constexpr char16_t SAMPLE_DIRECTORY[] = u"dir1";
constexpr int64_t SAMPLE_ENTRY_TIME = 1939291200; // Unix seconds
// Now, on the test platform (the stand-ins read the system's clock): a day of
// the era from 2030.
constexpr os::SYSTEMTIME SAMPLE_NOW{2030, 6, 6, 15, 13, 5, 9, 42};
// The error mode the host runs with, which every call must leave as it was.
constexpr os::DWORD SAMPLE_HOST_ERROR_MODE = os::SEM_NOOPENFILEERRORBOX;
// Standard input on the test platform, a pipe whose writer has closed it:
// 3000 bytes, valid UTF-8 and Windows-1252 alike, zero bytes included, that
// reads of any size cut at every boundary.
std::string SampleInput();

// The host's answers: HOSTREQ_EXPAND writes "1", HOSTREQ_VERSION is 11803,
// messages are taken and long values declined. For TestHost::answer.
intptr_t SampleHostAnswer(int32_t code, void* argument);

// The test platform, reset and then given the world (call log on).
void BuildSampleWorld();

// The world for the POSIX stand-ins: a temporary folder made the current
// directory, and the environment they read (MURLIN_DRIVES, MURLIN_CLIPBOARD,
// MURLIN_ERAS, TZ), until the object goes. Not in the Windows builds.
class SampleWorldFolder {
  public:
    SampleWorldFolder();
    ~SampleWorldFolder();
    bool Ready() const { return ready_; } // false when the world could not be made

  private:
    TempFolder dir_{"murlin-world"};
    bool ready_ = false;
};
