// How every handler reads its parameters (numbers with ReadDecimal of
// module/decimal.h), reports wrong use and delivers a function's value.
#pragma once

#include "module/decimal.h"
#include "module/module_api.h"

// The most characters a delivery writes into the result buffer itself; a
// longer value is offered to the host first.
constexpr size_t RESULT_TEXT_LIMIT = 1008;

// The parameter after p: p advanced past its NUL. Only for reaching a
// parameter that the call's paramCount says is there.
const char16_t* NextParam(const char16_t* p);

// Asks the host to show the text (HOSTREQ_MESSAGE); when the host does not
// answer HOSTANSWER_DONE, shows it in a plain message box.
void ShowUsage(HostInfo* host, const char16_t* text);

// How a handler refuses a call that does not fit: ShowUsage, then
// RESULT_FAILED to return. Out of the way of the calls that fit.
__attribute__((noinline, cold)) int32_t FailWithUsage(HostInfo* host, const char16_t* usage);

// The deliveries of a function's value into call->resultBuffer. A value of
// up to RESULT_TEXT_LIMIT characters is copied there with its NUL. A longer
// one is offered to the host (HOSTREQ_LONGRESULT); a host that does not take
// it gets the first RESULT_TEXT_LIMIT characters in the buffer, with nothing
// to say that they were cut. When the host takes it the two differ, and
// hosts may rely on each: DeliverResult and DeliverResultOfLength leave the
// buffer empty, DeliverSlice and DeliverComputed do not write it at all.

// Delivers a NUL-terminated text, offering the host the text itself.
void DeliverResult(HostInfo* host, ModuleCall* call, const char16_t* text);

// DeliverResult for a text whose length the caller already knows (it still
// ends in a NUL at text[length]), so a long text is not measured again.
void DeliverResultOfLength(HostInfo* host, ModuleCall* call, const char16_t* text, size_t length);

// Delivers the n units at start, which need not end in a NUL. A long piece
// is offered as a NUL-terminated copy on the process heap, freed before the
// call returns; a failed allocation cuts the piece as a declining host does.
void DeliverSlice(HostInfo* host, ModuleCall* call, const char16_t* start, size_t n);

// Writes the first count units of a value made from source, and a NUL after
// them. CopyUnits is one: the value is the text at source.
typedef void (*WriteUnits)(char16_t* destination, const char16_t* source, size_t count);

// Delivers a value of n units that the handler computes from source, of any
// length, as DeliverSlice delivers a piece: write puts the value into the
// result buffer, or, when it is long, into a block of the process heap that
// is offered to the host and freed; when the host declines it or the heap
// has no block, write puts its first RESULT_TEXT_LIMIT units into the result
// buffer. DeliverSlice(host, call, start, n) is DeliverComputed(host, call,
// start, n, CopyUnits).
void DeliverComputed(HostInfo* host, ModuleCall* call, const char16_t* source, size_t n,
                     WriteUnits write);

// Sends a request to the host through its service function and returns the
// host's answer (see HostCallback).
intptr_t AskHost(HostInfo* host, int32_t request, void* argument);
