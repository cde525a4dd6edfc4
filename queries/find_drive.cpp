// FINDDRIVE: the first key that finds a present drive names it. A key is a
// fixed answer ("!..."), a drive letter or path ("X:..."), or else a volume
// label or serial number; every key that is not a fixed answer also gets the
// volume scan, so a path that is missing can still match a label.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"
#include "platform/platform.h"

namespace {

constexpr char16_t FIND_DRIVE_USAGE[] =
    u"%*FindDrive(DriveLetter/label/SN1[,DriveLetter/label/SN2...])";
constexpr char16_t ROOT_FORMAT[] = u"%c:\\";
constexpr char16_t SERIAL_FORMAT[] = u"%04X-%04X";

constexpr os::DWORD LABEL_UNITS = 260;
constexpr size_t SERIAL_TEXT_UNITS = 10;

// Writes "X:" of the letter into the result buffer.
void WriteDriveAnswer(char16_t* result, char16_t letter) {
    os::wsprintfW(result, ROOT_FORMAT, static_cast<int>(letter));
    result[2] = 0;
}

// Scans the present drives from A to Z; the first whose label, or else whose
// serial number text, equals the key wins.
bool MatchVolume(os::DWORD drives, const char16_t* key, char16_t* result) {
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) continue;
        char16_t letter = static_cast<char16_t>(u'A' + i);
        char16_t root[8];
        os::wsprintfW(root, ROOT_FORMAT, static_cast<int>(letter));
        char16_t label[LABEL_UNITS];
        label[0] = 0;
        os::DWORD serial = 0;
        if (!os::GetVolumeInformationW(root, label, LABEL_UNITS, &serial, nullptr, nullptr, nullptr,
                                       0))
            continue;
        label[LABEL_UNITS - 1] = 0;
        char16_t serialText[SERIAL_TEXT_UNITS];
        os::wsprintfW(serialText, SERIAL_FORMAT, static_cast<int>(serial >> 16),
                      static_cast<int>(serial & 0xFFFFu));
        if (TextEqual(label, key) || TextEqual(serialText, key)) {
            WriteDriveAnswer(result, letter);
            return true;
        }
    }
    return false;
}

} // namespace

int32_t FindDrive(HostInfo* host, ModuleCall* call) {
    os::DWORD drives = os::GetLogicalDrives();
    if (call->paramCount < 1) return FailWithUsage(host, FIND_DRIVE_USAGE);
    char16_t* result = call->resultBuffer;
    const char16_t* key = call->paramList;
    for (uint32_t k = 0; k < call->paramCount; ++k, key = NextParam(key)) {
        if (key[0] == u'!') {
            // A long fixed answer goes to the host rather than past the buffer.
            DeliverResult(host, call, key + 1);
            return RESULT_SERVED;
        }
        if (key[0] != 0 && key[1] == u':') {
            os::wsprintfW(result, ROOT_FORMAT, static_cast<int>(key[0]));
            if (os::GetFileAttributesW(key) != os::INVALID_FILE_ATTRIBUTES) {
                result[2] = 0; // the letter as the key wrote it
                return RESULT_SERVED;
            }
        }
        if (MatchVolume(drives, key, result)) return RESULT_SERVED;
    }
    result[0] = 0;
    return RESULT_FAILED;
}
