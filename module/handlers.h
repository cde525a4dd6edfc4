// The handlers of the fourteen names, one per name (two names share
// SliceMid, two share WriteStdStream). Each takes the call's HostInfo and
// ModuleCall and returns a result code.
#pragma once

#include "module/module_api.h"

int32_t SliceLeft(HostInfo* host, ModuleCall* call);
int32_t SliceMid(HostInfo* host, ModuleCall* call);
int32_t SliceRight(HostInfo* host, ModuleCall* call);
int32_t PadLeft(HostInfo* host, ModuleCall* call);

int32_t NowDateTime(HostInfo* host, ModuleCall* call);

int32_t ReadStdIn(HostInfo* host, ModuleCall* call);
int32_t WriteStdStream(HostInfo* host, ModuleCall* call, int32_t standardHandle);

int32_t FindDrive(HostInfo* host, ModuleCall* call);
void ReadClipboardText(HostInfo* host, ModuleCall* call);
int32_t ReportVersion(HostInfo* host, ModuleCall* call);

int32_t RotateExecute(HostInfo* host, ModuleCall* call);
int32_t RotateCustomize(HostInfo* host, ModuleCall* call);
