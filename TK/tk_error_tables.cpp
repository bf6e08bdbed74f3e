#include "tk_error_tables.h"

#include <array>
#include <cstddef>

namespace {

// Joins string literals at compile time, so the tables stay constant data
// that no static initialisation order can catch half-built.
template <size_t... N>
constexpr auto join_literals(const char (&... parts)[N])
{
    std::array<char, (N + ...) - sizeof...(N) + 1> out{};
    size_t at = 0;
    auto append = [&](const char* p, size_t n) {
        for (size_t i = 0; i + 1 < n; ++i) out[at++] = p[i];
    };
    (append(parts, N), ...);
    return out;
}

constexpr auto k_conversion_text =
    join_literals("Data type conversion error. Please contact ", tk_support_address, "\nfor the solution.");

constexpr const char k_duplicate_text[] = "Duplicate field values being used for an unique index were found.\n"
                                          "See 'Troubleshooting' article of the product documentation\n"
                                          "for solution.";

constexpr const char k_workgroup_text[] = "Invalid workgroup information file. Return to the previous\n"
                                          "wizard page and verify the correct path was given.";

}  // namespace

const tk_error_row tk_oracle_errors[tk_oracle_error_count] = {
    {1048577, k_duplicate_text},                  // ORA-00001
    {1049593, "Invalid user name or password."},  // ORA-01017
    {1050234, "Not enough free contiguous space in the tablespace to create the object.\n"
              "Use ALTER TABLESPACE ADD DATAFILE to add additional space to the tablespace."},  // ORA-01658
    {1050526, "User does not have the necessary privileges to create tables."},                 // ORA-01950
    {1050874, "There are orphaned records that prevent from creating foreign key. For more\n"
              "information see Troubleshooting article of the product documentation."},           // ORA-02298
    {1060730, "Oracle data source does not exist. Check to verify the correct name was given."},  // ORA-12154
    {1061076, "ORA-12500: the listener could not start a server process. For more information\n"
              "see Troubleshooting article of the product documentation."},  // ORA-12500
    {1061081, "ORA-12505: the program could not resolve service name. For more information\n"
              "see Troubleshooting article of the product documentation."},                          // ORA-12505
    {1061090, "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},  // ORA-12514
    {1061117, "ORA-12541: no listener. For more information see Troubleshooting\n"
              "article of the product documentation."},  // ORA-12541
    {1061121, "ORA-12545: connect failed because target host or object does not exist.\n"
              "For more information see Troubleshooting article of the product documentation."},  // ORA-12545
    {1076576, "Wrong password was entered the maximum number of times or\n"
              "the DBA has locked the account."},  // ORA-28000
};

const tk_error_row tk_access_errors[tk_access_error_count] = {
    {68591, "Not a valid MS Access database name. Use the following characters\n"
            "to compose new database name: alphanumerics (A-Z, a-z, 0-9),\n"
            "underscore characters (_) and spaces."},  // DAO 3055
    {68558, k_duplicate_text},                         // DAO 3022
    {68565, "Not a valid account name or password has been specified\n"
            "in MS Access user-level security settings"},  // DAO 3029
    {68648, "Cannot extract relationships information. See 'Troubleshooting'\n"
            "article of the product documentation for solution."},  // DAO 3112
    {68709, k_workgroup_text},                                      // DAO 3173
    {68894, k_workgroup_text},                                      // DAO 3358
    {68957, k_conversion_text.data()},                              // DAO 3421
};
