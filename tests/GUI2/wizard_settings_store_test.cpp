// The stored settings: written as the wizard ends, read by a fresh process
// as it starts, private to the owner.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <gtest/gtest.h>

#include "gui2_test_support.h"
#include "wizard_paths.h"
#include "wizard_settings_store.h"

namespace {

std::map<QString, QString> probe()
{
    QProcess p;
    p.start(GUI2_SETTINGS_PROBE, {});
    EXPECT_TRUE(p.waitForFinished(20000));
    std::map<QString, QString> values;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        int eq = line.indexOf('=');
        if (eq > 0) values[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
    }
    return values;
}

void remove_store()
{
    QFile::remove(wizard_settings_store::file_name());
    QSettings("Halvorix", "Tolvane").sync();
}

}  // namespace

TEST(wizard_settings_store, fresh_process_reads_what_was_written_and_file_is_private)
{
    wizard_settings s;
    s.acc_pswd = u"db pw";
    s.dest = u"XEPDB1";
    s.mode = 4;
    s.oracleh = u"ora.example.com";
    s.oraclep = u"tiger";
    s.oracleu = u"scott";
    s.port = u"1522";
    s.skip_idx = true;
    s.src = u"/data/Nordvind æøå.mdb";
    s.sysdb_path = u"/data/system.mdw";
    s.tab_def = true;
    s.ugl_user = u"admin";
    s.ugl_pswd = u" spaced ";
    s.uppercase = false;
    s.use_ugl = true;
    s.jet3_codepage = 949;
    ASSERT_TRUE(wizard_settings_store::serialize(s, true));

    // clang-format off
    const std::map<QString, QString> want = {
        {"all", "1"}, {"acc_pswd", "db pw"}, {"dest", "XEPDB1"}, {"mode", "4"}, {"oracleh", "ora.example.com"},
        {"oraclep", "tiger"}, {"oracleu", "scott"}, {"port", "1522"}, {"skip_idx", "1"},
        {"src", "/data/Nordvind æøå.mdb"}, {"sysdb path", "/data/system.mdw"}, {"tab_def", "1"},
        {"ugl_user", "admin"}, {"ugl_pswd", " spaced "}, {"uppercase", "0"}, {"use_ugl", "1"},
        {"jet3_codepage", "949"}};
    // clang-format on
    EXPECT_EQ(probe(), want);

    QFileInfo file(wizard_settings_store::file_name());
    EXPECT_EQ(file_mode(file.filePath()), 0600);
    // Flags are stored as numbers, never as Qt's "true"/"false".
    QSettings raw("Halvorix", "Tolvane");
    EXPECT_EQ(raw.value("skip_idx").toString(), "1");
    EXPECT_EQ(raw.value("uppercase").toString(), "0");

    // A rewrite keeps the mode even when the file had been opened up.
    ::chmod(QFile::encodeName(file.filePath()).constData(), 0644);
    s.mode = 2;
    ASSERT_TRUE(wizard_settings_store::serialize(s, true));
    EXPECT_EQ(file_mode(file.filePath()), 0600);
    EXPECT_EQ(probe()["mode"], "2");
}

TEST(wizard_settings_store, missing_values_take_defaults_and_report_false)
{
    remove_store();
    std::map<QString, QString> got = probe();
    EXPECT_EQ(got["all"], "0");
    EXPECT_EQ(got["mode"], "1");
    EXPECT_EQ(got["port"], "1521");
    EXPECT_EQ(got["uppercase"], "1");
    EXPECT_EQ(got["skip_idx"], "0");
    EXPECT_EQ(got["tab_def"], "0");
    EXPECT_EQ(got["use_ugl"], "0");
    EXPECT_EQ(got["dest"], "(unchanged)");  // no default: left as it was
}

TEST(wizard_settings_store, flags_read_from_numbers_and_from_qt_bools)
{
    const std::pair<QVariant, bool> rows[] = {{0, false},   {1, true},      {7, true},
                                              {-1, true},   {"true", true}, {"false", false},
                                              {true, true}, {false, false}, {"junk", false}};
    for (const auto& [stored, want] : rows) {
        remove_store();
        {
            QSettings raw("Halvorix", "Tolvane");
            raw.setValue("use_ugl", stored);
        }
        wizard_settings s;
        wizard_settings_store::serialize(s, false);
        EXPECT_EQ(s.use_ugl, want) << stored.toString().toStdString();
    }
}

TEST(wizard_paths, expand_tilde_relative_and_long_paths)
{
    QString home = QDir::homePath();
    QString cwd = QDir::currentPath();
    QString longer(400, 'a');
    const std::pair<QString, QString> rows[] = {
        {"", ""},
        {"  ", ""},
        {"~", home},
        {"~/db/x.mdb", home + "/db/x.mdb"},
        {" ~/x.mdb ", home + "/x.mdb"},
        {"x.mdb", cwd + "/x.mdb"},
        {"/a/../b/x.mdb", "/b/x.mdb"},
        {"/data/" + longer + ".mdb", "/data/" + longer + ".mdb"},  // no 260-character limit
        {"~other/x.mdb", cwd + "/~other/x.mdb"},
    };
    for (const auto& [typed, want] : rows) EXPECT_EQ(wizard_expand_path(typed), want) << typed.toStdString();
}
