#include "wizard_settings_store.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "tk_logger.h"

namespace {

QSettings& store_object()
{
    // One object for the process: QSettings caches the file and writes it
    // back on sync.
    static QSettings settings("Halvorix", "Tolvane");
    return settings;
}

bool read_text(QSettings& s, const char* name, std::u16string& value)
{
    QVariant v = s.value(name);
    if (!v.isValid()) return false;
    value = v.toString().toStdU16String();
    return true;
}

bool read_flag(QSettings& s, const char* name, bool& flag)
{
    QVariant v = s.value(name);
    if (!v.isValid()) return false;
    // Written by us as 0/1; a value written as a Qt bool comes back as the
    // text "true" or "false".
    QString text = v.toString().trimmed();
    if (text.compare("true", Qt::CaseInsensitive) == 0) {
        flag = true;
    } else {
        bool ok = false;
        long long n = text.toLongLong(&ok);
        flag = ok && n != 0;
    }
    return true;
}

bool read_number(QSettings& s, const char* name, int& number)
{
    QVariant v = s.value(name);
    if (!v.isValid()) return false;
    bool ok = false;
    int n = v.toString().trimmed().toInt(&ok);
    if (ok) number = n;
    return ok;
}

void write_text(QSettings& s, const char* name, const std::u16string& value)
{
    s.setValue(name, QString::fromStdU16String(value));
}

void write_flag(QSettings& s, const char* name, bool flag)
{
    s.setValue(name, flag ? 1 : 0);
}

bool read_all(QSettings& s, wizard_settings& w)
{
    bool all = true;
    all &= read_text(s, "acc_pswd", w.acc_pswd);
    all &= read_text(s, "dest", w.dest);
    w.mode = 1;
    all &= read_number(s, "mode", w.mode);
    all &= read_text(s, "oracleh", w.oracleh);
    all &= read_text(s, "oraclep", w.oraclep);
    all &= read_text(s, "oracleu", w.oracleu);
    w.port = u"1521";
    all &= read_text(s, "port", w.port);
    w.skip_idx = false;
    all &= read_flag(s, "skip_idx", w.skip_idx);
    all &= read_text(s, "src", w.src);
    all &= read_text(s, "sysdb path", w.sysdb_path);
    w.tab_def = false;
    all &= read_flag(s, "tab_def", w.tab_def);
    all &= read_text(s, "ugl_user", w.ugl_user);
    all &= read_text(s, "ugl_pswd", w.ugl_pswd);
    w.uppercase = true;
    all &= read_flag(s, "uppercase", w.uppercase);
    w.use_ugl = false;
    all &= read_flag(s, "use_ugl", w.use_ugl);
    // Newer than the values above: a store written before it lacks it.
    w.jet3_codepage = 0;
    read_number(s, "jet3_codepage", w.jet3_codepage);
    return all;
}

void write_all(QSettings& s, const wizard_settings& w)
{
    write_text(s, "acc_pswd", w.acc_pswd);
    write_text(s, "dest", w.dest);
    s.setValue("mode", w.mode);
    write_text(s, "oracleh", w.oracleh);
    write_text(s, "oraclep", w.oraclep);
    write_text(s, "oracleu", w.oracleu);
    write_text(s, "port", w.port);
    write_flag(s, "skip_idx", w.skip_idx);
    write_text(s, "src", w.src);
    write_text(s, "sysdb path", w.sysdb_path);
    write_flag(s, "tab_def", w.tab_def);
    write_text(s, "ugl_user", w.ugl_user);
    write_text(s, "ugl_pswd", w.ugl_pswd);
    write_flag(s, "uppercase", w.uppercase);
    write_flag(s, "use_ugl", w.use_ugl);
    s.setValue("jet3_codepage", w.jet3_codepage);
}

}  // namespace

bool wizard_settings_store::serialize(wizard_settings& settings, bool store)
{
    tk_trace(1, "serialize( %d )", store ? 1 : 0);
    QSettings& s = store_object();
    if (!store) {
        s.sync();
        return read_all(s, settings);
    }
    QString path = s.fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return wizard_write_private(path, [&] {
        write_all(s, settings);
        s.sync();
        return s.status() == QSettings::NoError;
    });
}

QString wizard_settings_store::file_name()
{
    return store_object().fileName();
}

bool wizard_restrict_to_owner(const QString& path)
{
    QByteArray local = QFile::encodeName(path);
    return ::chmod(local.constData(), S_IRUSR | S_IWUSR) == 0;
}

bool wizard_write_private(const QString& path, const std::function<bool()>& write)
{
    // The mask covers the temporary file a rewrite goes through; the chmod
    // covers a file that existed with a wider mode before.
    mode_t old_mask = ::umask(S_IRWXG | S_IRWXO);
    bool ok = false;
    try {
        ok = write();
    } catch (...) {
        ::umask(old_mask);
        throw;
    }
    ::umask(old_mask);
    if (QFileInfo::exists(path)) ok = wizard_restrict_to_owner(path) && ok;
    return ok;
}
