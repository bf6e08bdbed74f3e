// The engine: generations, workgroup security, the temporary system
// database, passwords and the DAO error capture.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "dao_bstr.h"
#include "dao_check_sysdb.h"
#include "dao_test_util.h"
#include "jet_workgroup.h"
#include "tk_logger.h"

namespace {

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Runs each test in a private, empty current directory.
class dao_engine_dir_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/dao_engine_testXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        char cwd[4096];
        ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
        old_ = cwd;
        ASSERT_EQ(::chdir(dir_.c_str()), 0);
    }
    void TearDown() override
    {
        ::chmod(dir_.c_str(), 0700);
        ASSERT_EQ(::chdir(old_.c_str()), 0);
        std::string cmd = "rm -rf '" + dir_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    std::string in_dir(const char* name) const { return dir_ + "/" + name; }

    std::string dir_;
    std::string old_;
};

// The recorded password of a user of the test workgroup, recovered from
// the file itself (its cipher is documented).
std::u16string workgroup_password(const char16_t* user)
{
    jet_workgroup wg(dao_test_path("workgroup-jet3.mdw"));
    for (const jet_account& a : wg.accounts())
        if (!a.is_group && tk_equal_nocase(a.name, user)) return a.password;
    ADD_FAILURE() << "no such user";
    return {};
}

TEST(dao_engine_test, generations_in_preference_order)
{
    dao_engine engine;
    EXPECT_EQ(engine.version_key(), 4);
    EXPECT_EQ(engine.dbengine(), nullptr);
    EXPECT_FALSE(engine.set_version_if(0));
    EXPECT_FALSE(engine.set_version_if(1));
    EXPECT_EQ(engine.version_key(), 4);
    EXPECT_TRUE(engine.set_version_if(3));
    EXPECT_EQ(engine.version_key(), 3);
    ASSERT_NE(engine.dbengine(), nullptr);
    // Asking again releases the chosen engine first.
    EXPECT_FALSE(engine.set_version_if(0));
    EXPECT_EQ(engine.version_key(), 4);
    EXPECT_THROW(engine.set_version_if(7), tk_mail_assertion);
    engine.choose_generation();
    EXPECT_EQ(engine.version_key(), 3);
    EXPECT_EQ(std::string(dao_engine::k_load_failure).substr(0, 58),
              "Failed to load Data Access Objects (DAO) support library.\n");
}

TEST(dao_engine_test, one_engine_at_a_time)
{
    {
        dao_engine first;
        EXPECT_THROW(dao_engine second, tk_mail_assertion);
        EXPECT_EQ(&dao_engine::instance(), &first);
    }
    EXPECT_FALSE(dao_engine::exists());
    dao_engine again;
    EXPECT_TRUE(dao_engine::exists());
}

TEST(dao_engine_test, open_db_needs_a_generation)
{
    dao_engine engine;
    EXPECT_THROW(engine.open_db(dao_test_path("nwind.mdb"), 1, u""), tk_mail_assertion);
    engine.choose_generation();
    EXPECT_THROW(engine.open_db(u"", 1, u""), tk_mail_assertion);
}

TEST(dao_engine_test, database_passwords)
{
    auto engine = dao_test_engine();
    for (const char* file : {"V2000_with-password.mdb", "V2003_with-password.mdb", "V2010_with-password.accdb"}) {
        SCOPED_TRACE(file);
        EXPECT_NE(dao_test_open(*engine, file, 1, u"password"), nullptr);
        for (const char16_t* wrong : {u"", u"Password", u"passwordx"}) {
            const dao_test_error e = dao_error_of([&] { dao_test_open(*engine, file, 1, wrong); });
            EXPECT_EQ(e.code, 0x10000u + 3031u);
            EXPECT_EQ(e.message, "Not a valid password.");  // the password given never shows in the text
        }
    }
    // A password given for a file without one is not checked, as in DAO.
    EXPECT_NE(dao_test_open(*engine, "V2000_test.mdb", 1, u"whatever"), nullptr);
}

TEST(dao_engine_test, missing_and_unrecognised_files)
{
    auto engine = dao_test_engine();
    const dao_test_error missing = dao_error_of([&] { engine->open_db(u"/no/such/file.mdb", 1, u""); });
    EXPECT_EQ(missing.code, 0x10000u + 3024u);
    EXPECT_EQ(missing.message, "Could not find file '/no/such/file.mdb'.");
    EXPECT_EQ(dao_code_of([&] { engine->open_db(dao_test_path("PROVENANCE.md"), 1, u""); }), 0x10000u + 3343u);
    EXPECT_EQ(dao_code_of([&] { engine->create_db(u"/tmp/never.mdb"); }), 0x10000u + 3251u);
    EXPECT_FALSE(exists("/tmp/never.mdb"));
}

TEST(dao_engine_test, exception_without_a_dao_error_is_unknown)
{
    jet_error::clear_current();
    dao_engine engine;
    // First without a DBEngine, then with one that recorded no error.
    for (bool chosen : {false, true}) {
        SCOPED_TRACE(chosen);
        if (chosen) engine.choose_generation();
        try {
            throw dao_exception();
        } catch (const dao_exception&) {
            ADD_FAILURE() << "the capture must fail";
        } catch (const tk_exception& e) {
            EXPECT_EQ(e.message, "Unknown exception");
            EXPECT_EQ(e.level, 1);
        }
    }
}

TEST(dao_engine_test, workgroup_logon)
{
    const std::u16string mdw = dao_test_path("workgroup-jet3.mdw");
    const std::u16string pw = workgroup_password(u"admin");
    {
        auto engine = dao_test_engine();
        EXPECT_NO_THROW(engine->set_ugl_info(mdw, u"Admin", pw));
        // One workspace per engine.
        EXPECT_THROW(engine->set_ugl_info(mdw, u"Admin", pw), tk_mail_assertion);
        EXPECT_NE(dao_test_open(*engine, "nwind.mdb"), nullptr);
    }
    // Each refusal on a fresh engine, with DAO's text.
    const char* const bad_account = "Not a valid account name or password.";
    const struct {
        std::u16string file;
        const char16_t* user;
        std::u16string password;
        uint32_t number;
        const char* message;
    } refused[] = {
        {mdw, u"Admin", pw + u"x", 3029, bad_account},
        {mdw, u"nobody", u"", 3029, bad_account},
        {dao_test_path("nwind.mdb"), u"Admin", u"", 3358,
         "Cannot open the Microsoft Jet engine workgroup information file."},
        {u"/no/such.mdw", u"Admin", u"", 3028,
         "Cannot start your application. The workgroup information file is missing or opened exclusively by another "
         "user."},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(tk_to_utf8(r.file) + " / " + tk_to_utf8(r.user));
        auto engine = dao_test_engine();
        const dao_test_error e = dao_error_of([&] { engine->set_ugl_info(r.file, r.user, r.password); });
        EXPECT_EQ(e.code, 0x10000u + r.number);
        EXPECT_EQ(e.message, r.message);
    }
    {
        // An empty file or user means no security: nothing is checked.
        auto engine = dao_test_engine();
        EXPECT_NO_THROW(engine->set_ugl_info(u"", u"nobody", u"x"));
        EXPECT_NO_THROW(engine->set_ugl_info(mdw, u"", u"x"));
    }
}

TEST(dao_engine_test, passwords_never_reach_the_trace)
{
    char name[] = "/tmp/dao_traceXXXXXX";
    int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::u16string wg_password = workgroup_password(u"admin");
    ASSERT_FALSE(wg_password.empty());
    {
        tk_logger logger(name, true, 1, false);
        auto engine = dao_test_engine();
        engine->set_ugl_info(dao_test_path("workgroup-jet3.mdw"), u"Admin", wg_password);
        EXPECT_NE(dao_test_open(*engine, "V2003_with-password.mdb", 1, u"password"), nullptr);
        EXPECT_THROW(dao_test_open(*engine, "V2003_with-password.mdb", 1, u"Sesame42"), dao_exception);
    }
    std::ifstream in(name, std::ios::binary);
    std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ::unlink(name);
    EXPECT_NE(trace.find("dao_engine::set_ugl_info"), std::string::npos);  // the trace was written
    EXPECT_NE(trace.find("dao_engine::open_db"), std::string::npos);
    EXPECT_EQ(trace.find(tk_to_utf8(wg_password)), std::string::npos);
    EXPECT_EQ(trace.find("Sesame42"), std::string::npos);
    EXPECT_EQ(trace.find("pwd=password"), std::string::npos);
}

TEST_F(dao_engine_dir_test, check_sysdb)
{
    EXPECT_TRUE(dao_check_sysdb(dao_test_path("workgroup-jet3.mdw")));
    EXPECT_FALSE(dao_check_sysdb(dao_test_path("nwind.mdb")));
    EXPECT_FALSE(dao_check_sysdb(dao_test_path("V2010_test.accdb")));
    EXPECT_FALSE(dao_check_sysdb(u"/no/such/file.mdw"));

    // The answer for a file of `bytes`, written under `name`.
    auto check = [](const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return dao_check_sysdb(tk_from_utf8(name));
    };
    std::vector<uint8_t> header = {0x00, 0x01, 0x00, 0x00};
    for (char c : std::string("Jet System DB  ")) header.push_back(static_cast<uint8_t>(c));
    header.push_back(0);
    EXPECT_FALSE(check("short", header));  // 20 bytes: too short whatever they hold
    header.push_back(1);
    EXPECT_TRUE(check("tiny", header));  // 21 bytes with the name at offset 4
    header[10] = 'x';
    EXPECT_FALSE(check("other", header));
    // The MS Access 2.0 signatures.
    std::vector<uint8_t> old(1040, 0);
    old[0] = 1;
    std::copy_n("Rich", 4, old.begin() + 1030);
    EXPECT_TRUE(check("rich", old));
    old[1038] = 1;
    EXPECT_FALSE(check("rich2", old));
    std::vector<uint8_t> magic(1040, 0);
    magic[0] = 0x77, magic[1] = 0x2C, magic[2] = 0x53, magic[3] = 0x20;
    EXPECT_TRUE(check("magic", magic));
    magic.resize(1039);  // the old signatures need 1,040 bytes
    EXPECT_FALSE(check("magic_short", magic));
    // The built-in image of the temporary system database is a workgroup file.
    EXPECT_TRUE(check("builtin", jet_workgroup::builtin_image()));
}

TEST_F(dao_engine_dir_test, temporary_system_database_life_cycle)
{
    {
        auto engine = dao_test_engine();
        engine->set_anonymous_sys_db();
        ASSERT_TRUE(engine->generator().generated());
        EXPECT_EQ(engine->generator().name(), "~tmp0000");
        EXPECT_EQ(engine->generator().path(), in_dir("~tmp0000"));
        EXPECT_TRUE(exists(in_dir("~tmp0000")));
        EXPECT_TRUE(dao_check_sysdb(u"~tmp0000"));
        EXPECT_EQ(engine->dbengine()->system_db(), tk_from_utf8(in_dir("~tmp0000")));
        // Databases open under the private workgroup as user Admin.
        EXPECT_NE(dao_test_open(*engine, "V2000_test.mdb"), nullptr);
        std::ofstream(in_dir("~tmp0000.ldb")) << "lock";
    }
    EXPECT_FALSE(exists(in_dir("~tmp0000")));
    EXPECT_FALSE(exists(in_dir("~tmp0000.ldb")));
}

TEST_F(dao_engine_dir_test, generator_takes_the_first_free_name)
{
    std::ofstream(in_dir("~tmp0000")) << "taken";
    std::ofstream(in_dir("~tmp0001")) << "taken";
    {
        auto engine = dao_test_engine();
        engine->set_anonymous_sys_db();
        EXPECT_EQ(engine->generator().name(), "~tmp0002");
    }
    EXPECT_TRUE(exists(in_dir("~tmp0000")));  // files of others stay
    EXPECT_TRUE(exists(in_dir("~tmp0001")));
    EXPECT_FALSE(exists(in_dir("~tmp0002")));
}

TEST_F(dao_engine_dir_test, temporary_file_removed_when_the_run_fails)
{
    EXPECT_EQ(dao_code_of([&] {
                  auto engine = dao_test_engine();
                  engine->set_anonymous_sys_db();
                  ASSERT_TRUE(exists(in_dir("~tmp0000")));
                  dao_test_open(*engine, "no-such-file.mdb");
              }),
              0x10000u + 3024u);
    EXPECT_FALSE(exists(in_dir("~tmp0000")));
    EXPECT_FALSE(dao_engine::exists());
}

TEST_F(dao_engine_dir_test, temporary_file_removed_at_exit)
{
    // The agent ends the process with exit() after a fatal error: no
    // destructor of the run's objects runs then.
    EXPECT_EXIT(
        {
            auto* engine = new dao_engine;
            engine->choose_generation();
            engine->set_anonymous_sys_db();
            if (!exists(in_dir("~tmp0000"))) std::exit(3);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(exists(in_dir("~tmp0000")));
}

TEST_F(dao_engine_dir_test, unwritable_directory_is_traced_and_the_run_goes_on)
{
    // /proc takes no new files, not even from root.
    ASSERT_EQ(::chdir("/proc"), 0);
    auto engine = dao_test_engine();
    EXPECT_NO_THROW(engine->set_anonymous_sys_db());
    EXPECT_FALSE(engine->generator().generated());
    EXPECT_TRUE(engine->dbengine()->system_db().empty());
    EXPECT_NE(dao_test_open(*engine, "V2000_test.mdb"), nullptr);
}

TEST(dao_bstr_test, narrow_and_wide)
{
    dao_bstr w(u"Größe 🙂");
    EXPECT_EQ(w.str(), u"Größe 🙂");
    EXPECT_EQ(w.length(), 8u);
    const std::u16string& as_bstr = w;
    EXPECT_EQ(as_bstr, u"Größe 🙂");
    dao_bstr n(std::string_view("plain"));
    EXPECT_EQ(n.str(), u"plain");
}

}  // namespace
