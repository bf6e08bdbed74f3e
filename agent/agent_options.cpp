#include "agent_options.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

#include "ansi_cmd_line.h"
#include "dao_check_sysdb.h"
#include "error_handler.h"
#include "tk_exception.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_path.h"
#include "tk_wstring.h"
#include "tolvane_convertor.h"
#include "udb_profile.h"

namespace {

enum option_id {
    o_accp,
    o_dest,
    o_help,
    o_logfile,
    o_mode,
    o_oraclh,
    o_oraclu,
    o_oraclp,
    o_port,
    o_profile,
    o_silent,
    o_skip_idx,
    o_src,
    o_sysdb,
    o_tab_def,
    o_tab_file,
    o_uglu,
    o_uglp,
    o_uppercase,
    o_fk,
    o_jet3_codepage,
    o_report,
    o_version,
    o_batch,
};

// Table order is matching order: the first option text that is a prefix
// of an argument takes it.
const tk_cmd_option k_options[] = {
    {o_accp, "--accp="},
    {o_dest, "--dest="},
    {o_help, "--help"},
    {o_logfile, "--logfile="},
    {o_mode, "--mode="},
    {o_oraclh, "--oraclh="},
    {o_oraclu, "--oraclu="},
    {o_oraclp, "--oraclp="},
    {o_port, "--port="},
    {o_profile, "--profile="},
    {o_silent, "--silent"},
    {o_skip_idx, "--skip_idx"},
    {o_src, "--src="},
    {o_sysdb, "--sysdb="},
    {o_tab_def, "--tab_def"},
    {o_tab_file, "--tab_file="},
    {o_uglu, "--uglu="},
    {o_uglp, "--uglp="},
    {o_uppercase, "--uppercase"},
    {o_fk, "--fk"},
    {o_jet3_codepage, "--jet3_codepage="},
    {o_report, "--report="},
    {o_version, "--version"},
    {o_batch, "--batch="},
    {-1, ""},
};

const char k_missing_tab_file[] = "Table names file does not exist.\nPlease verify the correct path/name was given.";
const char k_missing_profile[] = "Profile does not exist. Please verify the correct path/name was given.";
const char k_damaged_profile[] =
    "Profile is damaged: it must be UTF-8 text, with a [section] line before the first entry\n"
    "and no line longer than 1 MiB.";

// What the command line says explicitly. Applied after every profile, so
// an option always wins over a profile, wherever it stands.
struct explicit_options {
    std::optional<std::u16string> accp, dest, oraclh, oraclu, oraclp, port, src, sysdb, uglu, uglp;
    std::optional<int> mode, jet3_codepage;
    std::optional<uint32_t> batch;
    std::optional<bool> skip_idx, tab_def, uppercase, fk;
    std::optional<std::string> logfile, tab_file;
    std::vector<std::string> profiles;
};

std::u16string text_value(const char* option, const char* value)
{
    std::u16string wide;
    if (!tk_ansi_to_wide(value, wide))
        exit_with_message(tk_format("The value of %s cannot be read in the current locale's encoding", option));
    return wide;
}

// "-" reads the secret from standard input, so that it is never seen in
// the process list.
std::u16string secret_value(const char* option, const char* value)
{
    if (std::strcmp(value, "-") != 0) return text_value(option, value);
    std::string line;
    if (!std::getline(std::cin, line)) exit_with_message(tk_format("No value for %s on standard input", option));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return text_value(option, line.c_str());
}

// A switch alone is on; "=value" takes the switch words; any other tail is
// part of the switch's name as it always was (--silentXYZ is --silent).
bool switch_value(const char* option, const char* value)
{
    if (value[0] != '=') return true;
    bool on = true;
    if (!udb_converter::parse_switch(tk_widen_ascii(value + 1), on))
        exit_with_message(tk_format("Invalid value for %s: use 1, true, yes, on or 0, false, no, off", option));
    return on;
}

int mode_value(const char* value)
{
    // As atoi reads it, then written back: the text must be exactly the
    // number, so 03, +3 and 3a are refused with 0 and 5.
    int m = std::atoi(value);
    tk_trace(2, "\tgot mode %d", m);
    if (std::to_string(m) != value || m < 1 || m > 4) exit_with_message("Invalid merge/overwrite mode");
    return m;
}

int codepage_value(const char* value)
{
    char* end = nullptr;
    long cp = std::strtol(value, &end, 10);
    if (value[0] == '\0' || *end != '\0' || cp < 0 || cp > 65535)
        exit_with_message(tk_format("Invalid Jet3 code page: %s", value));
    return static_cast<int>(cp);
}

uint32_t batch_value(const char* value)
{
    uint32_t rows = 0;
    if (!udb_converter::parse_batch_rows(tk_widen_ascii(value), rows))
        exit_with_message(
            tk_format("Invalid batch size: %s (a whole number from 1 to %u)", value, udb_converter::k_max_batch_rows));
    return rows;
}

void blank_argument(char* arg, const char* option)
{
    for (char* p = arg + std::strlen(option); *p != '\0'; ++p) *p = '*';
}

std::optional<std::u16string> env_secret(const char* name)
{
    const char* v = std::getenv(name);
    if (v == nullptr) return std::nullopt;
    return text_value(name, v);
}

void read_option(ansi_cmd_line& cl, char** argv, explicit_options& o)
{
    tolvane_convertor& conv = tolvane_convertor::instance();
    const char* v = cl.value();
    const char* name = k_options[cl.id()].text;
    switch (cl.id()) {
    case o_accp:
        o.accp = secret_value(name, v);
        blank_argument(argv[cl.index()], name);
        break;
    case o_oraclp:
        o.oraclp = secret_value(name, v);
        blank_argument(argv[cl.index()], name);
        break;
    case o_uglp:
        o.uglp = secret_value(name, v);
        blank_argument(argv[cl.index()], name);
        break;
    case o_dest:
        o.dest = text_value(name, v);
        tk_trace(2, "\tparse_cmd_line - got dest %s", v);
        break;
    case o_help: exit_with_message(usage_text());
    case o_version:
        std::printf("%s", version_text().c_str());
        std::fflush(stdout);
        throw agent_exit{k_exit_ok};
    case o_logfile: o.logfile = v; break;
    case o_mode: o.mode = mode_value(v); break;
    case o_oraclh: o.oraclh = text_value(name, v); break;
    case o_oraclu: o.oraclu = text_value(name, v); break;
    case o_port: o.port = text_value(name, v); break;
    case o_profile:
        o.profiles.push_back(v);
        tk_trace(1, "parse_cmd_line - got profile %s", v);
        break;
    case o_silent:
        // At once: later fatal messages are silenced too.
        if (switch_value(name, v)) {
            tk_trace(1, "parse_cmd_line - silent mode is ON");
            conv.set_silent(true);
            error_handler::instance().set_silent(true);
        }
        break;
    case o_skip_idx:
        o.skip_idx = switch_value(name, v);
        tk_trace(2, "\tskip converting indexes");
        break;
    case o_src:
        o.src = text_value(name, v);
        tk_trace(2, "\tparse_cmd_line - got src %s", v);
        break;
    case o_sysdb: o.sysdb = text_value(name, v); break;
    case o_tab_def:
        o.tab_def = switch_value(name, v);
        tk_trace(2, "\tconvert table definitions only");
        break;
    case o_tab_file:
        o.tab_file = v;
        tk_trace(2, "\tparse_cmd_line - got tab_file %s", v);
        break;
    case o_uglu: o.uglu = text_value(name, v); break;
    case o_uppercase:
        o.uppercase = switch_value(name, v);
        tk_trace(2, "\tmake table names uppercase");
        break;
    case o_fk: o.fk = switch_value(name, v); break;
    case o_jet3_codepage: o.jet3_codepage = codepage_value(v); break;
    case o_batch: o.batch = batch_value(v); break;
    case o_report: agent_config().report_file = v; break;
    default: break;
    }
}

void load_profile_file(const std::string& path)
{
    tolvane_convertor& conv = tolvane_convertor::instance();
    std::u16string wide;
    if (!tk_ansi_to_wide(path, wide)) throw tk_exception(k_missing_profile, 1);
    udb_profile profile;
    // A profile cut short, or not UTF-8, is refused whole: half of a setup
    // must never run.
    if (!profile.load(wide)) throw tk_exception(k_damaged_profile, 1);
    try {
        conv.load_profile(profile);
    } catch (const udb_invalid_mode& e) {
        exit_with_message(e.message);
    }
}

bool same_file(const std::string& a, const std::u16string& b)
{
    if (b.empty()) return false;
    std::string nb = tk_to_ansi(b);
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) == 0 && ::stat(nb.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return a == nb;
}

// The trace file must never overwrite an input of the run, nor write
// through a link somebody planted.
void apply_logfile(const std::string& path, const explicit_options& o)
{
    tolvane_convertor& conv = tolvane_convertor::instance();
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        exit_with_message("The trace file must not be a symbolic link");
    bool clash = same_file(path, conv.src) || same_file(path, conv.sysdb_path);
    for (const std::string& p : o.profiles) clash = clash || same_file(path, tk_from_ansi(p));
    if (o.tab_file) clash = clash || same_file(path, tk_from_ansi(*o.tab_file));
    if (clash)
        exit_with_message("The trace file must not be the source, the profile, the table list or the workgroup file");
    tk_trace(1, "parse_cmd_line - got logfile %s", path);
    conv.set_logfile(path);
}

void apply_options(const explicit_options& o)
{
    tolvane_convertor& conv = tolvane_convertor::instance();
    if (o.src) conv.src = *o.src;
    if (o.dest) conv.dest = *o.dest;
    if (o.mode) conv.set_mode(*o.mode);
    if (o.skip_idx) conv.skip_idx = *o.skip_idx;
    if (o.tab_def) conv.tab_def = *o.tab_def;
    if (o.uppercase) conv.uppercase = *o.uppercase;
    if (o.fk) conv.create_fks = *o.fk;
    if (o.jet3_codepage) conv.jet3_codepage = *o.jet3_codepage;
    if (o.batch) conv.batch_rows = *o.batch;
    if (o.tab_file) process_tab_file(*o.tab_file);
}

void check_and_store(const explicit_options& o)
{
    tolvane_convertor& conv = tolvane_convertor::instance();
    std::u16string host = o.oraclh.value_or(conv.host);
    std::u16string user = o.oraclu.value_or(conv.user);
    std::u16string port = o.port.value_or(conv.port.empty() ? u"1521" : conv.port);
    std::u16string sysdb = tk_trim(o.sysdb.value_or(conv.sysdb_path));
    std::u16string uglu = tk_trim(o.uglu.value_or(conv.ugl_user));
    auto pick_secret = [](const std::optional<std::u16string>& given, const char* env, const std::u16string& kept) {
        if (given) return *given;
        return env_secret(env).value_or(kept);
    };
    std::u16string password = pick_secret(o.oraclp, "TOLVANE_ORACLE_PASSWORD", conv.password);
    std::u16string accp = pick_secret(o.accp, "TOLVANE_ACCESS_PASSWORD", conv.acc_pswd);
    std::u16string uglp = pick_secret(o.uglp, "TOLVANE_WORKGROUP_PASSWORD", conv.ugl_pswd);

    if (conv.dest.empty()) exit_with_message("You should enter Oracle database name");
    if (conv.src.empty()) exit_with_message("You should enter MS Access database name");
    if (host.empty()) exit_with_message("You should enter network name or IP address of Oracle server");
    if (!sysdb.empty() && uglu.empty()) exit_with_message("You should enter user name");
    if (sysdb.empty() && !uglu.empty())
        exit_with_message("You should enter path to MS Access workgroup information file");
    if (!sysdb.empty() && !dao_check_sysdb(sysdb))
        exit_with_message("Not a valid MS Access workgroup information file");

    conv.acc_pswd = accp;
    conv.store_ugl_settings(sysdb, uglu, uglp);
    conv.store_oracle_settings(host, user, password, port);
}

}  // namespace

agent_settings& agent_config()
{
    static agent_settings settings;
    return settings;
}

std::string version_text()
{
    return tk_format("tlvagent %d.%d (Tolvane)\n", k_version_major, k_version_minor);
}

std::string usage_text()
{
    static const char* const lines[] = {
        "Usage: TLVAGENT.EXE OPTIONS",
        "",
        "   --accp=...     MS Access database password",
        "   --dest=...     Oracle database name",
        "   --help         display this help message and exit",
        "   --logfile=...  path to the file where execution trace will be written",
        "   --mode=...     how to process tables that already exist in Oracle database",
        "                  (1 - overwrite, 2 - skip, 3 - merge, 4 - synchronize)",
        "   --oraclh=...   network name or IP address of Oracle server",
        "   --oraclu=...   Oracle user name",
        "   --oraclp=...   Oracle user password",
        "   --port=...     Oracle port",
        "   --profile=...  path to the file to load conversion settings from",
        "   --silent       disable program output",
        "   --skip_idx     skip converting indexes",
        "   --src=...      MS Access database name",
        "   --sysdb=...    path to MS Access workgroup information file (*.mdw)",
        "   --tab_def      convert table definitions only",
        "   --tab_file=... file containing the list of tables to convert",
        "                  (one table name per line)",
        "   --uglu=...     user name for MS Access user-level security",
        "   --uglp=...     password for MS Access user-level security",
        "   --uppercase    make table/field names uppercase",
        "   --fk           create foreign keys from the MS Access relationships",
        "   --jet3_codepage=... code page of Access 97 text (0: the file's own)",
        "   --report=...   write what was done, as JSON, to this file",
        "   --version      display the version and exit",
        "   --batch=...    rows sent to Oracle in one round trip (default 1000; 1: row by row)",
        "",
        "NOTES:",
        "   1) If you have specified a profile, there is no need to specify any other",
        "      parameters",
        "   2) You should omit 'sysdb', 'uglu' and 'uglp' parameters if not use",
        "      MS Access user-level security",
        "   3) The default mode is 'overwrite'. You can change it using",
        "      '--mode' parameter",
        "   4) It is necessary to specify 'port' parameter only if it differs from",
        "      the default Oracle port 1521",
        "   5) If you omit 'tab_file' parameter, all database tables will be converted",
        "   6) Command line parameters that contain spaces should be enclosed in",
        "      quotes (for example --src=\"c:\\My Documents\\Sales Report 2011.mdb\")",
        "   7) A password given as '-' is read from standard input; without the",
        "      option, TOLVANE_ORACLE_PASSWORD, TOLVANE_ACCESS_PASSWORD and",
        "      TOLVANE_WORKGROUP_PASSWORD are read",
        "   8) Exit status: 0 no error, 1 finished with errors, 255 stopped",
    };
    std::string text =
        tk_format("TLVAGENT v%d.%d - MS Access to Oracle conversion agent\n", k_version_major, k_version_minor);
    for (const char* line : lines) text += std::string(line) + "\n";
    return text;
}

void exit_with_message(const std::string& message)
{
    tk_trace(3, "%s", message);
    tolvane_convertor* conv = tolvane_convertor::instance_ptr();
    if (conv == nullptr || !conv->silent) {
        std::fprintf(stderr, "%s\n", message.c_str());
        std::fflush(stderr);
    }
    throw agent_exit{k_exit_fatal};
}

bool parse_cmd_line(int argc, char** argv)
{
    tk_trace(2, "parse_cmd_line");
    explicit_options o;
    ansi_cmd_line cl(argc, argv, k_options);
    for (; cl.has_more(); cl.advance())
        if (cl.id() >= 0) read_option(cl, argv, o);
    if (cl.unrecognised_count() > 0) return false;

    for (const std::string& p : o.profiles) load_profile_file(p);
    apply_options(o);
    check_and_store(o);
    if (o.logfile) apply_logfile(*o.logfile, o);
    // Password values were overwritten above, so the trace shows stars.
    for (int i = 0; i < argc; ++i) tk_trace(1, "parameter #%d: %s", i, argv[i]);
    return true;
}

void process_tab_file(const std::string& path)
{
    tk_trace(1, "process_tab_file(%s)", path);
    if (!tk_is_file_exist(path, tk_access_read)) exit_with_message(k_missing_tab_file);
    std::ifstream in(path, std::ios::binary);
    if (!in) exit_with_message(k_missing_tab_file);

    constexpr size_t max_line = 1024;  // far above any table name
    std::vector<std::u16string> names;
    bool utf8 = false, first = true;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
        if (first && line.starts_with("\xEF\xBB\xBF")) {
            utf8 = true;
            line.erase(0, 3);
        }
        if (line.empty()) continue;
        first = false;
        if (line.size() > max_line)
            exit_with_message(tk_format("Table names file: line %d is too long for a table name", number));
        std::u16string name;
        if (!(utf8 ? tk_utf8_to_wide(line, name) : tk_ansi_to_wide(line, name)))
            exit_with_message(tk_format("Table names file: line %d cannot be read in the file's encoding", number));
        names.push_back(std::move(name));
    }
    tolvane_convertor& conv = tolvane_convertor::instance();
    conv.selected_tables = std::move(names);
    conv.tables_listed = true;
}
