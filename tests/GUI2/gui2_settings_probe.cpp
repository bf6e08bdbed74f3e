// A fresh process for the settings tests: prints every stored setting as
// name=value lines, as the wizard reads them at start.
#include <cstdio>

#include <QCoreApplication>

#include "wizard_settings_store.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    wizard_settings s;
    s.dest = u"(unchanged)";
    bool all = wizard_settings_store::serialize(s, false);
    auto text = [](const std::u16string& v) { return QString::fromStdU16String(v).toUtf8(); };
    std::printf("all=%d\n", all ? 1 : 0);
    std::printf("acc_pswd=%s\ndest=%s\nmode=%d\n", text(s.acc_pswd).constData(), text(s.dest).constData(), s.mode);
    std::printf("oracleh=%s\noraclep=%s\noracleu=%s\nport=%s\n", text(s.oracleh).constData(),
                text(s.oraclep).constData(), text(s.oracleu).constData(), text(s.port).constData());
    std::printf("skip_idx=%d\nsrc=%s\nsysdb path=%s\ntab_def=%d\n", s.skip_idx, text(s.src).constData(),
                text(s.sysdb_path).constData(), s.tab_def);
    std::printf("ugl_user=%s\nugl_pswd=%s\nuppercase=%d\nuse_ugl=%d\n", text(s.ugl_user).constData(),
                text(s.ugl_pswd).constData(), s.uppercase, s.use_ugl);
    std::printf("jet3_codepage=%d\n", s.jet3_codepage);
    return 0;
}
