// The sheet options lumo-cli batch and lumo-cli month share: --sheet, the row options and --map.
#pragma once

#include <QString>
#include <QStringList>

class ArgParser;
class Workbook;
class Sheet;

// A row option (--title-row, --first-row, --last-row) from `min` to the largest .xlsx row;
// `*out` unchanged when absent.
bool readRowOption(const ArgParser &p, const QString &name, int min, int *out, QString *error);
// Takes every "--map X" and "--map=X" out of the arguments; false for a --map without a value.
bool takeMaps(QStringList *args, QStringList *maps, QString *error);
// The worksheet --sheet names: by name first, then by its number from 1; null when there is none.
const Sheet *chooseSheet(const Workbook &book, const QString &which);
