// FINDDRIVE: the first key that finds a present drive names it. A key is a
// fixed answer ("!..."), a drive letter or path ("X:..."), or else a volume
// label or serial number; every key that is not a fixed answer also gets the
// volume scan, so a path that is missing can still match a label.
//
// Each drive's volume is asked for at most once a call, when a key first
// needs it: a disconnected network drive or a sleeping disk costs its
// timeout once, not once per key. While the drives are asked, the thread's
// error mode keeps the system's "no disk in the drive" box away from the
// host's thread; the host's own mode is back before the host is called.
#include "module/error_mode.h"
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
constexpr int DRIVE_LETTERS = 26;

enum VolumeState : uint8_t { VOLUME_NOT_ASKED, VOLUME_UNREADABLE, VOLUME_READ };

struct DriveVolume {
    VolumeState state;
    char16_t label[LABEL_UNITS];
    char16_t serialText[SERIAL_TEXT_UNITS];
};

// The present drives of the call and what their volumes said so far.
struct DriveTable {
    os::DWORD drives;
    DriveVolume volumes[DRIVE_LETTERS];
};

// Writes "X:" of the letter into the result buffer.
void WriteDriveAnswer(char16_t* result, char16_t letter) {
    os::wsprintfW(result, ROOT_FORMAT, static_cast<int>(letter));
    result[2] = 0;
}

// The drive's volume, asked for on first use.
const DriveVolume& VolumeOf(DriveTable* table, int i) {
    DriveVolume& volume = table->volumes[i];
    if (volume.state != VOLUME_NOT_ASKED) return volume;
    volume.state = VOLUME_UNREADABLE;
    char16_t root[8];
    os::wsprintfW(root, ROOT_FORMAT, static_cast<int>(u'A' + i));
    volume.label[0] = 0;
    os::DWORD serial = 0;
    if (!os::GetVolumeInformationW(root, volume.label, LABEL_UNITS, &serial, nullptr, nullptr,
                                   nullptr, 0))
        return volume;
    volume.label[LABEL_UNITS - 1] = 0;
    os::wsprintfW(volume.serialText, SERIAL_FORMAT, static_cast<int>(serial >> 16),
                  static_cast<int>(serial & 0xFFFFu));
    volume.state = VOLUME_READ;
    return volume;
}

// Scans the present drives from A to Z; the first whose label, or else whose
// serial number text, equals the key wins.
bool MatchVolume(DriveTable* table, const char16_t* key, char16_t* result) {
    for (int i = 0; i < DRIVE_LETTERS; ++i) {
        if ((table->drives & (1u << i)) == 0) continue;
        const DriveVolume& volume = VolumeOf(table, i);
        if (volume.state != VOLUME_READ) continue;
        if (TextEqual(volume.label, key) || TextEqual(volume.serialText, key)) {
            WriteDriveAnswer(result, static_cast<char16_t>(u'A' + i));
            return true;
        }
    }
    return false;
}

// Tries the keys in order. True when one found a drive (its answer is in the
// result buffer) or is a fixed answer, which is left in *fixed to deliver.
bool SearchKeys(ModuleCall* call, DriveTable* table, const char16_t** fixed) {
    char16_t* result = call->resultBuffer;
    const char16_t* key = call->paramList;
    for (uint32_t k = 0; k < call->paramCount; ++k, key = NextParam(key)) {
        if (key[0] == u'!') {
            *fixed = key + 1;
            return true;
        }
        if (key[0] != 0 && key[1] == u':') {
            os::wsprintfW(result, ROOT_FORMAT, static_cast<int>(key[0]));
            if (os::GetFileAttributesW(key) != os::INVALID_FILE_ATTRIBUTES) {
                result[2] = 0; // the letter as the key wrote it
                return true;
            }
        }
        if (MatchVolume(table, key, result)) return true;
    }
    return false;
}

} // namespace

int32_t HANDLER_CONV FindDrive(HostInfo* host, int32_t, ModuleCall* call) {
    os::DWORD drives = os::GetLogicalDrives();
    if (call->paramCount < 1) return FailWithUsage(host, FIND_DRIVE_USAGE);
    DriveTable table;
    table.drives = drives;
    for (DriveVolume& volume : table.volumes)
        volume.state = VOLUME_NOT_ASKED;
    os::DWORD hostMode = 0;
    bool quiet = QuietCriticalErrors(&hostMode);
    const char16_t* fixed = nullptr;
    bool found = SearchKeys(call, &table, &fixed);
    if (quiet) RestoreErrorMode(hostMode);
    if (fixed != nullptr) {
        // A long fixed answer goes to the host rather than past the buffer.
        DeliverResult(host, call, fixed);
        return RESULT_SERVED;
    }
    if (found) return RESULT_SERVED;
    call->resultBuffer[0] = 0;
    return RESULT_FAILED;
}
