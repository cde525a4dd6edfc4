#include "module/dispatch.h"
#include "module/handlers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

size_t g_servedRow = 0;

template <size_t ROW> int32_t HANDLER_CONV MarkRow(HostInfo*, int32_t, ModuleCall*) {
    g_servedRow = ROW;
    return RESULT_SERVED;
}

constexpr int32_t F = MODCALL_FUNCTION;
constexpr int32_t C = MODCALL_COMMAND;

constexpr const char16_t* NAMES[] = {
    // The fourteen names.
    u"CLIPPEDTEXT", u"FINDDRIVE", u"NOWDATETIME", u"STDIN", u"LEFTSTR", u"MIDSTR", u"SUBSTRING",
    u"RIGHTSTR", u"PADDING", u"VERSION", u"ROTATECUSTOMIZE", u"ROTATEEXECUTE", u"STDOUT", u"STDERR",
    // Twenty a module might add.
    u"UPPERSTR", u"LOWERSTR", u"REPLACE", u"TRIM", u"REVERSE", u"REPEATSTR", u"COUNTSTR",
    u"FINDSTR", u"SPLITSTR", u"ENVVAR", u"TEMPFILE", u"HASHSTR", u"URLENCODE", u"BASE64",
    u"WEEKNUM", u"FILESIZE", u"FILEEXISTS", u"COMPUTERNAME", u"USERNAME", u"RANDOM",
    // Two of the longest length whose keys are equal.
    u"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDE", u"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDF"};
constexpr size_t NAME_COUNT = sizeof(NAMES) / sizeof(NAMES[0]);
static_assert(NameKey(NAMES[34]) == NameKey(NAMES[35]), "two names share a key");

// The rows as a module writes them, a plain array; every third a command.
struct RowList {
    DispatchRow row[NAME_COUNT];
};
template <size_t... ROW> constexpr RowList MakeRowList(std::index_sequence<ROW...>) {
    return RowList{{DispatchRow{ROW % 3 == 0 ? C : F, NAMES[ROW], MarkRow<ROW>}...}};
}
constexpr RowList MANY = MakeRowList(std::make_index_sequence<NAME_COUNT>());
constexpr unsigned MANY_BITS = SlotBits(MANY.row);
constexpr auto MANY_TABLE = MakeDispatch<MANY_BITS>(MANY.row);

int32_t Resolve(const DispatchTable<NAME_COUNT, MANY_BITS>& table, const char16_t* name,
                int32_t kind) {
    ModuleCall call{};
    call.name = name;
    call.nameKey = NameKey(name);
    g_servedRow = NAME_COUNT;
    return table.Serve(nullptr, kind, &call);
}

TEST(Dispatch, ThirtySixNamesEachReachTheirOwnRowUnderTheirKindOnly) {
    for (size_t row = 0; row < NAME_COUNT; ++row) {
        std::u16string name(NAMES[row]);
        std::string label(name.begin(), name.end());
        int32_t kind = MANY.row[row].kind;
        EXPECT_EQ(RESULT_SERVED, Resolve(MANY_TABLE, name.c_str(), kind)) << label;
        EXPECT_EQ(row, g_servedRow) << label;
        EXPECT_EQ(RESULT_NOT_SERVED, Resolve(MANY_TABLE, name.c_str(), kind == F ? C : F)) << label;
        EXPECT_EQ(RESULT_NOT_SERVED, Resolve(MANY_TABLE, (name + u"X").c_str(), kind)) << label;
        EXPECT_EQ(NAME_COUNT, g_servedRow) << label;
    }
}

// Keys that no row has: the empty slots' own key 0, the keys beside the
// rows' and the ends of the range, under any kind, find nothing and read
// nothing outside the table (the sanitizer build stops on such a read).
TEST(Dispatch, KeysBesideTheRowsAndTheEmptySlotsFindNothing) {
    std::vector<uint32_t> keys = {0, 1, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu};
    for (const char16_t* name : NAMES)
        for (uint32_t step : {0xFFFFFFFFu, 1u})
            keys.push_back(NameKey(name) + step);
    for (uint32_t key : keys) {
        for (int32_t kind : {int32_t{MODCALL_INFO}, C, F, -1}) {
            ModuleCall call{};
            call.name = u"";
            call.nameKey = key;
            g_servedRow = NAME_COUNT;
            EXPECT_EQ(RESULT_NOT_SERVED, MANY_TABLE.Serve(nullptr, kind, &call)) << key;
            EXPECT_EQ(NAME_COUNT, g_servedRow) << key;
            if (kind == C || kind == F) {
                EXPECT_EQ(RESULT_NOT_SERVED,
                          ModuleEntry(nullptr, kind, reinterpret_cast<intptr_t>(&call)))
                    << key;
            }
        }
    }
}

// A table grows only as its keys need: at least two slots a row, slots
// that separate the keys, and one bit fewer either below two slots a row or
// not separating them.
template <size_t ROWS> void ExpectFewestSlotBits(const DispatchRow (&rows)[ROWS]) {
    const unsigned bits = SlotBits(rows);
    const auto keys = dispatch_build::KeysOf(rows);
    ASSERT_GT(bits, 0u);
    EXPECT_GE(size_t{1} << bits, 2 * ROWS);
    EXPECT_NE(0u, dispatch_build::MultiplierFor(keys, bits));
    if ((size_t{1} << (bits - 1)) >= 2 * ROWS) {
        EXPECT_EQ(0u, dispatch_build::MultiplierFor(keys, bits - 1)) << bits;
    }
}

TEST(Dispatch, TheTableGrowsOnlyAsTheKeysNeed) {
    ExpectFewestSlotBits(DISPATCH_ROWS);
    ExpectFewestSlotBits(MANY.row);
}

} // namespace
