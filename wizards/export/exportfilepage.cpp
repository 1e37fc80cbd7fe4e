#include "wizards/export/exportfilepage.h"

#include "batch/sheetlayout.h"
#include "widgets/ptablewidget.h"
#include "wizards/export/exportmessage.h"
#include "wizards/export/exportwizard.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;

ExportFilePage::ExportFilePage(QWidget *parent) : QWizardPage(parent)
{
    setTitle(u"导出结果文件"_s);
    setSubTitle(u"您必须选择一个文件存储导出结果。"_s);
    auto *label = new QLabel(u"导出结果文件名："_s, this);
    m_edit = new QLineEdit(placeholder(), this);
    QFont font = m_edit->font();
    font.setPointSize(9);
    m_edit->setFont(font);
    m_button = new QToolButton(this);
    m_button->setText(u"…"_s);
    connect(m_button, &QToolButton::clicked, this, &ExportFilePage::selectDestFile);
    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    row->addWidget(m_button);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addStretch(1);
}

void ExportFilePage::selectDestFile()
{
    const QString chosen =
        QFileDialog::getSaveFileName(this, u"选择存储文件"_s, QDir::homePath(), u"导出文件 (*.xls *.xlsx)"_s);
    if (!chosen.isEmpty())
        m_edit->setText(chosen);
}

QWidget *ExportFilePage::firstField() const
{
    return m_edit;
}

bool ExportFilePage::validatePage()
{
    const QString text = m_edit->text().trimmed();
    if (text.isEmpty() || text == placeholder()) {
        exportMessage(this, QMessageBox::Warning, u"错误"_s, u"请选择或命名一个结果存储文件。"_s);
        return false;
    }
    const QString fileName = exportFileName(text);
    m_edit->setText(fileName);
    const QFileInfo info(fileName);
    if (info.isDir()) {
        exportMessage(this, QMessageBox::Warning, u"错误"_s,
                      u"“%1”是一个文件夹，请另选一个结果存储文件。"_s.arg(fileName));
        return false;
    }
    // Checked here, not when writing at the end: there the only words left would be about a file
    // some program holds open.
    const QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        exportMessage(this, QMessageBox::Warning, u"文件夹不存在"_s,
                      u"文件夹“%1”不存在，请另选一个位置，或先建立这个文件夹。"_s.arg(
                          QDir::toNativeSeparators(folder.path())));
        return false;
    }
    // An .xls sheet holds 65,536 rows: an export with more people than that cannot fit, whatever
    // columns follow. The ready page checks the exact sheet again before writing.
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (wizard && wizard->beforeTable() && info.suffix().compare(u"xls", Qt::CaseInsensitive) == 0) {
        SheetLayout least;
        least.rows.resize(size_t(std::max(0, wizard->beforeTable()->rowCount())));
        // The columns of the template chosen so far, so the refusal gives the sheet's real width.
        least.columnWidths.assign(size_t(wizard->columns().size()), 0);
        QString error;
        if (!sheetLayoutFits(least, fileName, &error)) {
            exportMessage(this, QMessageBox::Warning, u"错误"_s, error);
            return false;
        }
    }
    if (info.exists()) {
        // The old file stays as it is until the new workbook has been saved completely.
        if (exportMessage(this, QMessageBox::Warning, u"文件已存在，是否覆盖？"_s,
                          u"选择是将清除已存在的文件内容。"_s, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Yes) != QMessageBox::Yes)
            return false;
    }
    if (wizard)
        wizard->setFileName(fileName);
    return true;
}
