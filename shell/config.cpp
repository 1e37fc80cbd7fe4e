#include "shell/config.h"

#include "batch/settingsfiles.h"
#include "widgets/taxrules.h"

#include <QSettings>

bool writeConfigValue(const QString &fileName, const QString &key, const QString &value)
{
    if (fileName.isEmpty() || key.isEmpty())
        return false;
    QSettings settings(fileName, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("config"));
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool readConfigValue(const QString &fileName, const QString &key, QString &value)
{
    value.clear();
    if (fileName.isEmpty() || key.isEmpty())
        return false;
    const QSettings settings(fileName, QSettings::IniFormat);
    value = settings.value(QStringLiteral("config/") + key).toString();
    return true;
}

QString userIniPath()
{
    return settingsFilePath(QStringLiteral("user.ini"));
}

QString configuredSkin(const QString &fallback)
{
    QString skin;
    if (!readConfigValue(userIniPath(), QStringLiteral("skin"), skin) || skin.isEmpty())
        return fallback;
    return skin;
}

TaxRules configuredRules()
{
    QString key;
    readConfigValue(userIniPath(), QStringLiteral("rules"), key);
    return taxRulesFromKey(key, TaxRules::Current);
}

bool storeRules(TaxRules rules)
{
    return writeConfigValue(userIniPath(), QStringLiteral("rules"), taxRulesKey(rules));
}
