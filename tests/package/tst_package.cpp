// The install tree: "cmake --install" into a temporary prefix must hold every file the package
// ships, and the installed programs, started from an unrelated working folder, must run and find
// their help documents and sample sheets under <prefix>/share/lumo.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &args, const QString &workDir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start(program, args);
    p.waitForFinished(120000);
    Run r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void desktopEntryStartsTheInstalledProgram();
    void metadataValidates();
    void installedCliRuns();
    void installedProgramFindsItsData();

private:
    QTemporaryDir m_prefix;
    QTemporaryDir m_elsewhere; // the working folder of every start: nothing of lumo is there
    QString m_root;            // the prefix as the programs see it (links resolved)
};

void TestPackage::initTestCase()
{
    QVERIFY(m_prefix.isValid() && m_elsewhere.isValid());
    m_root = QDir(m_prefix.path()).canonicalPath();
    const Run install =
        run(QStringLiteral(LUMO_CMAKE),
            {QStringLiteral("--install"), QStringLiteral(LUMO_BUILD_DIR), QStringLiteral("--prefix"), m_root},
            m_elsewhere.path());
    QVERIFY2(install.exitCode == 0, install.err.constData());
}

void TestPackage::installedFiles_data()
{
    QTest::addColumn<QString>("path");
    const char *files[] = {"bin/lumo",
                           "bin/lumo-cli",
                           "share/lumo/help/使用帮助.pdf",
                           "share/lumo/help/相关法规.pdf",
                           "share/lumo/examples/标准工资表.xls",
                           "share/lumo/examples/标准工资表.xlsx",
                           "share/applications/cn.lanzhou.lumo.desktop",
                           "share/icons/hicolor/64x64/apps/lumo.png",
                           "share/metainfo/cn.lanzhou.lumo.metainfo.xml",
                           "share/man/man1/lumo.1.gz",
                           "share/man/man1/lumo-cli.1.gz",
                           "share/bash-completion/completions/lumo-cli",
                           "share/doc/lumo/copyright",
                           "share/doc/lumo/changelog.gz"};
    for (const char *f : files)
        QTest::newRow(f) << QString::fromUtf8(f);
}

void TestPackage::installedFiles()
{
    QFETCH(QString, path);
    const QFileInfo info(m_root + u'/' + path);
    QVERIFY2(info.isFile() && info.size() > 0, qPrintable(path));
    QCOMPARE(info.isExecutable(), path.startsWith(u"bin/"));
}

void TestPackage::desktopEntryStartsTheInstalledProgram()
{
    QFile entry(m_root + QStringLiteral("/share/applications/cn.lanzhou.lumo.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    // The program from PATH, never a build or source folder; one action per function 0–6.
    const QRegularExpression exec(QStringLiteral("^Exec=(.*)$"), QRegularExpression::MultilineOption);
    QStringList lines;
    for (auto it = exec.globalMatch(text); it.hasNext();)
        lines.append(it.next().captured(1));
    QStringList expected{QStringLiteral("lumo")};
    for (int page = 0; page < 7; ++page)
        expected.append(QStringLiteral("lumo --page %1").arg(page));
    QCOMPARE(lines, expected);
    QVERIFY(text.contains(u"\nIcon=lumo\n"));
}

void TestPackage::metadataValidates()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (tool.isEmpty())
        QSKIP("appstreamcli is not installed");
    const Run check = run(tool,
                          {QStringLiteral("validate"), QStringLiteral("--no-net"),
                           m_root + QStringLiteral("/share/metainfo/cn.lanzhou.lumo.metainfo.xml")},
                          m_elsewhere.path());
    QVERIFY2(check.exitCode == 0, check.out.constData());
}

void TestPackage::installedCliRuns()
{
    const QStringList args{QStringLiteral("calc"),  QStringLiteral("--gross"),
                           QStringLiteral("10000"), QStringLiteral("--insurance"),
                           QStringLiteral("1000"),  QStringLiteral("--json")};
    const Run installed = run(m_root + QStringLiteral("/bin/lumo-cli"), args, m_elsewhere.path());
    QVERIFY2(installed.exitCode == 0, installed.err.constData());
    const Run built = run(QStringLiteral(LUMO_CLI_PATH), args, m_elsewhere.path());
    QCOMPARE(installed.out, built.out);
    QVERIFY(installed.out.contains("\"tax\""));
}

void TestPackage::installedProgramFindsItsData()
{
    const Run started = run(m_root + QStringLiteral("/bin/lumo"),
                            {QStringLiteral("--page"), QStringLiteral("0"), QStringLiteral("--data-folders")},
                            m_elsewhere.path());
    QVERIFY2(started.exitCode == 0, (started.out + started.err).constData());
    const QStringList lines = QString::fromUtf8(started.out).split(u'\n', Qt::SkipEmptyParts);
    const QStringList expected{QStringLiteral("使用帮助.pdf: %1/share/lumo/help/使用帮助.pdf"),
                               QStringLiteral("相关法规.pdf: %1/share/lumo/help/相关法规.pdf"),
                               QStringLiteral("标准工资表.xls: %1/share/lumo/examples/标准工资表.xls"),
                               QStringLiteral("标准工资表.xlsx: %1/share/lumo/examples/标准工资表.xlsx")};
    QCOMPARE(lines.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QCOMPARE(lines.at(i), expected.at(i).arg(m_root));
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
