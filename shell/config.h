// The tiny settings file of the shell: user.ini in the settings folder (batch/settingsfiles.h),
// group "config", holding the chosen skin and tax rules.
#pragma once

#include <QString>

inline const QString kDefaultSkin = QStringLiteral(":/skin/19_big");
inline const QString kDefaultAboutSkin = QStringLiteral(":/skin/17_big");

// Writes config/key = value into the INI file. False, writing nothing, when the file name or the
// key is empty.
bool writeConfigValue(const QString &fileName, const QString &key, const QString &value);

// Sets value to config/key of the INI file, or to the empty text when absent. False (value empty)
// when the file name or the key is empty; true otherwise, even when the key is absent.
bool readConfigValue(const QString &fileName, const QString &key, QString &value);

// user.ini in the settings folder.
QString userIniPath();

// The skin stored in user.ini, or fallback when none is stored.
QString configuredSkin(const QString &fallback);

// The rules chosen in the "计税规定" menu, stored in user.ini as config/rules; the rules in force
// (TaxRules::Current) when nothing or something unknown is stored.
enum class TaxRules;
TaxRules configuredRules();
bool storeRules(TaxRules rules);
