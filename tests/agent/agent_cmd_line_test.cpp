// tlvagent's command line: what it refuses, with which text and status,
// and what it takes from options, profiles, list files and the environment.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "agent_options.h"
#include "agent_test_support.h"
#include "ansi_cmd_line.h"
#include "tk_exception.h"

namespace {

const char* const k_logon[] = {"--dest=XE", "--oraclh=localhost", "--oraclu=scott", "--oraclp=tiger"};

std::vector<std::string> with_logon(std::vector<std::string> args)
{
    args.insert(args.begin(), std::begin(k_logon), std::end(k_logon));
    return args;
}

TEST(ansi_cmd_line, first_prefix_wins_and_unknown_arguments_are_counted)
{
    const tk_cmd_option options[] = {{0, "--src="}, {1, "--silent"}, {2, "--s"}, {-1, ""}};
    std::vector<std::string> args{"prog", "--silentXYZ", "--src=", "--SRC=x", "--sx"};
    for (int i = 0; i < 25; ++i) args.push_back("--bad" + std::to_string(i));
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    ansi_cmd_line cl(static_cast<int>(argv.size()), argv.data(), options);
    std::vector<std::pair<int, std::string>> seen;
    for (; cl.has_more(); cl.advance())
        if (cl.id() >= 0) seen.emplace_back(cl.id(), cl.value());
    const std::vector<std::pair<int, std::string>> expected{{1, "XYZ"}, {0, ""}, {2, "x"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(cl.unrecognised_count(), 26u);  // --SRC=x and the 25
    EXPECT_EQ(cl.unrecognised().size(), ansi_cmd_line::max_unrecognised);
    EXPECT_THROW(cl.advance(), tk_exception);
}

struct refusal {
    const char* what;
    std::vector<std::string> args;
    std::string err;  // the whole standard error
};

TEST(tlvagent_cmd_line, refusals_end_with_their_text_and_status_255)
{
    emu_service emu;
    // A symbolic link is never a trace file: what it points to stays as it was.
    const std::string victim = emu.file("victim", "keep me"), link = emu.home() + "/trace.log";
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    const std::string usage = usage_text() + "\n";
    const std::string nwind = "--src=" + test_data("nwind.mdb");
    const refusal cases[] = {
        {"no arguments", {}, usage},
        {"help anywhere", with_logon({nwind, "--help"}), usage},
        {"unknown option", with_logon({nwind, "--foo"}), usage},
        {"case matters", with_logon({"--SRC=x"}), usage},
        {"switch needs no value", with_logon({nwind, "--src"}), usage},
        {"mode with a leading zero", with_logon({nwind, "--mode=03"}), "Invalid merge/overwrite mode\n"},
        {"mode with a sign", with_logon({nwind, "--mode=+3"}), "Invalid merge/overwrite mode\n"},
        {"mode with a tail", with_logon({nwind, "--mode=3a"}), "Invalid merge/overwrite mode\n"},
        {"mode 0", with_logon({nwind, "--mode=0"}), "Invalid merge/overwrite mode\n"},
        {"mode 5", with_logon({nwind, "--mode=5"}), "Invalid merge/overwrite mode\n"},
        {"no dest", {nwind, "--oraclh=h"}, "You should enter Oracle database name\n"},
        {"no src", {"--dest=XE", "--oraclh=h"}, "You should enter MS Access database name\n"},
        {"no host", {nwind, "--dest=XE"}, "You should enter network name or IP address of Oracle server\n"},
        {"workgroup without user", with_logon({nwind, "--sysdb=" + test_data("workgroup-jet3.mdw")}),
         "You should enter user name\n"},
        {"user without workgroup", with_logon({nwind, "--uglu=Admin"}),
         "You should enter path to MS Access workgroup information file\n"},
        {"not a workgroup file", with_logon({nwind, "--sysdb=" + test_data("nwind.mdb"), "--uglu=Admin"}),
         "Not a valid MS Access workgroup information file\n"},
        {"missing list file", with_logon({nwind, "--tab_file=/no/such/list"}),
         "Table names file does not exist.\nPlease verify the correct path/name was given.\n"},
        {"code page with a tail", with_logon({nwind, "--jet3_codepage=936x"}), "Invalid Jet3 code page: 936x\n"},
        {"switch with a bad word", with_logon({nwind, "--tab_def=maybe"}),
         "Invalid value for --tab_def: use 1, true, yes, on or 0, false, no, off\n"},
        {"trace file over the source", with_logon({nwind, "--logfile=" + test_data("nwind.mdb")}),
         "The trace file must not be the source, the profile, the table list or the workgroup file\n"},
        {"trace file is a symbolic link", with_logon({nwind, "--logfile=" + link}),
         "The trace file must not be a symbolic link\n"},
        {"value outside the locale's encoding", with_logon({"--src=\xFF\xFE.mdb"}),
         "The value of --src= cannot be read in the current locale's encoding\n"},
        {"list line outside the file's encoding",
         with_logon({nwind, "--tab_file=" + emu.file("l.txt", "\xEF\xBB\xBFOrders\n\xC3\x28\n")}),
         "Table names file: line 2 cannot be read in the file's encoding\n"},
        {"silent silences what follows", with_logon({nwind, "--silent", "--mode=9"}), ""},
    };
    for (const refusal& c : cases) {
        agent_result r = emu.agent(c.args);
        EXPECT_EQ(r.status, 255) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
    }
    EXPECT_EQ(read_file(victim), "keep me");
    // Twenty-one unknown arguments are still only a usage error.
    std::vector<std::string> many;
    for (int i = 0; i < 21; ++i) many.push_back("--x" + std::to_string(i));
    agent_result r = emu.agent(many);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, usage);

    r = emu.agent({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, version_text());
}

}  // namespace
