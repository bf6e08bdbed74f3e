// The engine's Jet3 code page as the converter sets it: before or after the
// generation is chosen, reaching every database opened afterwards, and
// refused with a DAO error naming a code page the system cannot convert.
#include <gtest/gtest.h>

#include "dao_test_util.h"
#include "udb_field.h"
#include "udb_record.h"
#include "udb_recordset.h"

namespace {

std::u16string first_text(dao_engine& engine)
{
    std::unique_ptr<udb_database> db = engine.open_db(dao_test_path("charsetGBK.mdb"), 1, u"");
    std::unique_ptr<udb_recordset> rs = db->get_table(u"table1", 1);
    EXPECT_FALSE(rs->is_eof());
    return rs->get_item()->at(1).to_wstring();
}

TEST(dao_jet3_codepage_test, set_before_and_after_the_generation)
{
    {
        dao_engine engine(true, false);
        EXPECT_EQ(engine.get_jet3_codepage(), 0);
        engine.set_jet3_codepage(936);
        engine.choose_generation();
        EXPECT_EQ(engine.get_jet3_codepage(), 936);
        EXPECT_EQ(first_text(engine), u"GBK编码");
    }
    auto engine = dao_test_engine();
    EXPECT_EQ(first_text(*engine), u"GBK\u00B1\u00E0\u00C2\u00EB");
    engine->set_jet3_codepage(949);
    EXPECT_EQ(first_text(*engine), u"GBK긍쯤");
    engine->set_jet3_codepage(0);
    EXPECT_EQ(first_text(*engine), u"GBK\u00B1\u00E0\u00C2\u00EB");
}

TEST(dao_jet3_codepage_test, unknown_code_page_is_a_dao_error)
{
    for (bool chosen : {false, true}) {
        dao_engine engine(true, false);
        if (chosen) engine.choose_generation();
        engine.set_jet3_codepage(936);
        const dao_test_error e = dao_error_of([&] { engine.set_jet3_codepage(4242); });
        EXPECT_EQ(e.code, 0x10000u + 3001u);
        EXPECT_NE(e.message.find("4242"), std::string::npos) << e.message;
        EXPECT_EQ(engine.get_jet3_codepage(), 936) << chosen;
    }
}

}  // namespace
