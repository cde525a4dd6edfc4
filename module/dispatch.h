// The dispatch of a call to the handler of its name: a table made at compile
// time from a list of rows, one row a name.
#pragma once

#include "module/module_api.h"
#include "module/text.h"

// A name's handler takes the call as ModuleEntry got it, its kind included,
// and in ModuleEntry's convention, so that ModuleEntry hands the call on with
// a jump: in 32-bit code the handler too takes the three parameters off the
// stack.
#define HANDLER_CONV MODULE_ENTRY_CONV
typedef int32_t(HANDLER_CONV* Handler)(HostInfo* host, int32_t kind, ModuleCall* call);

// The longest name a row may have, in units.
constexpr size_t MAX_NAME_UNITS = 31;

// One name the module serves: its call kind (MODCALL_COMMAND or
// MODCALL_FUNCTION), its upper-case ASCII name and its handler.
struct DispatchRow {
    int32_t kind;
    const char16_t* name;
    Handler handler;
};

// A multiplicative hash of the call's NameKey picks one of 2^BITS slots;
// first[s] is the first of the slot's rows in entry, usually its only one,
// or, for an empty slot, the last entry, which is no row. Its key 0, which
// no row's key is (NameKey sets the top bit), ends every run of rows that
// share a key; a call may still have it. Distinct keys never share a slot;
// rows whose keys are equal do, one after another.
template <size_t ROWS, unsigned BITS> struct DispatchTable {
    static_assert(ROWS > 0 && ROWS < 256, "rows are counted in bytes");
    struct Entry {
        uint32_t key;
        int32_t kind;
        const char16_t* name;
        Handler handler;
    };
    uint32_t multiplier;
    uint8_t first[size_t{1} << BITS];
    Entry entry[ROWS + 1];

    // The handler's result, or RESULT_NOT_SERVED when no row has the call's
    // kind and name.
    int32_t Serve(HostInfo* host, int32_t kind, ModuleCall* call) const {
        uint32_t key = call->nameKey;
        const Entry* row = entry + first[(key * multiplier) >> (32 - BITS)];
        if (row->key != key || row == entry + ROWS) return RESULT_NOT_SERVED;
        if (row->kind == kind && TextEqual(call->name, row->name))
            return row->handler(host, kind, call);
        return row[1].key == key ? ServeSharedKey(host, kind, call, row + 1) : RESULT_NOT_SERVED;
    }

    // The rows from row on that share its key, which few names do.
    __attribute__((noinline)) static int32_t ServeSharedKey(HostInfo* host, int32_t kind,
                                                            ModuleCall* call, const Entry* row) {
        for (uint32_t key = row->key; row->key == key; ++row)
            if (row->kind == kind && TextEqual(call->name, row->name))
                return row->handler(host, kind, call);
        return RESULT_NOT_SERVED;
    }
};

namespace dispatch_build {

template <size_t ROWS> struct Keys { uint32_t key[ROWS]; };

template <size_t ROWS> constexpr Keys<ROWS> KeysOf(const DispatchRow (&rows)[ROWS]) {
    Keys<ROWS> keys{};
    for (size_t i = 0; i < ROWS; ++i)
        keys.key[i] = NameKey(rows[i].name);
    return keys;
}

constexpr uint32_t SlotOf(uint32_t key, uint32_t multiplier, unsigned bits) {
    return (key * multiplier) >> (32 - bits);
}

constexpr unsigned MOST_SLOT_BITS = 12;

// True when no two distinct keys land in one slot.
template <size_t ROWS>
constexpr bool Separates(const Keys<ROWS>& keys, uint32_t multiplier, unsigned bits) {
    uint64_t taken[(1u << MOST_SLOT_BITS) / 64] = {};
    for (size_t i = 0; i < ROWS; ++i) {
        uint32_t slot = SlotOf(keys.key[i], multiplier, bits);
        if ((taken[slot / 64] >> (slot % 64) & 1) != 0) {
            size_t j = 0; // a slot already taken by the same key is shared
            while (keys.key[j] != keys.key[i])
                ++j;
            if (j == i) return false;
        }
        taken[slot / 64] |= uint64_t{1} << (slot % 64);
    }
    return true;
}

// The first odd multiplier under 4096 that separates the keys in 2^bits
// slots, or 0. With half the slots or more empty, one is found within tens
// of tries, and the search stays quick enough to run in the compiler.
template <size_t ROWS> constexpr uint32_t MultiplierFor(const Keys<ROWS>& keys, unsigned bits) {
    for (uint32_t multiplier = 1; multiplier < 4096u; multiplier += 2)
        if (Separates(keys, multiplier, bits)) return multiplier;
    return 0;
}

constexpr bool SameName(const char16_t* a, const char16_t* b) {
    for (; *a == *b; ++a, ++b)
        if (*a == 0) return true;
    return false;
}

// Not constexpr: reached while a table is made, it stops the build.
void ARowHasABadNameOrKind();

// Every name upper-case, of 1 to MAX_NAME_UNITS units, once for its kind;
// every kind a call kind.
template <size_t ROWS> constexpr void CheckRows(const DispatchRow (&rows)[ROWS]) {
    for (size_t i = 0; i < ROWS; ++i) {
        const DispatchRow& row = rows[i];
        size_t n = 0;
        for (; row.name[n] != 0; ++n)
            if (row.name[n] >= u'a' && row.name[n] <= u'z') ARowHasABadNameOrKind();
        if (n == 0 || n > MAX_NAME_UNITS) ARowHasABadNameOrKind();
        if (row.kind != MODCALL_COMMAND && row.kind != MODCALL_FUNCTION) ARowHasABadNameOrKind();
        for (size_t j = 0; j < i; ++j)
            if (rows[j].kind == row.kind && SameName(rows[j].name, row.name))
                ARowHasABadNameOrKind();
    }
}

} // namespace dispatch_build

// The fewest slot bits, at least enough for two slots a row, with which
// some multiplier separates the keys: the table grows with its rows. 0 when
// there is none within 4096 slots.
template <size_t ROWS> constexpr unsigned SlotBits(const DispatchRow (&rows)[ROWS]) {
    unsigned bits = 1;
    while ((size_t{1} << bits) < 2 * ROWS)
        ++bits;
    dispatch_build::Keys<ROWS> keys = dispatch_build::KeysOf(rows);
    for (; bits <= dispatch_build::MOST_SLOT_BITS; ++bits)
        if (dispatch_build::MultiplierFor(keys, bits) != 0) return bits;
    return 0;
}

// The table of the rows, BITS being SlotBits(rows):
//   constexpr auto TABLE = MakeDispatch<SlotBits(ROWS)>(ROWS);
template <unsigned BITS, size_t ROWS>
constexpr DispatchTable<ROWS, BITS> MakeDispatch(const DispatchRow (&rows)[ROWS]) {
    static_assert(BITS > 0, "the names' keys fit a table of at most 4096 slots");
    dispatch_build::CheckRows(rows);
    DispatchTable<ROWS, BITS> table{};
    table.multiplier = dispatch_build::MultiplierFor(dispatch_build::KeysOf(rows), BITS);
    // The rows in the order of their slots: a counting sort; the empty slots
    // point at the last entry, which stays empty.
    size_t count[(size_t{1} << BITS) + 1] = {};
    for (const DispatchRow& row : rows)
        ++count[dispatch_build::SlotOf(NameKey(row.name), table.multiplier, BITS) + 1];
    for (size_t s = 0; s < (size_t{1} << BITS); ++s) {
        table.first[s] = static_cast<uint8_t>(count[s + 1] != 0 ? count[s] : ROWS);
        count[s + 1] += count[s];
    }
    for (const DispatchRow& row : rows) {
        uint32_t key = NameKey(row.name);
        size_t& next = count[dispatch_build::SlotOf(key, table.multiplier, BITS)];
        table.entry[next++] = {key, row.kind, row.name, row.handler};
    }
    return table;
}
