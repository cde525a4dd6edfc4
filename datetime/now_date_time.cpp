// NOWDATETIME: the local time now, or a file's time stamp in local time, in
// the date format language.
#include "datetime/date_format.h"
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

const os::FILETIME& ChosenTime(const os::FILETIME& creation, const os::FILETIME& access,
                               const os::FILETIME& write, TimeStamp which) {
    return which == LAST_ACCESS_TIME ? access : which == LAST_WRITE_TIME ? write : creation;
}

// The chosen time stamp of the file as local time; false when the file is
// neither opened nor found, or its time cannot be converted.
bool ReadFileTime(const char16_t* name, TimeStamp which, os::SYSTEMTIME& date) {
    FileInfoBlock block;
    const os::FILETIME* time = nullptr;
    os::HANDLE file =
        os::CreateFileW(name, os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                        os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != os::InvalidHandle()) {
        if (os::GetFileInformationByHandle(file, &block.byHandle) != 0)
            time = &ChosenTime(block.byHandle.ftCreationTime, block.byHandle.ftLastAccessTime,
                               block.byHandle.ftLastWriteTime, which);
        os::CloseHandle(file);
    } else {
        // Directories, files held without sharing and wildcards come this way.
        os::HANDLE search = os::FindFirstFileW(name, &block.found);
        if (search != os::InvalidHandle()) {
            os::FindClose(search);
            time = &ChosenTime(block.found.ftCreationTime, block.found.ftLastAccessTime,
                               block.found.ftLastWriteTime, which);
        }
    }
    if (time == nullptr) return false;
    os::FILETIME local;
    // A time the platform cannot convert gives the current time instead.
    return os::FileTimeToLocalFileTime(time, &local) != 0 &&
           os::FileTimeToSystemTime(&local, &date) != 0;
}

} // namespace

int32_t NowDateTime(HostInfo* host, ModuleCall* call) {
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
