#include "wizard_paths.h"

#include <QDir>
#include <QFileInfo>

QString wizard_expand_path(const QString& typed)
{
    QString path = typed.trimmed();
    if (path.isEmpty()) return path;
    if (path == "~")
        path = QDir::homePath();
    else if (path.startsWith("~/"))
        path = QDir::homePath() + path.mid(1);
    if (QDir::isRelativePath(path)) path = QDir::current().absoluteFilePath(path);
    return QDir::cleanPath(path);
}

QString wizard_dialog_start(const QString& current)
{
    QString path = wizard_expand_path(current);
    if (path.isEmpty()) return QDir::homePath();
    QFileInfo info(path);
    if (info.isDir()) return path;
    if (!info.absoluteDir().exists()) return QDir::homePath();
    return path;
}
