#include "ora_exception.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A fake client whose OCIErrorGet hands out one prepared record, so the
// status check can be tested without any library.
struct fake_error {
    static inline int32_t number = 0;
    static inline std::u16string text;
    static inline bool has_record = true;
    static inline ub4 last_bufsiz = 0;

    static sword get(void*, ub4 recordno, OraText*, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
    {
        last_bufsiz = bufsiz;
        if (!has_record || recordno != 1 || type != OCI_HTYPE_ERROR) return OCI_NO_DATA;
        *errcodep = number;
        size_t units = std::min<size_t>(text.size(), bufsiz / 2 - 1);
        std::memcpy(bufp, text.data(), units * 2);
        reinterpret_cast<char16_t*>(bufp)[units] = 0;
        return OCI_SUCCESS;
    }
};

ora_oci_api fake_api()
{
    ora_oci_api api;
    api.OCIErrorGet = &fake_error::get;
    return api;
}

OCIError* dummy_handle()
{
    static int storage;
    return reinterpret_cast<OCIError*>(&storage);
}

}  // namespace

TEST(ora_exception, carries_oracle_number_with_bit_20_and_level_0)
{
    ora_exception e(942, u"ORA-00942: table or view does not exist\n");
    EXPECT_EQ(e.code, 0x100000u + 942u);
    EXPECT_EQ(e.oracle_error(), 942);
    EXPECT_EQ(e.level, 0);
    // The client's trailing line feed is not part of the message.
    EXPECT_EQ(e.message, "ORA-00942: table or view does not exist");
    EXPECT_STREQ(e.what(), "ORA-00942: table or view does not exist");
}

TEST(ora_check, passes_every_status_but_error_and_invalid_handle)
{
    ora_oci_api api = fake_api();
    for (sword status :
         {OCI_SUCCESS, OCI_SUCCESS_WITH_INFO, OCI_NO_DATA, OCI_NEED_DATA, OCI_STILL_EXECUTING, OCI_CONTINUE})
        EXPECT_NO_THROW(ora_check(api, dummy_handle(), status)) << status;
}

// The first record's number and text, the client's line feed dropped and
// text outside Latin-1 kept (as UTF-8).
TEST(ora_check, error_raises_the_first_record)
{
    ora_oci_api api = fake_api();
    struct {
        int32_t number;
        std::u16string text;
        const char* message;
    } cases[] = {
        {1017, u"ORA-01017: invalid username/password; logon denied\n",
         "ORA-01017: invalid username/password; logon denied"},
        {904, u"ORA-00904: \"\u0394\u03B5\u03BB\u03C4\u03B1\": invalid identifier",
         "ORA-00904: \"\u0394\u03B5\u03BB\u03C4\u03B1\": invalid identifier"},
    };
    for (const auto& c : cases) {
        fake_error::has_record = true;
        fake_error::number = c.number;
        fake_error::text = c.text;
        try {
            ora_check(api, dummy_handle(), OCI_ERROR);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const ora_exception& e) {
            EXPECT_EQ(e.code, 0x100000u | static_cast<uint32_t>(c.number));
            EXPECT_EQ(e.message, c.message);
        }
        // The buffer offered is given in bytes and holds a full-size message.
        EXPECT_GE(fake_error::last_bufsiz, 2u * OCI_ERROR_MAXMSG_SIZE);
    }
}

TEST(ora_check, error_without_record_is_still_an_error)
{
    ora_oci_api api = fake_api();
    fake_error::has_record = false;
    EXPECT_THROW(ora_check(api, dummy_handle(), OCI_ERROR), ora_exception);
    fake_error::has_record = true;
}

TEST(ora_check, invalid_handle_is_an_internal_fault)
{
    ora_oci_api api = fake_api();
    EXPECT_THROW(ora_check(api, dummy_handle(), OCI_INVALID_HANDLE), tk_mail_assertion);
}
