// POSIX backend: the calling thread's last error. A stand-in that fails with
// a code Windows documents for its failure leaves it here for GetLastError.
#pragma once

#include "platform/platform.h"

void RecordLastError(os::DWORD code);
