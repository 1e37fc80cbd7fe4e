#include "wizards/import/datasourcepage.h"

#include "batch/datafolders.h"
#include "wizards/import/datadefinepage.h"
#include "wizards/import/importwizard.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

DataSourcePage::DataSourcePage(int mode, ImportWizard *wizard)
    : QWizardPage(wizard), m_mode(mode), m_wizard(wizard), m_fileLabel(new QLabel(u"数据来源文件："_s, this)),
      m_path(new QLineEdit(u"请选择一个数据源文件。"_s, this)), m_browse(new QToolButton(this)),
      m_settings(new QComboBox(this))
{
    setTitle(u"选择数据源"_s);
    setSubTitle(u"您必须选择一个Excel文件作为数据源。"_s);

    QFont font = m_path->font();
    font.setPointSize(9);
    m_path->setFont(font);
    m_browse->setText(u"…"_s);
    auto *fileRow = new QHBoxLayout;
    fileRow->setSpacing(7);
    fileRow->addWidget(m_fileLabel);
    fileRow->addWidget(m_path, 10);
    fileRow->addWidget(m_browse);

    m_settings->addItem(u"不使用已有设定"_s);
    m_settings->addItems(wizard->settings().names());
    m_settings->setCurrentIndex(wizard->settings().lastSet);
    auto *settingRow = new QHBoxLayout;
    settingRow->setSpacing(7);
    settingRow->addWidget(new QLabel(u"加载导入设定："_s, this));
    settingRow->addWidget(m_settings);
    settingRow->addStretch(9);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(settingRow);
    if (!wizard->settingsWarnings().isEmpty()) {
        // A damaged settings file does not stop the import; the user learns what was set aside.
        auto *warning = new QLabel(wizard->settingsWarnings().join(u'\n'), this);
        warning->setObjectName(u"settingsWarning"_s);
        warning->setWordWrap(true);
        warning->setStyleSheet(u"color:rgb(200,0,0);"_s);
        layout->addWidget(warning);
    }
    layout->addStretch(10);
    if (wizard->settlesSheetImport()) {
        layout->addWidget(new QLabel(
            u"<font color=gray>说明：<br>1、工资表的标题与扣缴客户端的工资薪金模板或软件提供的示例表相同时，"
            u"请选择【不使用已有设定】，各列按标题自动匹配；<br>\t\t"
            "2、已经保存过导入设定，请选择与源文件格式对应的导入设定。</font>"_s,
            this));
    } else {
        layout->addWidget(
            new QLabel(u"<font "
                       u"color=gray>说明：<br>"
                       u"1、第一次导入，源文件格式与标准示例表不同，请选择【不使用已有设定】；<br>\t\t"
                       "2、源文件格式与软件提供的标准示例表相同，请选择【标准工资表导入设定】；<br>\t\t"
                       "3、已经保存过导入设定，请选择与源文件格式对应的导入设定。</font>"_s,
                       this));
    }

    connect(m_browse, &QToolButton::clicked, this, &DataSourcePage::selectSourceFile);
}

QString DataSourcePage::startDirectory()
{
    const QString samples = dataFolder(u"examples"_s);
    return samples.isEmpty() ? QDir::currentPath() : samples;
}

QString DataSourcePage::fileFilter()
{
    return u"工资表 (*.xls *.xlsx)"_s;
}

void DataSourcePage::selectSourceFile()
{
    const QString file =
        QFileDialog::getOpenFileName(this, u"选择工资表文件"_s, startDirectory(), fileFilter());
    if (!file.isEmpty())
        m_path->setText(file);
}

QWidget *DataSourcePage::firstField() const
{
    return m_path;
}

int DataSourcePage::nextId() const
{
    return ImportWizard::DefinePageId;
}

bool DataSourcePage::validatePage()
{
    const QString path = m_path->text();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        importMessage(this, u"错误"_s, u"请选择一个数据源文件。"_s);
        return false;
    }
    const QString suffix = info.suffix().toLower();
    if (suffix != u"xlsx"_s && suffix != u"xls"_s) {
        importMessage(this, u"错误"_s,
                      u"对不起，软件只支持从 Excel 格式文件导入数据，请选择 xls 或 xlsx 格式文件。"_s);
        return false;
    }
    // Read here, so a workbook that cannot be read keeps the user on this page.
    if (!m_wizard->definePage()->readWorkbook(path))
        return false;
    m_wizard->setFileName(path);
    m_wizard->selectSetting(m_settings->currentIndex());
    return true;
}
