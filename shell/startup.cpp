#include "shell/startup.h"

#include "batch/datafolders.h"
#include "shell/titlewidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installChineseTranslation(QCoreApplication *app, QTranslator *translator)
{
    // The toolkit's own dialogs (the file dialog's dates, spin boxes) follow the default locale,
    // not the desktop's language.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString installed = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const bool loaded = translator->load(QStringLiteral("qtbase_zh_CN"), installed) ||
                        translator->load(QStringLiteral("qt_zh_CN")) ||
                        translator->load(QStringLiteral("qt_zh_CN"), installed);
    app->installTranslator(translator);
    return loaded;
}

void preferChineseDates()
{
    const QByteArray all = qgetenv("LC_ALL");
    QByteArray time = all.isEmpty() ? qgetenv("LC_TIME") : all;
    if (time.isEmpty())
        time = qgetenv("LANG");
    if (time.startsWith("zh"))
        return;
    if (!all.isEmpty()) {
        for (const char *category :
             {"LC_CTYPE", "LC_NUMERIC", "LC_COLLATE", "LC_MONETARY", "LC_MESSAGES", "LC_PAPER", "LC_NAME",
              "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"})
            qputenv(category, all);
        qunsetenv("LC_ALL");
    }
    qputenv("LC_TIME", "zh_CN.UTF-8");
}

QFont applicationFont()
{
    const QString wanted = QStringLiteral("微软雅黑");
    const QStringList installed = QFontDatabase::families();
    if (!installed.contains(wanted)) {
        // Substitutes apply to every font that asks for the family, the dialogs' fonts included.
        const QStringList fallbacks = {
            QStringLiteral("Microsoft YaHei"),   QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("Noto Sans CJK SC"),  QStringLiteral("Source Han Sans SC"),
            QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("AR PL UMing CN")};
        QStringList present;
        for (const QString &f : fallbacks) {
            if (installed.contains(f))
                present.append(f);
        }
        if (!present.isEmpty())
            QFont::insertSubstitutions(wanted, present);
    }
    QFont font(wanted, 9);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

int pageFromArguments(const QStringList &arguments, QString *error)
{
    QString value;
    bool given = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == u"--page") {
            given = true;
            value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
            ++i;
        } else if (arg.startsWith(u"--page=")) {
            given = true;
            value = arg.mid(7);
        }
    }
    if (!given)
        return 0;
    bool ok = false;
    const int page = value.toInt(&ok);
    if (ok && page >= 0 && page < kFunctionCount)
        return page;
    if (error) {
        *error = QStringLiteral("--page 需要 0 到 %1 之间的功能编号（收到“%2”），改为从功能 0 开始。")
                     .arg(kFunctionCount - 1)
                     .arg(value);
    }
    return 0;
}

QSize sizeFromArguments(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--size"));
    if (at < 1 || at + 1 >= arguments.size())
        return QSize();
    const QStringList parts = arguments.at(at + 1).split(u'x');
    if (parts.size() != 2)
        return QSize();
    bool okWidth = false;
    bool okHeight = false;
    const int width = parts.at(0).toInt(&okWidth);
    const int height = parts.at(1).toInt(&okHeight);
    // Beyond any screen; also keeps a typo from asking for a gigantic window.
    constexpr int kLargest = 16384;
    if (!okWidth || !okHeight || width <= 0 || height <= 0 || width > kLargest || height > kLargest)
        return QSize();
    return QSize(width, height);
}

QString helpDocumentPath(const QString &name)
{
    return dataFilePath(QStringLiteral("help"), name);
}

QString dataFoldersReport(bool *complete)
{
    const std::pair<const char16_t *, const char16_t *> files[] = {{u"help", u"使用帮助.pdf"},
                                                                   {u"help", u"相关法规.pdf"},
                                                                   {u"examples", u"标准工资表.xls"},
                                                                   {u"examples", u"标准工资表.xlsx"}};
    QString report;
    bool all = true;
    for (const auto &[folder, name] : files) {
        const QString path = dataFilePath(QString::fromUtf16(folder), QString::fromUtf16(name));
        all = all && !path.isEmpty();
        report += QString::fromUtf16(name) + QStringLiteral(": ") + path + u'\n';
    }
    if (complete)
        *complete = all;
    return report;
}
