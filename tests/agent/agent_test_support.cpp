#include "agent_test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "tk_wstring.h"

namespace {

agent_result run(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& input, const std::string& dir)
{
    std::string out = dir + "/stdout", err = dir + "/stderr", in = dir + "/stdin";
    std::ofstream(in, std::ios::binary) << input;
    pid_t pid = ::fork();
    if (pid == 0) {
        int fi = ::open(in.c_str(), O_RDONLY);
        int fo = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fi, 0);
        ::dup2(fo, 1);
        ::dup2(fe, 2);
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    agent_result r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = read_file(out);
    r.err = read_file(err);
    return r;
}

}  // namespace

std::string test_data(const std::string& name)
{
    return std::string(TOLVANE_TEST_DATA) + "/" + name;
}

emu_service::emu_service()
{
    int s1 = 0, s2 = 0;
    oraemu({"create-service", "XE"}, &s1);
    oraemu({"create-user", "XE", "scott", "tiger"}, &s2);
    if (s1 != 0 || s2 != 0) throw std::runtime_error("oraemu set-up failed");
}

agent_result emu_service::agent(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
                                const std::string& input) const
{
    std::map<std::string, std::string> all = env;
    all.emplace("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB);
    all.emplace("ORAEMU_HOME", home());
    all.emplace("LC_ALL", "C.UTF-8");
    return run(TLVAGENT, args, all, input, home());
}

agent_result emu_service::convert(const std::string& data, const std::vector<std::string>& more) const
{
    std::vector<std::string> args{"--src=" + test_data(data), "--dest=XE", "--oraclh=localhost", "--oraclu=scott",
                                  "--oraclp=tiger"};
    args.insert(args.end(), more.begin(), more.end());
    return agent(args);
}

std::string emu_service::oraemu(const std::vector<std::string>& args, int* status) const
{
    agent_result r = run(ORAEMU_TOOL, args, {{"ORAEMU_HOME", home()}}, "", home());
    if (status != nullptr) *status = r.status;
    return r.out;
}

std::string emu_service::scalar(const std::string& sql) const
{
    std::string out = oraemu({"sql", "XE", "scott", "tiger", sql});
    // A header line, then the value.
    size_t nl = out.find('\n');
    if (nl == std::string::npos) return "";
    std::string value = out.substr(nl + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
    return value;
}

std::string emu_service::file(const std::string& name, const std::string& bytes) const
{
    std::string path = home() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

namespace {

// A JSON string starting at `at` (on its opening quote).
std::string json_string_at(const std::string& json, size_t at)
{
    std::string out;
    for (size_t i = at + 1; i < json.size(); ++i) {
        char c = json[i];
        if (c == '"') return out;
        if (c != '\\') {
            out += c;
            continue;
        }
        char e = json[++i];
        switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            unsigned cp = std::stoul(json.substr(i + 1, 4), nullptr, 16);
            out += static_cast<char>(cp);  // only control characters are escaped
            i += 4;
            break;
        }
        default: out += e;
        }
    }
    return out;
}

}  // namespace

std::map<std::u16string, std::u16string> report_targets(const std::string& json)
{
    std::map<std::u16string, std::u16string> pairs;
    const std::string a = "{\"access\": ", o = ", \"oracle\": ";
    for (size_t at = json.find(a); at != std::string::npos; at = json.find(a, at + 1)) {
        std::string access = json_string_at(json, at + a.size());
        size_t op = json.find(o, at);
        if (op == std::string::npos) break;
        pairs[tk_from_utf8(access)] = tk_from_utf8(json_string_at(json, op + o.size()));
    }
    return pairs;
}
