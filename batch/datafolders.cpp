#include "batch/datafolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// The build sets both; these fallbacks only keep other builds of the file compiling.
#ifndef LUMO_DATA_FROM_BIN
#define LUMO_DATA_FROM_BIN "../share/lumo"
#endif
#ifndef LUMO_DATA_DIR
#define LUMO_DATA_DIR "/usr/local/share/lumo"
#endif

QStringList dataFolderCandidates(const QString &folder)
{
    QStringList found;
    const auto add = [&found, &folder](const QString &base) {
        const QString path = QDir::cleanPath(base + u'/' + folder);
        if (!found.contains(path))
            found.append(path);
    };
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        add(appDir);
        add(appDir + QStringLiteral("/" LUMO_DATA_FROM_BIN));
    }
    add(QStringLiteral(LUMO_DATA_DIR));
    add(QDir::currentPath());
    return found;
}

QString dataFolder(const QString &folder)
{
    for (const QString &path : dataFolderCandidates(folder)) {
        if (QFileInfo(path).isDir())
            return path;
    }
    return QString();
}

QString dataFilePath(const QString &folder, const QString &name)
{
    for (const QString &path : dataFolderCandidates(folder)) {
        const QString file = path + u'/' + name;
        if (QFileInfo(file).isFile())
            return file;
    }
    return QString();
}
