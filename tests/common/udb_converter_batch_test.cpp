// The batch size setting: its text form, and the profile key that carries
// it (read, refused, written only when chosen).
#include <gtest/gtest.h>

#include "tk_exception.h"
#include "udb_converter.h"
#include "udb_profile.h"

namespace {

// The settings part alone: nothing here runs a conversion.
class settings_only : public udb_converter {
public:
    bool test_query(const std::u16string&) override { return false; }
    void operator()() override {}
    bool is_done() override { return true; }
};

TEST(udb_converter_batch, text_forms)
{
    struct {
        const char16_t* text;
        bool ok;
        uint32_t rows;
    } cases[] = {
        {u"1", true, 1},       {u"1000", true, 1000}, {u" 250 ", true, 250}, {u"100000", true, 100000},
        {u"100001", false, 0}, {u"0", false, 0},      {u"", false, 0},       {u"-5", false, 0},
        {u"+5", false, 0},     {u"5x", false, 0},     {u"1e3", false, 0},    {u"99999999999", false, 0},
    };
    for (const auto& c : cases) {
        uint32_t rows = 0;
        EXPECT_EQ(udb_converter::parse_batch_rows(c.text, rows), c.ok);
        if (c.ok) {
            EXPECT_EQ(rows, c.rows);
        }
    }
}

TEST(udb_converter_batch, profile_key_read_and_written_when_chosen)
{
    settings_only conv;
    udb_profile profile;
    EXPECT_TRUE(conv.store_profile(profile));
    // The default leaves profiles as they were.
    EXPECT_TRUE(profile.get_value(udb_profile::k_generic, u"batch size").empty());

    profile.set_value(udb_profile::k_generic, u"batch size", u"50");
    EXPECT_TRUE(conv.load_profile(profile));
    EXPECT_EQ(conv.batch_rows, 50u);

    udb_profile written;
    conv.store_profile(written);
    EXPECT_EQ(written.get_value(udb_profile::k_generic, u"batch size"), u"50");

    udb_profile bad;
    bad.set_value(udb_profile::k_generic, u"batch size", u"many");
    EXPECT_THROW(conv.load_profile(bad), tk_exception);
    EXPECT_EQ(conv.batch_rows, 50u);
}

}  // namespace
