// The handlers of the names, each named as its name is (MIDSTR's serves
// SUBSTRING too), and the dispatch rows that join them. Each takes the
// call's HostInfo and ModuleCall, as ModuleEntry got them, and returns a
// result code (RESULT_SERVED, or RESULT_FAILED after showing its usage
// text). No handler calls another.
#pragma once

#include "module/dispatch.h"
#include "module/module_api.h"

int32_t LeftStr(HostInfo* host, ModuleCall* call);
int32_t MidStr(HostInfo* host, ModuleCall* call);
int32_t RightStr(HostInfo* host, ModuleCall* call);
int32_t Padding(HostInfo* host, ModuleCall* call);

int32_t NowDateTime(HostInfo* host, ModuleCall* call);

int32_t StdIn(HostInfo* host, ModuleCall* call);
int32_t StdOut(HostInfo* host, ModuleCall* call);
int32_t StdErr(HostInfo* host, ModuleCall* call);

// RESULT_FAILED also when no key finds a drive (no usage text then).
int32_t FindDrive(HostInfo* host, ModuleCall* call);
int32_t ClippedText(HostInfo* host, ModuleCall* call);
int32_t Version(HostInfo* host, ModuleCall* call);

int32_t RotateExecute(HostInfo* host, ModuleCall* call);
int32_t RotateCustomize(HostInfo* host, ModuleCall* call);

// Every name the module serves: a new name is one row here.
inline constexpr DispatchRow DISPATCH_ROWS[] = {
    {MODCALL_FUNCTION, u"LEFTSTR", LeftStr},
    {MODCALL_FUNCTION, u"MIDSTR", MidStr},
    {MODCALL_FUNCTION, u"SUBSTRING", MidStr},
    {MODCALL_FUNCTION, u"RIGHTSTR", RightStr},
    {MODCALL_FUNCTION, u"PADDING", Padding},
    {MODCALL_FUNCTION, u"NOWDATETIME", NowDateTime},
    {MODCALL_FUNCTION, u"STDIN", StdIn},
    {MODCALL_COMMAND, u"STDOUT", StdOut},
    {MODCALL_COMMAND, u"STDERR", StdErr},
    {MODCALL_FUNCTION, u"FINDDRIVE", FindDrive},
    {MODCALL_FUNCTION, u"CLIPPEDTEXT", ClippedText},
    {MODCALL_FUNCTION, u"VERSION", Version},
    {MODCALL_COMMAND, u"ROTATEEXECUTE", RotateExecute},
    {MODCALL_COMMAND, u"ROTATECUSTOMIZE", RotateCustomize},
};
