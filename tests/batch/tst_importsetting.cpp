// Saved import settings: what a damaged, hostile or foreign "importset.ini" reads as, what saving
// writes (and that it says when it cannot), the standard setting's offer, and "自动匹配".
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/settingsfiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestImportSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileReadsEmpty();
    void storedValues_data();
    void storedValues();
    void thousandsOfColumnsAreBounded();
    void oversizedFileIsIgnored();
    void lastSetBeyondTheListFallsBack();
    void roundTrip_data();
    void roundTrip();
    void emptyNameWritesTwoKeys();
    void savingAgainDropsOldColumns();
    void modesNeverMix();
    void badNamesAreRefused_data();
    void badNamesAreRefused();
    void writeFailureIsReported();
    void standardOffer_data();
    void standardOffer();
    void standardSettingShape_data();
    void standardSettingShape();
    void autoMatch_data();
    void autoMatch();
    void formulasBeyondTheSheet_data();
    void formulasBeyondTheSheet();
    void settingsFolderTakesWorkingFolderFile_data();
    void settingsFolderTakesWorkingFolderFile();

private:
    QString writeIni(const QByteArray &text);
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

void TestImportSetting::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// Each file gets its own name: the settings reader caches files by name.
QString TestImportSetting::writeIni(const QByteArray &text)
{
    const QString path = m_dir->filePath(u"importset%1.ini"_s.arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(text);
    return path;
}

void TestImportSetting::missingFileReadsEmpty()
{
    const ImportSettingsFile file(m_dir->filePath(u"none.ini"_s));
    const ImportSettingsGroup group = file.read(0, false);
    QCOMPARE(group.settings.size(), 0);
    QCOMPARE(group.lastSet, 0);
    QCOMPARE(group.importMode, 2);
    QVERIFY(file.warnings().isEmpty());
    const ImportSettingsGroup offered = file.read(0);
    QCOMPARE(offered.names(), QStringList{standardImportSettingName()});
    QVERIFY(offered.standardOffered);
}

void TestImportSetting::storedValues_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("sheet");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("title");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("warned");

    const QByteArray head = "[importSet0]\nlastSet=1\nimportMode=0\n";
    QTest::newRow("plain values") << head + "a\\sheetNO=1\na\\firstRowNO=3\na\\lastRowNO=9\n"
                                            "a\\titleRowNO=2\na\\0000\\title=x\na\\0000\\width=50\n"
                                  << 1 << 3 << 9 << 2 << 50 << false;
    QTest::newRow("missing keys take the defaults") << head + "a\\0000\\title=x\n"
                                                    << 0 << 2 << 0 << 1 << 0 << false;
    QTest::newRow("negative rows clamp to the page's minimum")
        << head + "a\\firstRowNO=-5\na\\lastRowNO=-1\na\\titleRowNO=-7\na\\0000\\width=-3\n"
        << 0 << 1 << 0 << 1 << 0 << true;
    QTest::newRow("huge rows clamp to the page's maximum")
        << head + "a\\firstRowNO=99999999999\na\\lastRowNO=2147483648\na\\0000\\width=1000000\n"
        << 0 << kMaxImportRowNumber << kMaxImportRowNumber << 1 << kMaxImportColumnWidth << true;
    QTest::newRow("absurd sheet index reads as sheet 0") << head + "a\\sheetNO=1000000\na\\0000\\title=x\n"
                                                         << 0 << 2 << 0 << 1 << 0 << true;
    QTest::newRow("negative sheet index reads as sheet 0") << head + "a\\sheetNO=-1\na\\0000\\title=x\n"
                                                           << 0 << 2 << 0 << 1 << 0 << true;
    QTest::newRow("text where numbers belong")
        << head + "a\\sheetNO=two\na\\firstRowNO=1e3\na\\0000\\width=wide\n"
        << 0 << 2 << 0 << 1 << 0 << true;
    QTest::newRow("garbage lines around the values")
        << "\x01\x02garbage\n[[[\n=novalue\n" + head + "a\\firstRowNO=4\nnot a line\na\\0000\\title=x\n"
        << 0 << 4 << 0 << 1 << 0 << true;
}

void TestImportSetting::storedValues()
{
    QFETCH(QByteArray, ini);
    const ImportSettingsFile file(writeIni(ini));
    const ImportSettingsGroup group = file.read(0, false);
    QCOMPARE(group.settings.size(), 1);
    const ImportSetting &s = group.settings.front();
    QTEST(int(s.sheetNO), "sheet");
    QTEST(int(s.firstRowNO), "first");
    QTEST(int(s.lastRowNO), "last");
    QTEST(int(s.titleRowNO), "title");
    QCOMPARE(s.columns.size(), 1);
    QTEST(int(s.columns.front().width), "width");
    QTEST(!file.warnings().isEmpty(), "warned");
    QCOMPARE(group.lastSet, 1);
    QCOMPARE(group.importMode, 0);
}

void TestImportSetting::thousandsOfColumnsAreBounded()
{
    QByteArray ini = "[importSet0]\n";
    for (int i = 0; i < 3000; ++i)
        ini += "a\\" + QByteArray::number(10000 + i) + "\\title=t" + QByteArray::number(i) + "\n";
    for (int i = 0; i < 1500; ++i)
        ini += "s" + QByteArray::number(i) + "\\sheetNO=0\n";
    const ImportSettingsFile file(writeIni(ini));
    const ImportSettingsGroup group = file.read(0, false);
    QCOMPARE(group.settings.size(), kMaxImportSettings);
    QCOMPARE(group.settings.front().columns.size(), kMaxImportSettingColumns);
    QCOMPARE(group.settings.front().columns.front().title, u"t0"_s);
    QVERIFY(!file.warnings().isEmpty());
}

void TestImportSetting::oversizedFileIsIgnored()
{
    QByteArray ini = "[importSet0]\na\\sheetNO=0\n";
    ini += "; " + QByteArray(kMaxImportSettingsFileSize, 'x') + "\n";
    ImportSettingsFile file(writeIni(ini));
    QCOMPARE(file.read(0, false).settings.size(), 0);
    QVERIFY(!file.warnings().isEmpty());
    ImportSetting setting;
    setting.name = u"b"_s;
    QVERIFY(!file.save(0, 0, 0, setting));
    QVERIFY(!file.errorString().isEmpty());
}

void TestImportSetting::lastSetBeyondTheListFallsBack()
{
    const ImportSettingsFile file(writeIni("[importSet0]\nlastSet=7\na\\sheetNO=0\n"));
    QCOMPARE(file.read(0, false).lastSet, 0);
    QVERIFY(!file.warnings().isEmpty());
    // The offered standard setting counts: index 2 names it (after "a").
    const ImportSettingsFile offered(writeIni("[importSet0]\nlastSet=2\na\\sheetNO=0\n"));
    QCOMPARE(offered.read(0).lastSet, 2);
}

void TestImportSetting::roundTrip_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("columns");
    QTest::newRow("chinese name, three columns") << u"我的工资表"_s << 3;
    QTest::newRow("name with blanks, =, ; and %") << u"a = b; 100%"_s << 2;
    QTest::newRow("no columns") << u"空设定"_s << 0;
}

void TestImportSetting::roundTrip()
{
    QFETCH(QString, name);
    QFETCH(int, columns);
    ImportSetting setting;
    setting.name = name;
    setting.sheetNO = 2;
    setting.firstRowNO = 5;
    setting.lastRowNO = 40;
    setting.titleRowNO = 4;
    for (int i = 0; i < columns; ++i)
        setting.columns.append({u"列%1"_s.arg(i), 60 + i, i ? u"[列0]*1.1+C"_s : QString()});
    ImportSettingsFile file(m_dir->filePath(u"importset.ini"_s));
    QVERIFY2(file.save(1, 1, 0, setting), qPrintable(file.errorString()));
    const ImportSettingsGroup group = file.read(1, false);
    QCOMPARE(group.settings.size(), 1);
    QCOMPARE(group.settings.front(), setting);
    QCOMPARE(group.lastSet, 1);
    QCOMPARE(group.importMode, 0);
}

void TestImportSetting::emptyNameWritesTwoKeys()
{
    const QString path = m_dir->filePath(u"importset.ini"_s);
    ImportSettingsFile file(path);
    ImportSetting setting = standardImportSetting(0);
    setting.name = u"  "_s;
    QVERIFY(file.save(0, 0, 1, setting));
    QSettings s(path, QSettings::IniFormat);
    QStringList keys = s.allKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{u"importSet0/importMode"_s, u"importSet0/lastSet"_s}));
}

void TestImportSetting::savingAgainDropsOldColumns()
{
    ImportSettingsFile file(m_dir->filePath(u"importset.ini"_s));
    ImportSetting setting = standardImportSetting(0);
    setting.name = u"月度"_s;
    QVERIFY(file.save(0, 1, 0, setting));
    setting.columns.resize(2);
    QVERIFY(file.save(0, 1, 0, setting));
    QCOMPARE(file.read(0, false).settings.front().columns.size(), 2);
}

void TestImportSetting::modesNeverMix()
{
    ImportSettingsFile file(m_dir->filePath(u"importset.ini"_s));
    for (int mode = 0; mode < 3; ++mode) {
        ImportSetting setting = standardImportSetting(mode);
        setting.name = u"页%1"_s.arg(mode);
        QVERIFY(file.save(mode, mode, mode % 2, setting));
    }
    for (int mode = 0; mode < 3; ++mode) {
        const ImportSettingsGroup group = file.read(mode, false);
        QCOMPARE(group.names(), QStringList{u"页%1"_s.arg(mode)});
        QCOMPARE(group.settings.front().columns, standardImportSetting(mode).columns);
        QCOMPARE(group.importMode, mode % 2);
    }
}

void TestImportSetting::badNamesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << u"a/b"_s;
    QTest::newRow("backslash") << u"a\\b"_s;
    QTest::newRow("too long") << QString(200, u'设');
}

void TestImportSetting::badNamesAreRefused()
{
    QFETCH(QString, name);
    const QString path = m_dir->filePath(u"importset.ini"_s);
    ImportSettingsFile file(path);
    ImportSetting setting;
    setting.name = name;
    QVERIFY(!file.save(0, 0, 0, setting));
    QVERIFY(!file.errorString().isEmpty());
    QVERIFY(!QFile::exists(path));
}

void TestImportSetting::writeFailureIsReported()
{
    // A regular file where the settings file's folder should be: nothing can be written there.
    const QString blocker = writeIni("not a folder");
    ImportSettingsFile file(blocker + u"/importset.ini"_s);
    ImportSetting setting = standardImportSetting(0);
    QVERIFY(!file.save(0, 1, 0, setting));
    QVERIFY(file.errorString().contains(u"没有保存"_s));
}

void TestImportSetting::standardOffer_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("offered");
    QTest::newRow("no settings") << QByteArray() << QStringList{standardImportSettingName()} << true;
    QTest::newRow("offered in name order")
        << QByteArray("[importSet0]\nb\\sheetNO=0\n\xe9\xbb\x84\\sheetNO=0\n")
        << QStringList{u"b"_s, standardImportSettingName(), u"黄"_s} << true;
    QTest::newRow("a stored setting of that name is not offered twice")
        << QByteArray("[importSet0]\n%U6807%U51C6%U5DE5%U8D44%U8868%U5BFC%U5165%U8BBE%U5B9A\\sheetNO=3\n")
        << QStringList{standardImportSettingName()} << false;
    QTest::newRow("another mode's setting does not count")
        << QByteArray("[importSet1]\nb\\sheetNO=0\n") << QStringList{standardImportSettingName()} << true;
}

void TestImportSetting::standardOffer()
{
    QFETCH(QByteArray, ini);
    const ImportSettingsFile file(writeIni(ini));
    const ImportSettingsGroup group = file.read(0);
    QTEST(group.names(), "names");
    QTEST(group.standardOffered, "offered");
    const ImportSetting *standard =
        group.setting(int(group.names().indexOf(standardImportSettingName())) + 1);
    QVERIFY(standard);
    QCOMPARE(standard->sheetNO, group.standardOffered ? 0 : 3);
}

void TestImportSetting::standardSettingShape_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("formulas");
    QTest::newRow("tax calculation") << 0 << QStringList{u"编码"_s,     u"姓名"_s,     u"月应发工资"_s,
                                                         u"三险一金"_s, u"年终奖金"_s, u"企业年金"_s,
                                                         u"部门"_s}
                                     << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"F"_s, u"G"_s};
    QTest::newRow("planning") << 1 << QStringList{u"编码"_s,     u"姓名"_s,     u"月应发工资"_s,
                                                  u"三险一金"_s, u"年终奖金"_s, u"部门"_s}
                              << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"G"_s};
    QTest::newRow("apportionment")
        << 2
        << QStringList{u"编码"_s, u"姓名"_s, u"月应发工资"_s, u"三险一金"_s, u"非全年一次性奖金"_s, u"部门"_s}
        << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"G"_s};
}

void TestImportSetting::standardSettingShape()
{
    QFETCH(int, mode);
    const ImportSetting setting = standardImportSetting(mode);
    QStringList titles, formulas;
    for (const ImportSettingColumn &c : setting.columns) {
        titles << c.title;
        formulas << c.formula;
        QVERIFY(c.width > 0);
    }
    QTEST(titles, "titles");
    QTEST(formulas, "formulas");
    QCOMPARE(setting.titleRowNO, 1);
    QCOMPARE(setting.firstRowNO, 2);
    QCOMPARE(setting.lastRowNO, 0);
}

void TestImportSetting::autoMatch_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("formulas");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("expected");
    const QStringList six(6, QString());
    QTest::newRow("姓名 in column B")
        << QStringList{u"部门"_s, u"姓名"_s} << six << 0
        << QStringList{QString(), u"B"_s, QString(), QString(), QString(), QString()};
    QTest::newRow("unmatched titles leave formulas")
        << QStringList{u"部门"_s, u" 姓名"_s, u"Name"_s} << QStringList{u"X"_s, u"C*1.1"_s} << 0
        << QStringList{u"X"_s, u"C*1.1"_s};
    QTest::newRow("later columns overwrite earlier")
        << QStringList{u"年终奖"_s, u"季奖"_s} << six << 0
        << QStringList{QString(), QString(), QString(), QString(), u"B"_s, QString()};
    QStringList wide(27, u"x"_s);
    wide[26] = u"员工编码"_s;
    QTest::newRow("column 27 is AA") << wide << QStringList(2) << 0 << QStringList{u"AA"_s, QString()};
    QTest::newRow("annuity on the calculation page")
        << QStringList{u"年金"_s} << six << 0
        << QStringList{QString(), QString(), QString(), QString(), QString(), u"A"_s};
    QTest::newRow("annuity never lands in a planning page's extra column")
        << QStringList{u"年金"_s, u"月工资"_s}
        << QStringList{QString(), QString(), QString(), QString(), QString(), u"G"_s} << 1
        << QStringList{QString(), QString(), u"B"_s, QString(), QString(), u"G"_s};
    QTest::newRow("fewer targets than matches") << QStringList{u"编码"_s, u"姓名"_s, u"三险一金"_s}
                                                << QStringList(2) << 0 << QStringList{u"A"_s, u"B"_s};
}

void TestImportSetting::formulasBeyondTheSheet_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QStringList>("beyond");
    QTest::newRow("a copy of column G on six columns") << u"G"_s << 6 << QStringList{u"G"_s};
    QTest::newRow("column F on six columns") << u"F"_s << 6 << QStringList();
    QTest::newRow("two missing columns, each once") << u"C+AA*2+AA+AB"_s << 27 << QStringList{u"AB"_s};
    QTest::newRow("names in brackets are no columns") << u"[部门]+A"_s << 1 << QStringList();
    QTest::newRow("constants are no columns") << u"Pi*A+True"_s << 1 << QStringList();
    QTest::newRow("letters beyond any index") << u"ZZZZZZZZ"_s << 16384 << QStringList{u"ZZZZZZZZ"_s};
    QTest::newRow("an empty formula") << QString() << 0 << QStringList();
}

void TestImportSetting::formulasBeyondTheSheet()
{
    QFETCH(QString, formula);
    QFETCH(int, columns);
    QFETCH(QStringList, beyond);
    QCOMPARE(columnsBeyondSheet(formula, columns), beyond);
    QStringList warnings;
    const QStringList fitted = formulasWithinSheet({u"部门"_s}, {formula}, columns, &warnings);
    // A formula that names a missing column maps to nothing and is said once.
    QCOMPARE(fitted, QStringList{beyond.isEmpty() ? formula : QString()});
    QCOMPARE(warnings.size(), beyond.isEmpty() ? 0 : 1);
    if (!beyond.isEmpty())
        QVERIFY2(warnings[0].contains(u"“部门”"_s) && warnings[0].contains(beyond.join(u'、')),
                 qPrintable(warnings[0]));
}

void TestImportSetting::autoMatch()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, formulas);
    QFETCH(int, mode);
    QTEST(autoMatchFormulas(titles, formulas, mode), "expected");
}

// Settings files live in the desktop's configuration folder; one left in the working folder by an
// earlier version is copied there the first time, never over a newer one, and stays where it was.
void TestImportSetting::settingsFolderTakesWorkingFolderFile_data()
{
    QTest::addColumn<QByteArray>("inWorkingFolder"); // empty: none there
    QTest::addColumn<QByteArray>("inSettingsFolder");
    QTest::addColumn<QByteArray>("read");
    QTest::newRow("only the working folder's: copied")
        << QByteArray("old") << QByteArray() << QByteArray("old");
    QTest::newRow("the settings folder's wins")
        << QByteArray("old") << QByteArray("new") << QByteArray("new");
    QTest::newRow("neither: no file") << QByteArray() << QByteArray() << QByteArray();
}

void TestImportSetting::settingsFolderTakesWorkingFolderFile()
{
    QFETCH(QByteArray, inWorkingFolder);
    QFETCH(QByteArray, inSettingsFolder);
    QFETCH(QByteArray, read);
    const QByteArray oldHome = qgetenv("HOME");
    const QString oldCurrent = QDir::currentPath();
    qputenv("HOME", m_dir->filePath(u"home"_s).toLocal8Bit());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    auto put = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        return bytes.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    };
    QVERIFY(put(m_dir->filePath(u"exportset.ini"_s), inWorkingFolder));
    QVERIFY(QDir().mkpath(settingsFolder()));
    QVERIFY(put(settingsFolder() + u"/exportset.ini"_s, inSettingsFolder));

    const QString path = settingsFilePath(u"exportset.ini"_s);
    QCOMPARE(path, m_dir->filePath(u"home/.config/lumo/exportset.ini"_s));
    QFile file(path);
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), read);
    QCOMPARE(QFile::exists(m_dir->filePath(u"exportset.ini"_s)), !inWorkingFolder.isEmpty());

    QDir::setCurrent(oldCurrent);
    qputenv("HOME", oldHome);
}

QTEST_GUILESS_MAIN(TestImportSetting)
#include "tst_importsetting.moc"
