// The handlers of the fourteen names, one per name (two names share
// SliceMid, two share WriteStdStream). Each takes the call's HostInfo and
// ModuleCall, as ModuleEntry got them, and returns a result code
// (RESULT_SERVED, or RESULT_FAILED after showing its usage text). No handler
// calls another.
#pragma once

#include "module/module_api.h"
#include "platform/platform.h"

int32_t SliceLeft(HostInfo* host, ModuleCall* call);
int32_t SliceMid(HostInfo* host, ModuleCall* call);
int32_t SliceRight(HostInfo* host, ModuleCall* call);
int32_t PadLeft(HostInfo* host, ModuleCall* call);

int32_t NowDateTime(HostInfo* host, ModuleCall* call);

int32_t ReadStdIn(HostInfo* host, ModuleCall* call);
// STDOUT and STDERR: standardId is os::STD_OUTPUT_HANDLE or
// os::STD_ERROR_HANDLE, the id GetStdHandle takes.
int32_t WriteStdStream(HostInfo* host, ModuleCall* call, os::DWORD standardId);

// RESULT_FAILED also when no key finds a drive (no usage text then).
int32_t FindDrive(HostInfo* host, ModuleCall* call);
int32_t ReadClipboardText(HostInfo* host, ModuleCall* call);
int32_t ReportVersion(HostInfo* host, ModuleCall* call);

int32_t RotateExecute(HostInfo* host, ModuleCall* call);
int32_t RotateCustomize(HostInfo* host, ModuleCall* call);

// The dispatch table's rows, for programs that walk every name: a row's name
// and call kind (MODCALL_COMMAND or MODCALL_FUNCTION), or null past the last.
const char16_t* DispatchName(size_t row, int32_t* kind);
