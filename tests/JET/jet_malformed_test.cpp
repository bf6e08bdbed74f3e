// Damaged and foreign files: the component answers 3343 (or reads what is
// sound) and never crashes or hangs. Each case writes a damaged copy of a
// real file and reads everything through the component, once with the
// child-process guard and once without it, so that a crash the guard
// would hide still fails the test.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "jet_database.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_guard.h"
#include "jet_patched_file.h"
#include "jet_querydef.h"
#include "jet_tabledef.h"
#include "jet_test_encrypt.h"
#include "jet_test_util.h"
#include "tk_wstring.h"

namespace {

jet_test_bytes load(const char* name)
{
    return jet_test_read_file(jet_test_data(name));
}

// Reads every table of the file; returns 0 or the DAO error number.
int32_t read_all(const std::string& path)
{
    return jet_error_of([&] {
        jet_database db(tk_from_utf8(path), u"", false, true);
        for (jet_tabledef& t : db.tabledefs()) {
            if (t.attributes() != 0) continue;
            t.fields();
            t.indexes();
            auto rs = db.create_querydef(u"", u"SELECT * FROM [" + t.name() + u"]")->open_recordset();
            while (!rs->eof()) {
                rs->fields();
                rs->move_next();
            }
        }
    });
}

void expect_survives(const jet_test_bytes& bytes, const char* what)
{
    jet_test_temp_dir dir;
    jet_test_write_file(dir.file("damaged.mdb"), bytes);
    for (bool guarded : {true, false}) {
        jet_guard::enabled = guarded;
        int32_t r = read_all(dir.file("damaged.mdb"));
        EXPECT_TRUE(r == 0 || r == 3343) << what << ": DAO error " << r;
    }
    jet_guard::enabled = true;
}

TEST(jet_malformed_test, foreign_and_empty_files)
{
    expect_survives(jet_test_bytes(), "empty file");
    expect_survives(jet_test_bytes(8192, 0), "zeros");
    std::mt19937 rng(7);
    jet_test_bytes noise(65536);
    for (uint8_t& c : noise) c = static_cast<uint8_t>(rng());
    expect_survives(noise, "random bytes");
    // A sound header over noise.
    jet_test_bytes v = load("V2000_test.mdb");
    std::copy(v.begin(), v.begin() + 4096, noise.begin());
    jet_test_temp_dir dir;
    jet_test_write_file(dir.file("noise.mdb"), noise);
    EXPECT_EQ(read_all(dir.file("noise.mdb")), 3343);
}

// Inputs the fuzzing run found to hang the reader: each must now end. (The
// Agile spin-count bound is checked in jet_agile_test.)
TEST(jet_malformed_test, fuzz_findings)
{
    for (const char* name : {"fuzz/usage-map-circle.mdb"}) expect_survives(load(name), name);
}

// A long-value chain whose row names itself as the next: the reading ends
// having brought no more bytes than the file holds.
TEST(jet_malformed_test, long_value_chain_in_a_circle)
{
    jet_patched_file copy(jet_test_data("V2000_test.mdb"));
    std::vector<uint8_t>& b = copy.bytes();
    uint32_t page = 1;
    while (page * 4096 < b.size() && b[page * 4096] != 0x01) ++page;
    ASSERT_LT(page * 4096, b.size());
    uint8_t* pg = b.data() + page * 4096;
    const uint32_t start = (pg[14] | (pg[15] << 8)) & 0x1FFF, self = page << 8;
    ASSERT_LE(start + 4, 4096u);
    std::memcpy(pg + start, &self, 4);
    jet_file file(tk_from_utf8(copy.write()), u"");
    uint8_t ref[12] = {0xFF, 0xFF, 0x0F, 0x00};
    std::memcpy(ref + 4, &self, 4);
    std::vector<uint8_t> out;
    EXPECT_FALSE(file.read_long_value(ref, sizeof ref, out));
    EXPECT_LE(out.size(), b.size() + 4096);
}

TEST(jet_malformed_test, truncated_files)
{
    for (const char* name : {"nwind.mdb", "V2000_test.mdb", "V2010_test.accdb"}) {
        jet_test_bytes v = load(name);
        for (size_t len : {size_t{100}, size_t{4096}, size_t{3 * 4096}, v.size() / 3, v.size() / 2, v.size() - 1000}) {
            jet_test_bytes cut(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(len));
            expect_survives(cut, name);
        }
    }
    // Once made libmdb's own catalogue reader loop for minutes on a
    // property blob cut short.
    jet_test_bytes v = load("nwind.mdb");
    v.resize(1528629);
    expect_survives(v, "nwind cut inside a property blob");
}

TEST(jet_malformed_test, garbage_pages_in_a_valid_file)
{
    for (const char* name : {"nwind.mdb", "V2003_test.mdb", "V2007_test.accdb"}) {
        jet_test_bytes v = load(name);
        const size_t page = name[0] == 'n' ? 2048 : 4096;
        std::mt19937 rng(11);
        for (int round = 0; round < 6; ++round) {
            jet_test_bytes d = v;
            size_t pg = 1 + rng() % (d.size() / page - 1);
            if (round == 0) pg = 2;  // the catalogue's own definition
            for (size_t k = 0; k < page; ++k) d[pg * page + k] = static_cast<uint8_t>(rng());
            expect_survives(d, name);
        }
    }
}

TEST(jet_malformed_test, huge_declared_sizes)
{
    jet_test_bytes v = load("V2000_test.mdb");
    // Every 0xFF run of four bytes on data pages: row counts, long-value
    // lengths and page pointers become huge.
    std::mt19937 rng(3);
    for (int round = 0; round < 6; ++round) {
        jet_test_bytes d = v;
        for (int k = 0; k < 40; ++k) {
            size_t at = 4096 + rng() % (d.size() - 4100);
            for (int b = 0; b < 4; ++b) d[at + b] = static_cast<uint8_t>(0xFF);
        }
        expect_survives(d, "0xFF runs");
    }
}

}  // namespace
