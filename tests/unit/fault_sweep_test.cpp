// Every failure point of every sample call of the table (and of a few cases
// that need a world of their own): each case runs once plainly, then once
// for each call of each platform operation failing (that call alone, and
// that call and every later one), until a run in which the injected failure
// never fires. Every run must end served or failed, leave nothing open, and
// keep its value inside the result buffer.
#include "platform/testing/fake_platform.h"
#include "tests/support/sample_calls.h"
#include "tests/support/sample_world.h"
#include "tests/support/test_call.h"
#include "tests/support/era_boundary_hook.h"

#include <gtest/gtest.h>

#include <stdio.h>

namespace {

void LongClipboard() {
    fake::State().clipboardText = std::u16string(1500, u'q');
}

struct SweepCase {
    int32_t kind;
    std::u16string name;
    std::vector<std::u16string> params;
    void (*tweak)(); // changes the world for this case
    bool hostTakesLong;
};

// The sample calls of every name, and the cases that need a world of their own.
std::vector<SweepCase> Cases() {
    std::vector<SweepCase> cases;
    for (const SampleName& entry : SampleNames())
        for (const SampleCall& c : entry.calls)
            cases.push_back({entry.kind, entry.name, c.params, nullptr, false});
    cases.push_back({MODCALL_FUNCTION, u"CLIPPEDTEXT", {}, LongClipboard, false});
    return cases;
}

// Runs one case with the fault given (nth 0: none) and checks the run;
// returns how many injected failures fired. *offeredLong tells whether the
// module offered the host a long value.
size_t RunChecked(const SweepCase& c, fake::Op op, int nth, bool fromThenOn,
                  bool* offeredLong = nullptr) {
    ForgetEraBoundary(); // the first era scan is swept too
    BuildSampleWorld();
    fake::State().logCalls = false; // only the counts matter here
    if (c.tweak != nullptr) c.tweak();
    if (nth > 0) fake::FailNth(op, nth, fromThenOn);
    TestHost host;
    host.answer = [&c](int32_t code, void* argument) -> intptr_t {
        if (code == HOSTREQ_LONGRESULT && c.hostTakesLong) return HOSTANSWER_DONE;
        return SampleHostAnswer(code, argument);
    };
    TestCall call(c.name, c.params);
    int32_t code = RunCall(host, call, c.kind);
    std::string where = Narrow(c.name) + "(" +
                        (c.params.empty() ? "" : Narrow(c.params[0].substr(0, 24))) + ") failing " +
                        (nth > 0 ? fake::Name(op) : "nothing") + " #" + std::to_string(nth) +
                        (fromThenOn ? " on" : "");
    EXPECT_TRUE(code == RESULT_SERVED || code == RESULT_FAILED) << where << ": " << code;
    EXPECT_TRUE(call.GuardIntact()) << where;
    // The value is in the result buffer unless the host took it whole.
    bool taken = c.hostTakesLong && !host.requests.empty() &&
                 host.requests.back().code == HOSTREQ_LONGRESULT;
    if (c.kind == MODCALL_FUNCTION && code == RESULT_SERVED && !taken) {
        EXPECT_LT(call.Result().size(), RESULT_BUFFER_UNITS) << where << ": no NUL";
    }
    EXPECT_EQ("", fake::StillOpen()) << where;
    // A restore that fails leaves nothing to do; every other failure does.
    if (nth == 0 || op != fake::Op::SetThreadErrorMode) {
        EXPECT_EQ(SAMPLE_HOST_ERROR_MODE, fake::State().threadErrorMode) << where;
    }
    if (offeredLong != nullptr)
        *offeredLong = !host.requests.empty() && host.requests.back().code == HOSTREQ_LONGRESULT;
    size_t fired = fake::Fired();
    fake::Reset();
    return fired;
}

TEST(FaultSweep, EveryFailurePointEndsServedOrFailedWithNothingLeft) {
    size_t runs = 0;
    size_t firedRuns = 0;
    std::vector<SweepCase> cases = Cases();
    // A case whose value the host declined is swept again with the host taking it.
    for (size_t k = 0; k < cases.size(); ++k) {
        const SweepCase c = cases[k];
        bool offeredLong = false;
        RunChecked(c, fake::Op::GetProcessHeap, 0, false, &offeredLong);
        if (offeredLong && !c.hostTakesLong) {
            cases.push_back(c);
            cases.back().hostTakesLong = true;
        }
        for (size_t i = 0; i < fake::OP_COUNT; ++i) {
            auto op = static_cast<fake::Op>(i);
            if (!fake::CanFail(op)) continue;
            for (bool fromThenOn : {false, true}) {
                for (int nth = 1;; ++nth) {
                    ++runs;
                    if (RunChecked(c, op, nth, fromThenOn) == 0) break;
                    ++firedRuns;
                    if (::testing::Test::HasFailure())
                        return; // one fault at a time is enough to read
                }
            }
        }
    }
    printf("fault sweep: %zu calls, %zu runs with a fault set, %zu of them failing a call\n",
           cases.size(), runs, firedRuns);
    EXPECT_GT(firedRuns, 0u);
}

} // namespace
