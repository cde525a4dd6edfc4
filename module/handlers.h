// The handlers of the names, each named as its name is (MIDSTR's serves
// SUBSTRING too), and the dispatch rows that join them. Each takes the call
// as ModuleEntry got it (see Handler), needing only its HostInfo and
// ModuleCall, and returns a result code (RESULT_SERVED, or RESULT_FAILED
// after showing its usage text). No handler calls another.
#pragma once

#include "module/dispatch.h"
#include "module/module_api.h"

int32_t HANDLER_CONV LeftStr(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV MidStr(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV RightStr(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV Padding(HostInfo* host, int32_t, ModuleCall* call);

int32_t HANDLER_CONV NowDateTime(HostInfo* host, int32_t, ModuleCall* call);

int32_t HANDLER_CONV StdIn(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV StdOut(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV StdErr(HostInfo* host, int32_t, ModuleCall* call);

// RESULT_FAILED also when no key finds a drive (no usage text then).
int32_t HANDLER_CONV FindDrive(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV ClippedText(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV Version(HostInfo* host, int32_t, ModuleCall* call);

int32_t HANDLER_CONV RotateExecute(HostInfo* host, int32_t, ModuleCall* call);
int32_t HANDLER_CONV RotateCustomize(HostInfo* host, int32_t, ModuleCall* call);

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
