#include "platform/testing/fake_platform.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A host whose expansion of the position macro yields a fixed text.
TestHost HostExpandingTo(const std::u16string& expansion) {
    TestHost host;
    host.answer = [expansion](int32_t code, void* argument) -> intptr_t {
        if (code == HOSTREQ_EXPAND)
            std::memcpy(argument, expansion.c_str(), (expansion.size() + 1) * sizeof(char16_t));
        return 0;
    };
    return host;
}

std::vector<std::u16string> Texts(const TestHost& host) {
    std::vector<std::u16string> texts;
    for (const HostRequest& r : host.requests)
        texts.push_back(r.text);
    return texts;
}

struct ExecuteCase {
    const char* label;
    std::u16string stored;
    std::vector<std::u16string> params;
    std::u16string store;
    std::u16string command;
};

TEST(RotateExecute, StepsThroughTheCommandsAndStoresFirst) {
    const std::vector<std::u16string> menu = {u"menu", u"C1", u"C2", u"C3"};
    const ExecuteCase cases[] = {
        {"first call", u"", menu, u"*setcust _User:menu=1", u"C1"},
        {"second", u"1", menu, u"*setcust _User:menu=2", u"C2"},
        {"third", u"2", menu, u"*setcust _User:menu=3", u"C3"},
        {"wraps", u"3", menu, u"*setcust _User:menu=1", u"C1"},
        {"beyond the list", u"7", menu, u"*setcust _User:menu=1", u"C1"},
        {"a word", u"on", menu, u"*setcust _User:menu=1", u"C1"},
        {"minus sign", u"-2", menu, u"*setcust _User:menu=1", u"C1"},
        {"leading blanks", u"  2", menu, u"*setcust _User:menu=3", u"C3"},
        {"digits then letters", u"2abc", menu, u"*setcust _User:menu=3", u"C3"},
        {"2^32 - 1 wraps to 1", u"4294967295", menu, u"*setcust _User:menu=1", u"C1"},
        {"2^32 + 1 reads as 1", u"4294967297", menu, u"*setcust _User:menu=2", u"C2"},
        {"expansion failed", u"%*getcust(_User:menu)", menu, u"*setcust _User:menu=1", u"C1"},
        {"one command", u"5", {u"id", u"X"}, u"*setcust _User:id=1", u"X"},
        {"empty id", u"", {u"", u"A", u"B"}, u"*setcust _User:=1", u"A"},
        {"first param is the id", u"", {u"X", u"Y"}, u"*setcust _User:X=1", u"Y"},
    };
    for (const ExecuteCase& c : cases) {
        fake::Reset();
        TestHost host = HostExpandingTo(c.stored);
        TestCall call(u"ROTATEEXECUTE", c.params);
        EXPECT_EQ(1, RunCall(host, call, MODCALL_COMMAND)) << c.label;
        EXPECT_EQ((HostRequests{{HOSTREQ_EXPAND, u"%*getcust(_User:" + c.params[0] + u")"},
                                {HOSTREQ_EXECUTE, c.store},
                                {HOSTREQ_EXECUTE, c.command}}),
                  host.requests)
            << c.label;
        EXPECT_TRUE(call.ResultUntouched()) << "commands write no value";
    }
}

TEST(RotateExecute, AsksWithTheCounterMacroAndHandsOverTheParameterItself) {
    TestCall call(u"ROTATEEXECUTE", {u"menu", u"C1", u"C2"});
    const char16_t* second = nullptr;
    TestHost host;
    host.answer = [&](int32_t code, void* argument) -> intptr_t {
        if (code == HOSTREQ_EXPAND)
            EXPECT_EQ(std::u16string(u"%*getcust(_User:menu)"), static_cast<char16_t*>(argument));
        else
            second = static_cast<const char16_t*>(argument);
        return 0;
    };
    RunCall(host, call, MODCALL_COMMAND);
    EXPECT_EQ(call.paramList.data() + 5, second) << "C1 where it lies in the ParamList";
}

TEST(RotateExecute, LongIdIsCutAt1023Units) {
    std::u16string id(3000, u'i');
    TestHost host = HostExpandingTo(u"");
    TestCall call(u"ROTATEEXECUTE", {id, u"C"});
    RunCall(host, call, MODCALL_COMMAND);
    ASSERT_EQ(3u, host.requests.size());
    EXPECT_EQ(1023u, host.requests[0].text.size());
    EXPECT_EQ(1023u, host.requests[1].text.size());
}

TEST(RotateExecute, HostThatFillsTheWholeBufferCannotRunPastIt) {
    TestHost host;
    host.answer = [](int32_t code, void* argument) -> intptr_t {
        if (code == HOSTREQ_EXPAND) {
            auto* buffer = static_cast<char16_t*>(argument);
            for (int i = 0; i < 1024; ++i)
                buffer[i] = u'1';
        }
        return 0;
    };
    TestCall call(u"ROTATEEXECUTE", {u"id", u"A", u"B"});
    EXPECT_EQ(1, RunCall(host, call, MODCALL_COMMAND));
}

struct CustomizeCase {
    const char* label;
    std::u16string current;
    std::vector<std::u16string> params;
    std::u16string command;
};

TEST(RotateCustomize, SetsTheValueAfterTheCurrentOne) {
    const std::vector<std::u16string> abc = {u"K", u"a", u"b", u"c"};
    const CustomizeCase cases[] = {
        {"a", u"a", abc, u"*customize K=b"},
        {"b", u"b", abc, u"*customize K=c"},
        {"wraps", u"c", abc, u"*customize K=a"},
        {"unknown", u"z", abc, u"*customize K=a"},
        {"empty", u"", abc, u"*customize K=a"},
        {"one value", u"x", {u"K", u"v"}, u"*customize K=v"},
        {"duplicates: first wins", u"a", {u"K", u"a", u"b", u"a"}, u"*customize K=b"},
        {"duplicates: b", u"b", {u"K", u"a", u"b", u"a"}, u"*customize K=a"},
        {"case-sensitive", u"ON", {u"K", u"on", u"off"}, u"*customize K=on"},
        {"no trimming", u"a ", abc, u"*customize K=a"},
        {"empty value matches", u"", {u"K", u"x", u"", u"y"}, u"*customize K=y"},
    };
    for (const CustomizeCase& c : cases) {
        TestHost host = HostExpandingTo(c.current);
        TestCall call(u"ROTATECUSTOMIZE", c.params);
        EXPECT_EQ(1, RunCall(host, call, MODCALL_COMMAND)) << c.label;
        EXPECT_EQ(
            (HostRequests{{HOSTREQ_EXPAND, u"%*getcust(\"K\")"}, {HOSTREQ_EXECUTE, c.command}}),
            host.requests)
            << c.label;
    }
}

TEST(Rotation, TooFewParametersShowUsageAndAskNothingElse) {
    struct Case {
        std::u16string name;
        std::vector<std::u16string> params;
        std::u16string usage;
    } cases[] = {
        {u"ROTATEEXECUTE", {}, u"*RotateExecute [id],\"command1\",\"command2\"[...]"},
        {u"ROTATEEXECUTE", {u"id"}, u"*RotateExecute [id],\"command1\",\"command2\"[...]"},
        {u"ROTATECUSTOMIZE", {}, u"*RotateCustomize [custid],\"cutomize1\",\"cutomize2\"[...]"},
        {u"ROTATECUSTOMIZE", {u"K"}, u"*RotateCustomize [custid],\"cutomize1\",\"cutomize2\"[...]"},
    };
    for (const Case& c : cases) {
        TestHost host;
        TestCall call(c.name, c.params);
        EXPECT_EQ(-1, RunCall(host, call, MODCALL_COMMAND));
        EXPECT_EQ((std::vector<std::u16string>{c.usage}), Texts(host));
    }
}

} // namespace
