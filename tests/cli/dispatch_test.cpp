// Dispatch through fake commands that log their calls and return scripted statuses.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/status.h"
#include "cli/dispatch.h"
#include "expected_messages.h"

namespace {

std::vector<std::string> calls;

int32_t statusFor(const std::string& argument) {
    // A path or flag of the form "...=N" makes the fake return N.
    const size_t at = argument.find('=');
    return at == std::string::npos ? 0 : std::stoi(argument.substr(at + 1));
}

int32_t fakeTables(const char* path, std::ostream& out, std::ostream&) {
    calls.push_back(std::string("g[") + path + "]");
    out << "<g>";
    return statusFor(path);
}
int32_t fakeEcb(const char* path, std::ostream&, std::ostream& err) {
    calls.push_back(std::string("ecb[") + path + "]");
    err << "<ecb>";
    return statusFor(path);
}
int32_t fakeCbc(const char* path, std::ostream&, std::ostream&) {
    calls.push_back(std::string("cbc[") + path + "]");
    return statusFor(path);
}
int32_t fakeTest(int32_t flags, std::ostream&, std::ostream&) {
    calls.push_back("test[" + std::to_string(flags) + "]");
    return flags;
}

const CommandSet kFakes{fakeTables, fakeEcb, fakeCbc, fakeTest};

struct Dispatched {
    int32_t status;
    std::string output;
    std::string errors;
};

Dispatched dispatch(std::vector<const char*> args) {
    calls.clear();
    args.insert(args.begin(), "tabrix");
    std::ostringstream out;
    std::ostringstream err;
    const int32_t status = dispatchCommands(static_cast<int>(args.size()), args.data(), kFakes, out, err);
    return {status, out.str(), err.str()};
}

std::string usage() {
    std::ostringstream out;
    printUsage(out);
    return out.str();
}

using clitest::kUsage;

} // namespace

TEST(Dispatch, UsageTextByteForByte) { EXPECT_EQ(usage(), kUsage); }

TEST(Dispatch, NoArgumentsPrintsUsageAndReturnsZero) {
    const Dispatched run = dispatch({});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, kUsage);
    EXPECT_TRUE(calls.empty());
}

TEST(Dispatch, PrefixesRouteTheRemainderUnchanged) {
    const Dispatched run = dispatch({"/g:a b.cfg", "/ecbioc:", "/cbcioc:x", "/test:7", "/g:anything"});
    EXPECT_EQ(calls, (std::vector<std::string>{"g[a b.cfg]", "ecb[]", "cbc[x]", "test[7]",
                                               "g[anything]"}));
    EXPECT_EQ(run.output, "<g><g>");
    EXPECT_EQ(run.errors, "<ecb>"); // each command's error stream is the dispatcher's
}

TEST(Dispatch, SelfTestFlagsConvertLikeAtoi) {
    struct Case {
        const char* argument;
        const char* call;
    };
    const Case cases[] = {{"/test:abc", "test[0]"},   {"/test:-3", "test[-3]"},
                          {"/test:12xyz", "test[12]"}, {"/test:", "test[0]"},
                          {"/test:  +9", "test[9]"},  {"/test:99999999999999999999", "test[-1]"},
                          // A sign without digits has no number: 0, as atoi reads it.
                          {"/test:+", "test[0]"},     {"/test:-", "test[0]"},     {"/test:-x1", "test[0]"}};
    for (const Case& c : cases) {
        dispatch({c.argument});
        EXPECT_EQ(calls, std::vector<std::string>{c.call}) << c.argument;
    }
}

// An unrecognised argument prints its notice (and the usage text when it is the
// last one) and fails like a command, so that a mistyped command line never
// passes for a run: the last failure is the exit status.
TEST(Dispatch, UnrecognisedArguments) {
    auto notice = [](const std::string& argument) {
        return "ERROR: Unrecognized command: '" + argument + "' ignored\n\n";
    };
    const int32_t unrecognised = STATUS_UNRECOGNIZED_ARGUMENT;
    struct Case {
        std::vector<const char*> args;
        int32_t status;
        std::string output;
        size_t calls;
    };
    const Case cases[] = {
        // Alone: notice, then usage.
        {{"/G:x.cfg"}, unrecognised, notice("/G:x.cfg") + kUsage, 0},
        {{"-help"}, unrecognised, notice("-help") + kUsage, 0},
        {{"/g", "t.cfg"}, unrecognised, notice("/g") + notice("t.cfg") + kUsage, 0},
        // Prefix comparison covers the colon: /testing is not /test:.
        {{"/testing"}, unrecognised, notice("/testing") + kUsage, 0},
        // After a command: usage follows, and it is the last failure.
        {{"/g:a=5", "/G:x.cfg"}, unrecognised, "<g>" + notice("/G:x.cfg") + kUsage, 1},
        {{"/g:a=0", "/G:x.cfg"}, unrecognised, "<g>" + notice("/G:x.cfg") + kUsage, 1},
        // Before a command: no usage; a later failure wins, a later success does not hide it.
        {{"/G:x.cfg", "/g:a=6"}, 6, notice("/G:x.cfg") + "<g>", 1},
        {{"/G:x.cfg", "/g:a=0"}, unrecognised, notice("/G:x.cfg") + "<g>", 1},
    };
    for (const Case& c : cases) {
        const Dispatched run = dispatch(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.front();
        EXPECT_EQ(run.output, c.output) << c.args.front();
        EXPECT_EQ(calls.size(), c.calls) << c.args.front();
    }
}

TEST(Dispatch, LastFailureWinsAndFailuresDoNotStopLaterCommands) {
    // A later success does not hide an earlier failure.
    const struct {
        std::vector<const char*> args;
        int32_t status;
    } cases[] = {
        {{"/g:a=30", "/g:b=0"}, 30},
        {{"/cbcioc:a=28", "/g:b=0"}, 28},
        {{"/g:a=30", "/ecbioc:b=16", "/test:0"}, 16},
        {{"/ecbioc:a=0", "/cbcioc:b=28"}, 28},
        {{"/g:a=0", "/g:b=0"}, 0},
        {{"/g:a=-1", "/junk"}, STATUS_UNRECOGNIZED_ARGUMENT},
    };
    for (const auto& c : cases) {
        const Dispatched run = dispatch(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.front();
        EXPECT_EQ(calls.size(), c.args.size() - (std::string(c.args.back()) == "/junk" ? 1u : 0u));
    }
}

TEST(Dispatch, HelpAndVersionFlags) {
    const std::string version = std::string("tabrix ") + TABRIX_VERSION + "\n";
    EXPECT_EQ(version, "tabrix 1.1\n");
    struct Case {
        std::vector<const char*> args;
        int32_t status;
        std::string output;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {{"--help"}, 0, kUsage, {}},
        {{"-h"}, 0, kUsage, {}},
        {{"--version"}, 0, version, {}},
        // They take their turn in order and do not hide a failure before them.
        {{"/g:a=30", "--version"}, 30, "<g>" + version, {"g[a=30]"}},
        {{"--help", "/g:b"}, 0, std::string(kUsage) + "<g>", {"g[b]"}},
        // Whole arguments only: anything longer is an unrecognised argument.
        {{"--helpme"}, STATUS_UNRECOGNIZED_ARGUMENT, "ERROR: Unrecognized command: '--helpme' ignored\n\n" + usage(), {}},
        {{"-H"}, STATUS_UNRECOGNIZED_ARGUMENT, "ERROR: Unrecognized command: '-H' ignored\n\n" + usage(), {}},
        {{"--version=2"}, STATUS_UNRECOGNIZED_ARGUMENT, "ERROR: Unrecognized command: '--version=2' ignored\n\n" + usage(), {}},
    };
    for (const Case& c : cases) {
        const Dispatched run = dispatch(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.front();
        EXPECT_EQ(run.output, c.output) << c.args.front();
        EXPECT_EQ(calls, c.calls) << c.args.front();
    }
}
