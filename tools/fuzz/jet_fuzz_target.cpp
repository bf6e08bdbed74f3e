// libFuzzer target: the component's open-and-read path on arbitrary bytes.
// Built and run by run_jet_fuzz.sh (not part of the build or of CI).
//
// The child-process guard is turned off so that every crash libmdb or the
// component would have shows up here instead of becoming a 3343 error.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "jet_database.h"
#include "jet_error.h"
#include "jet_guard.h"
#include "jet_querydef.h"
#include "jet_recordset.h"
#include "jet_tabledef.h"
#include "tk_wstring.h"

constexpr int k_rows_per_table = 64;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/jetfuzz-" + std::to_string(getpid()) + ".mdb";
    }();
    jet_guard::enabled = false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        jet_database db(tk_from_utf8(path), u"", false, true);
        for (jet_tabledef& t : db.tabledefs()) {
            if ((t.attributes() & (jet_attr_system | jet_attr_linked | jet_attr_odbc)) != 0) continue;
            t.fields();
            t.indexes();
            t.record_count();
            auto rs = db.create_querydef(u"", u"SELECT * FROM [" + t.name() + u"]")->open_recordset();
            // The first rows take every decoding path a table has; more
            // rows of the same columns only slow the search down.
            for (int n = 0; n < k_rows_per_table && !rs->eof(); ++n) {
                for (const jet_field& field : rs->fields()) (void)field.value();
                rs->move_next();
            }
        }
    } catch (const jet_error&) {}
    return 0;
}
