// How every handler reads its parameters, reports wrong use and delivers a
// function's value.
#pragma once

#include "module/module_api.h"

// The most characters a delivery writes into the result buffer itself; a
// longer value is offered to the host first.
constexpr size_t RESULT_TEXT_LIMIT = 1008;

// The parameter after p: p advanced past its NUL.
const char16_t* NextParam(const char16_t* p);

// Blanks (U+0020 only), then ASCII digits, modulo 2^32. The cursor is left on
// the first unit not consumed; it never passes the text's NUL.
uint32_t ReadDecimal(const char16_t*& cursor);

// Asks the host to show the text; falls back to a plain message box.
void ShowUsage(HostInfo* host, const char16_t* text);

// Puts a NUL-terminated value into the result buffer, or hands a value longer
// than RESULT_TEXT_LIMIT to the host (the buffer is then left empty).
void DeliverResult(HostInfo* host, ModuleCall* call, const char16_t* text);

// DeliverResult for a text whose length the caller already knows (it still
// ends in a NUL at text[length]), so a long text is not measured again.
void DeliverResultOfLength(HostInfo* host, ModuleCall* call, const char16_t* text, size_t length);

// Delivers the n units at start. A long piece goes to the host as a heap
// copy; when the host takes it the result buffer is left as it was.
void DeliverSlice(HostInfo* host, ModuleCall* call, const char16_t* start, size_t n);

// Sends a request to the host through its service function.
intptr_t AskHost(HostInfo* host, int32_t request, void* argument);
