// The sheet options lumo-cli batch and lumo-cli month share: --sheet, the row options, --map, and
// the period and the payroll sheet's columns of the commands that work on the payroll ledger.
#pragma once

#include <QString>
#include <QStringList>

class ArgParser;
struct ImportSetting;
struct ImportSettingsGroup;
class Workbook;
class Sheet;

// A row option (--title-row, --first-row, --last-row) from `min` to the largest .xlsx row;
// `*out` unchanged when absent.
bool readRowOption(const ArgParser &p, const QString &name, int min, int *out, QString *error);
// Takes every "--map X" and "--map=X" out of the arguments; false for a --map without a value.
bool takeMaps(QStringList *args, QStringList *maps, QString *error);
// The worksheet --sheet names: by name first, then by its number from 1; null when there is none.
const Sheet *chooseSheet(const Workbook &book, const QString &which);
// The import setting `name` saved for page `mode` in importset.ini, else (when fallbackMode ≥ 0)
// for page `fallbackMode`, whose settings were saved before page `mode` had its own; the file's
// warnings are printed and the result points into *settings. Null, with *error naming the settings
// there are, when neither has that name.
const ImportSetting *findSavedSetting(int mode, const QString &name, ImportSettingsGroup *settings,
                                      QString *error, int fallbackMode = -1);

// A period "YYYY-MM" of 2019 or later; false with a message for anything else.
bool readPeriod(const QString &text, int *year, int *month, QString *error);
// The import formula of each payroll field (PfFieldCount texts): a saved setting's columns by their
// titles (a 三险一金 column as 基本养老保险费), or without one the worksheet's titles in `titleRow`.
QStringList payrollFormulas(const Workbook &book, const Sheet &sheet, int titleRow,
                            const ImportSetting *setting);
