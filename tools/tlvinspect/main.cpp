// tlvinspect: looks inside an Access file through the same component the
// conversion uses and prints what it finds as JSON.
//
// usage: tlvinspect FILE [--password P] [--workgroup MDW --user U
//                    --user-password P] [--table NAME] [--no-rows]
//                    [--jet3-codepage N] [--query SQL | --test-query SQL]
//
// --jet3-codepage reads the text and names of an Access 97 file in Windows
// code page N (936 for GBK, 949 for Korean, ...) instead of the one its
// header names.
//
// --query prints the statement's result as a table (columns, record count,
// rows); --test-query compiles it without reading rows and prints "ok".
// Errors: one line on standard error with DAO's number and text, exit 1.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "jet_error.h"
#include "jet_viewer.h"
#include "tk_wstring.h"

namespace {

int usage()
{
    std::fputs("usage: tlvinspect FILE [--password P] [--workgroup MDW --user U --user-password P] "
               "[--table NAME] [--no-rows] [--jet3-codepage N] [--query SQL | --test-query SQL]\n",
               stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    jet_inspect_options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::u16string& into) {
            if (i + 1 >= argc) return false;
            into = tk_from_ansi(argv[++i]);
            return true;
        };
        bool ok = true;
        if (a == "--password")
            ok = value(o.password);
        else if (a == "--workgroup")
            ok = value(o.workgroup);
        else if (a == "--user")
            ok = value(o.user);
        else if (a == "--user-password")
            ok = value(o.user_password);
        else if (a == "--table")
            ok = value(o.table);
        else if (a == "--query")
            ok = value(o.query) && !o.query.empty();
        else if (a == "--test-query")
            ok = value(o.test_query) && !o.test_query.empty();
        else if (a == "--jet3-codepage") {
            std::u16string n;
            ok = value(n) && !n.empty() && n.size() <= 5 && n.find_first_not_of(u"0123456789") == std::u16string::npos;
            if (ok) o.jet3_code_page = std::stoi(tk_to_utf8(n));
        } else if (a == "--no-rows")
            o.rows = false;
        else if (!a.empty() && a[0] != '-' && o.file.empty())
            o.file = tk_from_ansi(a);
        else
            ok = false;
        if (!ok) return usage();
    }
    if (o.file.empty() || (!o.query.empty() && !o.test_query.empty())) return usage();
    try {
        jet_viewer::inspect(o, std::cout);
    } catch (const jet_error& e) {
        std::fprintf(stderr, "DAO error %d: %s\n", e.number, e.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
