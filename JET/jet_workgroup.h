// Workgroup information files (.mdw): recognising them and checking an
// account's password.
//
// A workgroup file is a Jet database whose header names it "Jet System DB".
// Its MSysAccounts table holds users and groups; a user's password is kept
// enciphered with a fixed key (see jet_workgroup_cipher), so it can be
// compared. The component does not enforce the permissions a workgroup
// grants inside a database.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct jet_account {
    std::u16string name;
    std::u16string password;  // deciphered
    bool is_group = false;
};

class jet_workgroup {
public:
    // Reads the accounts of a workgroup file. Raises jet_error 3028 when the
    // file is missing or unreadable, 3358 when it is not a workgroup file,
    // 3173 when its accounts table cannot be read.
    explicit jet_workgroup(const std::u16string& path);

    // True when the file's header names a workgroup file.
    static bool is_workgroup_file(const std::u16string& path);

    // Raises jet_error 3029 unless `user` (without regard to case) is a user
    // account whose password is `password` (with regard to case).
    void logon(std::u16string_view user, std::u16string_view password) const;

    const std::vector<jet_account>& accounts() const { return accounts_; }

    // The built-in workgroup image of the temporary system database: one
    // page holding a Jet4 workgroup header and nothing else. A workgroup
    // file that is only its header holds the default account Admin with an
    // empty password, as a freshly made workgroup file does.
    static std::vector<uint8_t> builtin_image();

private:
    std::vector<jet_account> accounts_;
};
