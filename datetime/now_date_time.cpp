// NOWDATETIME: the local time now, or a file's time stamp in local time, in
// the date format language.
#include "datetime/date_format.h"
#include "module/error_mode.h"
#include "module/handlers.h"
#include "module/params.h"
#include "platform/platform.h"

namespace {

// The lone \r\n after "format:" is the usage text as users know it; kept.
constexpr char16_t NOWDATETIME_USAGE[] =
    u"%*nowdatetime([\"format\"][,filename[,c|a]])\n"
    u"\n"
    u"format:\r\n"
    u"Y-N-D \"2000-12-31\"  H:M:S \"23:59:59\"\n"
    u"year:  y (00)  Y (2000)  g (H12)  G (\u5E73\u621012)\n"
    u"month: n ( 1)  N (01)\n"
    u"day:   d ( 1)  D (01)\n"
    u"hour:  h ( 1)  H (23)  u ( 1)  U (11) t (am/pm) T(\u5348\u524D/\u5348\u5F8C)\n"
    u"min:   m ( 0)  M (00)\n"
    u"sec:   s ( 0)  S (00)\n"
    u"msec:  I (000)";
static_assert(sizeof(NOWDATETIME_USAGE) / sizeof(char16_t) == 293, "usage text of 292 units");

enum TimeStamp { CREATION_TIME, LAST_ACCESS_TIME, LAST_WRITE_TIME };

// Both records the platform fills begin with the attributes and the three
// times; one buffer takes either.
union FileInfoBlock {
    os::BY_HANDLE_FILE_INFORMATION byHandle;
    os::WIN32_FIND_DATAW found;
};

// Either record's chosen time.
template <typename Record> const os::FILETIME* ChosenTime(const Record& record, TimeStamp which) {
    return which == LAST_ACCESS_TIME  ? &record.ftLastAccessTime
           : which == LAST_WRITE_TIME ? &record.ftLastWriteTime
                                      : &record.ftCreationTime;
}

// Opens the name and reads its times into block; false when it does not open
// or its times cannot be read.
bool ReadTimesByHandle(const char16_t* name, os::DWORD access, os::DWORD sharing, os::DWORD flags,
                       os::BY_HANDLE_FILE_INFORMATION* block) {
    os::HANDLE file =
        os::CreateFileW(name, access, sharing, nullptr, os::OPEN_EXISTING, flags, nullptr);
    if (file == os::InvalidHandle()) return false;
    bool read = os::GetFileInformationByHandle(file, block) != 0;
    os::CloseHandle(file);
    return read;
}

// The entry's chosen time: the file opened for reading, or else the first
// entry the name matches (directories, files held without sharing,
// wildcards), or else the entry opened for its attributes alone with backup
// semantics (a folder named with a trailing backslash, a drive root). Null
// when none of them gives its times; a file that opens but cannot be read
// is not looked for again.
const os::FILETIME* FindEntryTime(const char16_t* name, TimeStamp which, FileInfoBlock* block) {
    os::HANDLE file =
        os::CreateFileW(name, os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                        os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != os::InvalidHandle()) {
        bool read = os::GetFileInformationByHandle(file, &block->byHandle) != 0;
        os::CloseHandle(file);
        return read ? ChosenTime(block->byHandle, which) : nullptr;
    }
    os::HANDLE search = os::FindFirstFileW(name, &block->found);
    if (search != os::InvalidHandle()) {
        os::FindClose(search);
        return ChosenTime(block->found, which);
    }
    constexpr os::DWORD ANY_SHARING =
        os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE;
    if (!ReadTimesByHandle(name, os::FILE_READ_ATTRIBUTES, ANY_SHARING,
                           os::FILE_FLAG_BACKUP_SEMANTICS, &block->byHandle))
        return nullptr;
    return ChosenTime(block->byHandle, which);
}

// The chosen time stamp of the file as local time; false when the file is
// not found, or its time cannot be converted. A name on an empty drive must
// not raise the system's "no disk" box on the host's thread.
bool ReadFileTime(const char16_t* name, TimeStamp which, os::SYSTEMTIME& date) {
    FileInfoBlock block;
    os::DWORD hostMode = 0;
    bool quiet = QuietCriticalErrors(&hostMode);
    const os::FILETIME* time = FindEntryTime(name, which, &block);
    if (quiet) RestoreErrorMode(hostMode);
    if (time == nullptr) return false;
    os::FILETIME local;
    // A time the platform cannot convert gives the current time instead.
    return os::FileTimeToLocalFileTime(time, &local) != 0 &&
           os::FileTimeToSystemTime(&local, &date) != 0;
}

} // namespace

int32_t HANDLER_CONV NowDateTime(HostInfo* host, int32_t, ModuleCall* call) {
    call->resultBuffer[0] = 0;
    os::SYSTEMTIME fileDate;
    const os::SYSTEMTIME* date = nullptr;
    const char16_t* format = call->paramList;
    if (format != nullptr && call->paramCount >= 2) {
        const char16_t* name = NextParam(format);
        if (name[0] != 0) {
            TimeStamp which = LAST_WRITE_TIME;
            if (call->paramCount >= 3)
                which = NextParam(name)[0] == u'a' ? LAST_ACCESS_TIME : CREATION_TIME;
            if (ReadFileTime(name, which, fileDate)) date = &fileDate;
        }
    }
    if (format == nullptr) {
        FormatDateTime(nullptr, date, call->resultBuffer, RESULT_BUFFER_UNITS);
        return RESULT_SERVED;
    }
    if (format[0] == u'-' || format[0] == u'/' || format[0] == u'?')
        return FailWithUsage(host, NOWDATETIME_USAGE);
    FormatDateTime(format, date, call->resultBuffer, RESULT_BUFFER_UNITS);
    return RESULT_SERVED;
}
