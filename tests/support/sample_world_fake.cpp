// The sample world on the test platform; for the programs linked with it.
#include "platform/testing/fake_platform.h"
#include "platform/win32_emulation/file_time.h"
#include "tests/support/sample_world.h"

namespace {

const os::HANDLE FILE_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0xF11E));
const os::HANDLE SEARCH_HANDLE = reinterpret_cast<os::HANDLE>(static_cast<intptr_t>(0x5EA2));

} // namespace

void BuildSampleWorld() {
    static const std::string INPUT = SampleInput();
    fake::Reset();
    fake::Platform& s = fake::State();
    s.threadErrorMode = SAMPLE_HOST_ERROR_MODE;
    for (const SampleDrive& d : SAMPLE_DRIVES) {
        s.logicalDrives |= 1u << (d.letter - u'A');
        if (d.label != nullptr) s.volumes[d.letter] = {d.label, d.serial};
        if (d.folder != nullptr)
            s.fileAttributes[d.letter + std::u16string(u":\\") + d.folder] =
                os::FILE_ATTRIBUTE_DIRECTORY;
    }
    s.clipboardHasText = true;
    s.clipboardText = SAMPLE_CLIPBOARD_TEXT;
    for (const SampleEra& era : SAMPLE_ERAS)
        s.registryValues.push_back({era.start, era.names});
    s.localTime = SAMPLE_NOW;
    s.createFile = [](const char16_t* name) {
        return std::u16string(name) == SAMPLE_FILE ? FILE_HANDLE : os::InvalidHandle();
    };
    s.getFileInformation = [](os::HANDLE, os::BY_HANDLE_FILE_INFORMATION* info) {
        *info = {};
        info->dwFileAttributes = os::FILE_ATTRIBUTE_NORMAL;
        info->ftCreationTime = info->ftLastAccessTime = info->ftLastWriteTime =
            FileTimeFromUnix(SAMPLE_ENTRY_TIME, 0);
        return os::BOOL(1);
    };
    s.findFirstFile = [](const char16_t* name, os::WIN32_FIND_DATAW* data) {
        std::u16string pattern = name;
        if (pattern != u"dir*" && pattern != SAMPLE_DIRECTORY) return os::InvalidHandle();
        *data = {};
        data->dwFileAttributes = os::FILE_ATTRIBUTE_DIRECTORY;
        data->ftCreationTime = data->ftLastAccessTime = data->ftLastWriteTime =
            FileTimeFromUnix(SAMPLE_ENTRY_TIME, 0);
        std::char_traits<char16_t>::copy(data->cFileName, SAMPLE_DIRECTORY,
                                         sizeof SAMPLE_DIRECTORY / sizeof(char16_t));
        return SEARCH_HANDLE;
    };
    s.fileTimeToSystem = [](const os::FILETIME* t, os::SYSTEMTIME* split) {
        return os::BOOL(SplitFileTime(FileTimeTicks(*t), split));
    };
    s.pipe.waiting = INPUT;
}
