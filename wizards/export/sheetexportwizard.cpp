#include "wizards/export/sheetexportwizard.h"

#include "batch/sheetcsv.h"
#include "wizards/export/exportmessage.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

bool isCsv(const QString &fileName)
{
    return QFileInfo(fileName).suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0;
}

// The name as typed, with .xlsx added unless it ends in .xls, .xlsx or .csv.
QString exportTarget(const QString &text)
{
    return isCsv(text) ? text : exportFileName(text);
}

} // namespace

SheetExportDialog::SheetExportDialog(const QString &fileStem, std::vector<SheetExportChoice> choices,
                                     QWidget *parent)
    : QDialog(parent), m_choices(std::move(choices)), m_choice(new QComboBox(this)),
      m_file(new QLineEdit(this)), m_browse(new QToolButton(this)), m_title(new QLineEdit(fileStem, this))
{
    setWindowTitle(u"导出"_s);
    for (const SheetExportChoice &choice : m_choices)
        m_choice->addItem(choice.name);
    m_file->setText(QDir::toNativeSeparators(QDir::home().filePath(fileStem + u".xlsx"_s)));
    m_file->setMinimumWidth(420);
    m_browse->setText(u"…"_s);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_browse);

    auto *form = new QFormLayout;
    form->addRow(u"导出内容："_s, m_choice);
    form->addRow(u"导出结果文件名："_s, fileRow);
    form->addRow(u"标题："_s, m_title);
    auto *note = new QLabel(
        u"<font color=gray>文件按后缀保存为 .xlsx、.xls 或 .csv（没有后缀时为 .xlsx）；标题留空则不要标题行。</font>"_s,
        this);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(u"导出"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"取消"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &SheetExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SheetExportDialog::reject);
    connect(m_browse, &QToolButton::clicked, this, &SheetExportDialog::browse);
    connect(m_title, &QLineEdit::textEdited, this, [this] { m_titleTyped = true; });
    connect(m_file, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!m_titleTyped)
            m_title->setText(QFileInfo(text.trimmed()).completeBaseName());
    });
}

void SheetExportDialog::browse()
{
    const QString chosen = QFileDialog::getSaveFileName(
        this, u"选择存储文件"_s, m_file->text(),
        u"Excel 工作簿 (*.xlsx);;Excel 97-2003 工作簿 (*.xls);;CSV 文件 (*.csv)"_s, nullptr,
        // The dialog asks before replacing a file, once.
        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty())
        m_file->setText(QDir::toNativeSeparators(chosen));
}

void SheetExportDialog::accept()
{
    const QString text = QDir::fromNativeSeparators(m_file->text().trimmed());
    const int index = m_choice->currentIndex();
    if (index < 0 || size_t(index) >= m_choices.size() || !m_choices[size_t(index)].layout) {
        exportMessage(this, QMessageBox::Warning, u"错误"_s, u"没有可以导出的内容。"_s);
        return;
    }
    if (text.isEmpty()) {
        exportMessage(this, QMessageBox::Warning, u"错误"_s, u"请选择或命名一个结果存储文件。"_s);
        return;
    }
    const QString fileName = exportTarget(text);
    const QFileInfo info(fileName);
    if (info.isDir()) {
        exportMessage(
            this, QMessageBox::Warning, u"错误"_s,
            u"“%1”是一个文件夹，请另选一个结果存储文件。"_s.arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    if (!info.absoluteDir().exists()) {
        exportMessage(this, QMessageBox::Warning, u"文件夹不存在"_s,
                      u"文件夹“%1”不存在，请另选一个位置，或先建立这个文件夹。"_s.arg(
                          QDir::toNativeSeparators(info.absolutePath())));
        return;
    }
    if (info.exists() &&
        exportMessage(this, QMessageBox::Warning, u"文件已存在，是否覆盖？"_s,
                      u"选择是将清除已存在的文件内容。"_s, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::Yes) != QMessageBox::Yes)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    SheetLayout layout = m_choices[size_t(index)].layout();
    // A sheet built without a title (a template another program imports) keeps none.
    if (!layout.title.isEmpty())
        layout.title = m_title->text().trimmed();
    QString error;
    const bool ok = isCsv(fileName) ? writeSheetCsv(layout, fileName, &error)
                                    : sheetLayoutFits(layout, fileName, &error) &&
                                          writeSheetLayout(layout, fileName, &error);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        exportMessage(this, QMessageBox::Warning, u"导出失败"_s, error);
        return;
    }
    m_file->setText(QDir::toNativeSeparators(fileName));
    m_written = fileName;
    QDialog::accept();
}

bool runSheetExportWizard(QWidget *parent, const QString &fileStem,
                          const std::vector<SheetExportChoice> &choices, QString *written)
{
    SheetExportDialog dialog(fileStem, choices, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (written)
        *written = dialog.written();
    return true;
}
