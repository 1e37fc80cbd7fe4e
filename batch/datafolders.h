// Where the program's own read-only files are: the help documents ("help") and the sample salary
// sheets ("examples"). One search order for every caller:
//   1. beside the executable (the build tree copies them there),
//   2. <prefix>/share/lumo found from the executable's folder (an installed or moved install tree),
//   3. <prefix>/share/lumo of the prefix the program was built for,
//   4. the working folder, as a last resort for a program started where its files were unpacked.
#pragma once

#include <QString>
#include <QStringList>

// The folders searched for the data folder `folder` ("help" or "examples"), best first, without
// duplicates. Needs the application object for the first two.
QStringList dataFolderCandidates(const QString &folder);

// The first existing folder of dataFolderCandidates(folder), or empty when none exists.
QString dataFolder(const QString &folder);

// The file `name` in the first candidate folder that has it, or empty when none has.
QString dataFilePath(const QString &folder, const QString &name);
