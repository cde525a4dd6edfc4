#include "tests/support/sample_world.h"

#include "module/module_api.h"

#include <stdio.h>
#include <string.h>

#if !defined(_WIN32)
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#endif

std::string SampleInput() {
    std::string block = "h\xC3\xA9llo w\xE2\x82\xACrld \xF0\x9F\x99\x82";
    block += '\0';
    block += "\r\n";
    std::string text;
    while (text.size() + block.size() <= 3000)
        text += block;
    text.resize(3000, 'x');
    return text;
}

intptr_t SampleHostAnswer(int32_t code, void* argument) {
    if (code == HOSTREQ_EXPAND) memcpy(argument, u"1", 2 * sizeof(char16_t));
    if (code == HOSTREQ_VERSION) return 11803;
    return code == HOSTREQ_MESSAGE ? HOSTANSWER_DONE : HOSTANSWER_DECLINED;
}

#if !defined(_WIN32)

namespace {

std::string Utf8(const char16_t* text) {
    return std::filesystem::path(std::u16string(text)).u8string();
}

} // namespace

SampleWorldFolder::SampleWorldFolder() {
    namespace fs = std::filesystem;
    std::string drives;
    for (const SampleDrive& d : SAMPLE_DRIVES) {
        std::string letter = Utf8(std::u16string(1, d.letter).c_str());
        // A drive without its medium is a folder that is not there.
        if (d.label != nullptr) fs::create_directories(dir_ / letter);
        if (d.folder != nullptr) fs::create_directories(dir_ / letter / Utf8(d.folder));
        char serial[9] = "";
        snprintf(serial, sizeof serial, "%08X", static_cast<unsigned>(d.serial));
        drives += (drives.empty() ? "" : ";") + letter + "=" + dir_.Utf8(letter);
        if (d.label != nullptr) drives += "|" + Utf8(d.label) + "|" + serial;
    }
    fs::create_directories(dir_ / Utf8(SAMPLE_DIRECTORY));
    std::ofstream(dir_ / Utf8(SAMPLE_FILE)) << "stamp";
    std::ofstream eras(dir_ / "eras.txt");
    for (const SampleEra& era : SAMPLE_ERAS)
        eras << Utf8(era.start) << "=" << Utf8(era.names) << "\n";
    eras.close();
    std::ofstream(dir_ / "clip.txt") << Utf8(SAMPLE_CLIPBOARD_TEXT);
    const uint64_t time = FileTicksOfUnix(SAMPLE_ENTRY_TIME);
    ready_ = SetEntryTimes(dir_ / Utf8(SAMPLE_FILE), time, time) &&
             SetEntryTimes(dir_ / Utf8(SAMPLE_DIRECTORY), time, time) &&
             chdir(dir_.Utf8().c_str()) == 0;
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("MURLIN_ERAS", dir_.Utf8("eras.txt").c_str(), 1);
    setenv("MURLIN_CLIPBOARD", dir_.Utf8("clip.txt").c_str(), 1);
    setenv("MURLIN_DRIVES", drives.c_str(), 1);
}

SampleWorldFolder::~SampleWorldFolder() {
    unsetenv("MURLIN_ERAS");
    unsetenv("MURLIN_CLIPBOARD");
    unsetenv("MURLIN_DRIVES");
    if (chdir("/") != 0) perror("chdir");
}

#endif
