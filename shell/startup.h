// Start-up helpers kept out of main so they can be tested: the Chinese translation of the
// toolkit's own texts, the application font, the --page option and where the help documents are.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

// Makes Chinese (China) the default locale and loads the toolkit's own translation: "qtbase_zh_CN"
// from its installed translations, else "qt_zh_CN" from the working directory or from there; installs
// the translator either way. True when a translation was loaded.
bool installChineseTranslation(QCoreApplication *app, QTranslator *translator);

// The file dialog writes its dates in the system locale's time format, whatever the default locale
// is: unless the environment already gives a Chinese time locale, LC_TIME becomes zh_CN.UTF-8. An
// LC_ALL that would override it is spread over the other categories instead, so they keep what it
// gave. Call before the application object reads the environment.
void preferChineseDates();

// "微软雅黑" 9 pt; where that family is not installed it stands for an installed CJK font.
QFont applicationFont();

// The function given by "--page N" or "--page=N" (0–6). No option gives 0; a bad value gives 0 and
// sets *error to a message for stderr.
int pageFromArguments(const QStringList &arguments, QString *error);

// The window size given by "--size WxH" (e.g. "900x600"); an invalid size when the option is absent
// or malformed. The window's minimum size still applies.
QSize sizeFromArguments(const QStringList &arguments);

// The help document "help/<name>" where the program's data folders are (see batch/datafolders.h);
// empty when none has it.
QString helpDocumentPath(const QString &name);

// For "--data-folders", which checks an install: one "file: path" line per help document and sample
// sheet ("file: " alone when it is not found); *complete tells whether every one was found.
QString dataFoldersReport(bool *complete);
