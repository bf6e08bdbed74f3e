// The database character set: VARCHAR2, CHAR, CLOB and plain literals keep
// only what it holds (Oracle converts the rest to '?'), the national types
// keep everything, and N'...' literals do so only when the client sends
// them as Unicode (ORA_NCHAR_LITERAL_REPLACE=TRUE).
#include "emu_test_support.h"

#include <stdexcept>

namespace {

const std::string greek = "\xCE\xA9";             // Ω: not in Windows-1252
const std::string accent = "\xC3\xA9";            // é: in it
const std::string euro = "\xE2\x82\xAC";          // €: at 0x80 in Windows-1252
const std::string emoji = "\xF0\x9F\x98\x80";     // outside the BMP

}  // namespace

class EmuCharset : public store_fixture {
protected:
    void use_charset(const std::string& cs) {
        s.reset();
        emu::set_setting("XE", "db_charset", cs);
        s = emu::session::logon("//localhost:1521/XE", "scott", "tiger");
        run("CREATE TABLE T (V VARCHAR2(20), N NVARCHAR2(20), C CLOB, NC NCLOB)");
    }
    emu::bind_value text(const std::string& name, const std::string& v) {
        return {name, emu::value::make(emu::col_type::varchar2, v), false};
    }
};

TEST_F(EmuCharset, DictionaryShowsTheCharacterSets) {
    EXPECT_EQ(rows("SELECT PARAMETER, VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER LIKE '%CHARACTERSET' "
                   "ORDER BY 1"),
              (Rows{{"NLS_CHARACTERSET", "AL32UTF8"}, {"NLS_NCHAR_CHARACTERSET", "AL16UTF16"}}));
    use_charset("WE8MSWIN1252");
    EXPECT_EQ(one("SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_CHARACTERSET'"), "WE8MSWIN1252");
    EXPECT_THROW(emu::set_setting("XE", "db_charset", "KLINGON8"), std::invalid_argument);
}

TEST_F(EmuCharset, ValuesKeepWhatTheirTypeHolds) {
    const std::string all = greek + accent + euro + emoji;
    struct {
        const char* charset;
        std::string database;   // what VARCHAR2 and CLOB keep
    } cases[] = {
        {"AL32UTF8", all},
        {"WE8MSWIN1252", "?" + accent + euro + "?"},
        {"WE8ISO8859P1", "?" + accent + "??"},
        {"US7ASCII", "????"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        use_charset(c.charset);
        // Binds: each column type decides.
        run("INSERT INTO T (V, N, C, NC) VALUES (:1, :1, :1, :1)", {text(":1", all)});
        EXPECT_EQ(rows("SELECT V, N, C, NC FROM T"), (Rows{{c.database, all, c.database, all}}));
        run("DELETE FROM T");
        // Plain literals pass through the database character set, even on
        // their way into a national column.
        run("INSERT INTO T (V, N, C, NC) VALUES ('" + all + "', '" + all + "', '" + all + "', '" + all + "')");
        EXPECT_EQ(rows("SELECT V, N, C, NC FROM T"), (Rows{{c.database, c.database, c.database, c.database}}));
        run("DELETE FROM T");
        // N'...' literals too, unless the client sends them as Unicode.
        run("INSERT INTO T (N, NC) VALUES (N'" + all + "', N'" + all + "')");
        s->set_nchar_literal_replace(true);
        run("INSERT INTO T (N, NC) VALUES (N'" + all + "', N'" + all + "')");
        EXPECT_EQ(rows("SELECT N, NC FROM T ORDER BY ROWID"), (Rows{{c.database, c.database}, {all, all}}));
        run("DROP TABLE T");
    }
}

// A single-byte character set counts one byte per character: VARCHAR2(3)
// holds three accented letters there, not under AL32UTF8.
TEST_F(EmuCharset, ByteLengthsFollowTheCharacterSet) {
    const std::string three = accent + accent + accent;
    for (const char* cs : {"AL32UTF8", "WE8MSWIN1252"}) {
        SCOPED_TRACE(cs);
        use_charset(cs);
        run("CREATE TABLE B (X VARCHAR2(3), Y VARCHAR2(2 CHAR))");
        EXPECT_EQ(error_of("INSERT INTO B (X) VALUES ('" + three + "')"), std::string(cs) == "AL32UTF8" ? 12899 : 0);
        EXPECT_EQ(one("SELECT DATA_LENGTH FROM USER_TAB_COLUMNS WHERE TABLE_NAME = 'B' AND COLUMN_NAME = 'Y'"),
                  std::string(cs) == "AL32UTF8" ? "8" : "2");
        run("DROP TABLE B");
        run("DROP TABLE T");
    }
}

// Written through a locator, a CLOB converts each UTF-16 code unit it
// cannot hold, so lengths and offsets stay those of the text written.
TEST_F(EmuCharset, ClobWritesConvertEachCodeUnit) {
    use_charset("WE8MSWIN1252");
    run("INSERT INTO T (C, NC) VALUES (EMPTY_CLOB(), EMPTY_CLOB())");
    std::vector<emu::value> row = first_row("SELECT C, NC FROM T FOR UPDATE");
    const std::u16string written = u"\u03A9\u00E9\U0001F600x";
    s->clob_write(*row[0].lob, 0, written);
    s->clob_write(*row[1].lob, 0, written);
    EXPECT_EQ(s->clob_read(*row[0].lob, 0, 10), u"?\u00E9??x");
    EXPECT_EQ(s->lob_length(*row[0].lob), written.size());
    EXPECT_EQ(s->clob_read(*row[1].lob, 0, 10), written);
}
