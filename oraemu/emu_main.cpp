// oraemu: administration and one-statement SQL for the Oracle stand-in.
#include "emu_session.h"
#include "emu_values.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

int usage() {
    std::cerr << "usage:\n"
                 "  oraemu create-service SERVICE [11g|19c|23ai]\n"
                 "  oraemu create-user SERVICE USER PASSWORD\n"
                 "  oraemu sql SERVICE USER PASSWORD \"STATEMENT\"\n"
                 "  oraemu set SERVICE KEY VALUE            (version, nchar_charset, db_charset, lock_wait_ms)\n"
                 "  oraemu fault SERVICE KIND [TARGET [N [CODE]]]\n"
                 "      kinds: logon_refused USER, account_locked USER, no_listener HOST,\n"
                 "             unknown_host HOST, drop_busy TABLE, sequence_denied [USER],\n"
                 "             insert_fails TABLE N CODE, connection_lost - N, no_space [TABLE],\n"
                 "             create_fails TABLE - CODE\n"
                 "  oraemu faults SERVICE                   (list)\n"
                 "  oraemu clear-faults SERVICE\n"
                 "  oraemu stats SERVICE [--reset]\n"
                 "  oraemu home\n"
                 "Stores live in $ORAEMU_HOME (default $XDG_DATA_HOME/tolvane/oraemu).\n";
    return 2;
}

std::string cell(const emu::value& v) {
    if (v.null) return "";
    if (v.type == emu::col_type::raw || v.type == emu::col_type::blob) return emu::hex_encode(v.data);
    return v.data;
}

int run_sql(const std::vector<std::string>& a) {
    auto s = emu::session::logon("//localhost/" + a[2], a[3], a[4]);
    // The tool is a client too: it honours the client's N-literal setting.
    const char* nlr = std::getenv("ORA_NCHAR_LITERAL_REPLACE");
    s->set_nchar_literal_replace(nlr && (std::string(nlr) == "TRUE" || std::string(nlr) == "true"));
    emu::exec_result r = s->execute(a[5], {}, true);
    if (r.warning) std::cerr << r.warning->text << "\n";
    if (r.rows) {
        const auto& cols = r.rows->columns();
        for (size_t i = 0; i < cols.size(); ++i) std::cout << (i ? "\t" : "") << cols[i].name;
        std::cout << "\n";
        std::vector<emu::value> row;
        while (r.rows->fetch(row)) {
            for (size_t i = 0; i < row.size(); ++i) std::cout << (i ? "\t" : "") << cell(row[i]);
            std::cout << "\n";
        }
    } else if (r.k == emu::exec_result::dml) {
        std::cerr << r.row_count << (r.row_count == 1 ? " row" : " rows") << " processed\n";
    }
    return 0;
}

int run_fault(const std::vector<std::string>& a) {
    emu::fault f;
    f.kind = a[3];
    f.target = a.size() > 4 && a[4] != "-" ? a[4] : "";
    f.n = a.size() > 5 ? std::atoll(a[5].c_str()) : 0;
    f.code = a.size() > 6 ? std::atoi(a[6].c_str()) : 0;
    static const char* kinds[] = {"logon_refused", "account_locked", "no_listener", "unknown_host", "drop_busy",
                                  "sequence_denied", "insert_fails", "connection_lost", "no_space",
                                  "create_fails"};
    bool known = false;
    for (const char* k : kinds) known = known || f.kind == k;
    if (!known) return usage();
    emu::add_fault(a[2], f);
    return 0;
}

int run_stats(const std::vector<std::string>& a) {
    if (a.size() > 3 && a[3] == "--reset") {
        emu::reset_round_trips(a[2]);
        return 0;
    }
    emu::rt_counters c = emu::service_round_trips(a[2]);
    std::cout << "execute\t" << c.execute << "\nfetch\t" << c.fetch << "\nlob_read\t" << c.lob_read
              << "\nlob_write\t" << c.lob_write << "\nlob_length\t" << c.lob_length << "\ncommit\t" << c.commit
              << "\nrollback\t" << c.rollback << "\nlogon\t" << c.logon << "\nother\t" << c.other << "\ntotal\t"
              << c.total() << "\ntransactions\t" << c.transactions << "\n";
    return 0;
}

int dispatch(const std::vector<std::string>& a) {
    const std::string& cmd = a[1];
    if (cmd == "home") {
        std::cout << emu::home_dir() << "\n";
        return 0;
    }
    if (a.size() < 3) return usage();
    if (cmd == "create-service") {
        emu::create_service(a[2], a.size() > 3 ? a[3] : "11g");
        return 0;
    }
    if (cmd == "create-user" && a.size() == 5) {
        emu::create_user(a[2], a[3], a[4]);
        return 0;
    }
    if (cmd == "sql" && a.size() == 6) return run_sql(a);
    if (cmd == "set" && a.size() == 5) {
        emu::set_setting(a[2], a[3], a[4]);
        return 0;
    }
    if (cmd == "fault" && a.size() >= 4) return run_fault(a);
    if (cmd == "faults") {
        for (const auto& f : emu::list_faults(a[2]))
            std::cout << f.kind << "\t" << f.target << "\t" << f.n << "\t" << f.code << "\n";
        return 0;
    }
    if (cmd == "clear-faults") {
        emu::clear_faults(a[2]);
        return 0;
    }
    if (cmd == "stats") return run_stats(a);
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv, argv + argc);
    if (a.size() < 2) return usage();
    try {
        return dispatch(a);
    } catch (const emu::ora_error& e) {
        std::cerr << e.text << "\n";
        return 1;
    } catch (const std::invalid_argument& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
}
