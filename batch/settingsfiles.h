// Where the program keeps its settings files (user.ini for the skin, importset.ini and
// exportset.ini for the import and export wizards and lumo-cli batch): the desktop's configuration
// folder, QStandardPaths' AppConfigLocation of the program lumo (on Linux ~/.config/lumo, or
// $XDG_CONFIG_HOME/lumo), the same for the window and lumo-cli whatever their executables are
// called. The calculation history is elsewhere (~/lumo/log/, history/historyrecord.h).
#pragma once

#include <QString>

// The folder of the settings files; it need not exist yet (saving a setting creates it).
QString settingsFolder();

// The settings file `name` in settingsFolder(). When that file does not exist yet and the working
// folder holds one of that name (where earlier versions kept it), it is copied over first, so a
// user's saved settings survive the move; the original stays where it was.
QString settingsFilePath(const QString &name);
