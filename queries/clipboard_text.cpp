// Not built yet.
#include "module/handlers.h"

void ReadClipboardText(HostInfo*, ModuleCall*) {}
