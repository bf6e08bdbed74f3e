// The crash guard starts its probe as a program of its own, so it guards a
// process of many threads (the wizard) as well as the agent. Every case runs
// with a second thread alive; a stand-in probe script shows how each outcome
// of the probe is taken, and a wrapper around the real probe shows that the
// password travels on its standard input, never in its arguments.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "jet_database.h"
#include "jet_error.h"
#include "jet_guard.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "tk_wstring.h"

namespace {

class jet_guard_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        jet_guard::forget_probed();
        other_ = std::thread([this] {
            while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    void TearDown() override
    {
        stop_ = true;
        other_.join();
        jet_guard::program.clear();
        jet_guard::base_limit_ms = 30000;
    }

    // A probe program running `body` in sh.
    std::string script(const std::string& body)
    {
        const std::string path = dir_.file("probe.sh");
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }

    std::string slurp(const std::string& name)
    {
        std::stringstream s;
        s << std::ifstream(dir_.file(name)).rdbuf();
        return s.str();
    }

    jet_test_temp_dir dir_;
    std::atomic<bool> stop_{false};
    std::thread other_;
};

int32_t open_error(const std::string& name, std::u16string_view password = u"")
{
    return jet_error_of([&] { jet_database db(tk_from_utf8(jet_test_data(name)), password, false, true); });
}

TEST_F(jet_guard_test, each_outcome_of_the_probe)
{
    jet_guard::base_limit_ms = 300;
    const struct {
        const char* what;
        const char* body;
        int32_t expected;
    } cases[] = {
        {"reading ended", "exit 0", 0},
        {"crashed", "kill -SEGV $$", 3343},
        {"failed", "exit 3", 3343},
        {"did not end in time", "exec sleep 30", 3343},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        jet_guard::forget_probed();
        jet_guard::program = script(c.body);
        EXPECT_EQ(open_error("V2000_test.mdb"), c.expected);
    }
}

// A run opens its source more than once; an unchanged file read to the end
// once is not read again, but a changed one or a file whose probe failed
// is.
TEST_F(jet_guard_test, a_file_read_once_is_probed_again_only_when_changed)
{
    const std::string copy = dir_.file("copy.mdb");
    std::system(("cp " + jet_test_data("password.mdb") + " " + copy).c_str());
    jet_guard::program = script("echo >> " + dir_.file("runs") + "\nexec " + TOLVANE_JET_PROBE + " \"$@\"");
    auto runs = [&] {
        const std::string lines = slurp("runs");
        return std::count(lines.begin(), lines.end(), '\n');
    };
    auto open = [&](std::u16string_view password) {
        return jet_error_of([&] { jet_database db(tk_from_utf8(copy), password, false, true); });
    };
    EXPECT_EQ(open(u"ucanaccess"), 0);
    EXPECT_EQ(open(u"ucanaccess"), 0);
    EXPECT_EQ(runs(), 1);
    EXPECT_NE(open(u"wrong"), 0);  // refused from the header, before any probe
    EXPECT_EQ(runs(), 1);
    std::ofstream(copy, std::ios::app) << "x";  // changed: probed again
    open(u"ucanaccess");
    EXPECT_EQ(runs(), 2);
    jet_guard::program = script("exit 3");  // a failed probe is not remembered
    std::system(("touch -d '2001-01-01' " + copy).c_str());
    EXPECT_EQ(open(u"ucanaccess"), 3343);
    EXPECT_EQ(open(u"ucanaccess"), 3343);
}

TEST_F(jet_guard_test, the_real_probe_takes_the_password_on_its_input)
{
    jet_guard::program = script("printf '%s\\n' \"$@\" > " + dir_.file("args") + "\ntee " + dir_.file("input") +
                                " | exec " + TOLVANE_JET_PROBE + " \"$@\"");
    EXPECT_EQ(open_error("password.mdb", u"ucanaccess"), 0);
    EXPECT_EQ(slurp("input"), "ucanaccess");
    const std::string args = slurp("args");
    EXPECT_NE(args.find("password.mdb\n0\n1\n"), std::string::npos) << args;
    EXPECT_EQ(args.find("ucanaccess"), std::string::npos) << args;
}

}  // namespace
