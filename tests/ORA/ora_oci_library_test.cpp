#include "ora_oci_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "tk_exception.h"

namespace {

// Sets or removes an environment variable for the life of the object.
class scoped_env {
public:
    scoped_env(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~scoped_env()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

const char* const k_missing_message = "The Oracle client and networking components were not found.\n"
                                      "These components are supplied by the Oracle Corporation and\n"
                                      "are part of the Oracle Version 7.3.4 (or later) client\n"
                                      "software installation. You will be unable to use this program\n"
                                      "until these components have been installed.";

// Loading the client with `args` (a search list, or none for the default
// search) fails with the missing-client report.
template <typename... Args>
void expect_missing_client(const Args&... args)
{
    try {
        ora_oci_library lib(args...);
        FAIL() << "loaded " << lib.path();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.code, 1u);
        EXPECT_EQ(e.level, 1);
        EXPECT_EQ(e.message, k_missing_message);
    }
}

}  // namespace

TEST(ora_oci_library, search_list_prefers_the_named_file_alone)
{
    auto list = ora_oci_library::candidates("/opt/x/libfake.so", "/opt/oracle");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], "/opt/x/libfake.so");
}

TEST(ora_oci_library, search_list_tries_versioned_names_then_oracle_home)
{
    auto list = ora_oci_library::candidates(nullptr, "/u01/app/oracle/");
    std::vector<std::string> names = {"libclntsh.so",      "libclntsh.so.23.1", "libclntsh.so.21.1",
                                      "libclntsh.so.19.1", "libclntsh.so.18.1", "libclntsh.so.12.1",
                                      "libclntsh.so.11.1"};
    ASSERT_EQ(list.size(), names.size() * 2);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(list[i], names[i]);
        EXPECT_EQ(list[names.size() + i], "/u01/app/oracle/lib/" + names[i]);
    }
    // An empty variable counts as unset.
    EXPECT_EQ(ora_oci_library::candidates("", "").size(), names.size());
}

TEST(ora_oci_library, no_loadable_file_reports_the_missing_client)
{
    expect_missing_client(std::vector<std::string>{"/nonexistent/libclntsh.so", "libclntsh-not-here.so.99"});
    expect_missing_client(std::vector<std::string>{});
}

TEST(ora_oci_library, named_file_that_does_not_exist_is_not_replaced_by_a_search)
{
    scoped_env lib("TOLVANE_OCI_LIB", "/nonexistent/dir/libclntsh.so");
    expect_missing_client();
}

TEST(ora_oci_library, without_client_on_the_machine_reports_the_missing_client)
{
    // Only meaningful where no Oracle client can be found by name.
    scoped_env lib("TOLVANE_OCI_LIB", nullptr);
    std::filesystem::path empty_home = std::filesystem::temp_directory_path() / "tolvane_no_oracle_home";
    std::filesystem::create_directories(empty_home / "lib");
    scoped_env home("ORACLE_HOME", empty_home.c_str());
    for (const auto& name : ora_oci_library::candidates(nullptr, nullptr)) {
        try {
            ora_oci_library probe({name});
            GTEST_SKIP() << "an Oracle client is installed here: " << name;
        } catch (const tk_exception&) {}
    }
    expect_missing_client();
}

TEST(ora_oci_library, missing_entry_point_is_named_with_the_library)
{
    try {
        ora_oci_library l({ORA_TEST_PARTIAL_OCI});
        FAIL() << "loaded an incomplete client";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.code, 127u);
        EXPECT_EQ(e.level, 1);
        EXPECT_NE(e.message.find("OCIHandleFree"), std::string::npos) << e.message;
        EXPECT_NE(e.message.find(ORA_TEST_PARTIAL_OCI), std::string::npos) << e.message;
    }
}

#ifdef ORAEMU_OCI_LIB
TEST(ora_oci_library, stand_in_provides_every_entry_point)
{
    scoped_env lib("TOLVANE_OCI_LIB", ORAEMU_OCI_LIB);
    ora_oci_library l;
    EXPECT_EQ(l.path(), ORAEMU_OCI_LIB);
#define ORA_TEST_PRESENT(name) EXPECT_NE(l->name, nullptr) << #name;
    ORA_OCI_REQUIRED_FUNCTIONS(ORA_TEST_PRESENT)
    ORA_OCI_OPTIONAL_FUNCTIONS(ORA_TEST_PRESENT)
#undef ORA_TEST_PRESENT
    // The process-wide client is the same object on every call.
    ora_oci_library& shared = ora_oci_library::shared();
    EXPECT_EQ(&shared, &ora_oci_library::shared());
    EXPECT_EQ(shared.path(), ORAEMU_OCI_LIB);
    sword major = 0, minor = -1, update = -1, patch = -1, port = -1;
    l->OCIClientVersion(&major, &minor, &update, &patch, &port);
    EXPECT_GE(major, 11);
}
#endif
