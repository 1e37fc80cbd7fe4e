#include "batch/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString settingsFolder()
{
    // Spelled out rather than AppConfigLocation itself, which follows each executable's name.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/lumo");
}

QString settingsFilePath(const QString &name)
{
    const QString path = settingsFolder() + u'/' + name;
    if (QFileInfo::exists(path))
        return path;
    const QFileInfo old(QDir::current().filePath(name));
    // A copy that fails leaves the path without a file: the settings read as never saved.
    if (old.isFile() && QDir().mkpath(settingsFolder()))
        QFile::copy(old.filePath(), path);
    return path;
}
