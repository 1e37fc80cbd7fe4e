// Exporting a current-rules batch page: the page offers its sheets by name (the month's results,
// 扣缴申报, the plan in each scope …), each built by the core as a SheetLayout; the user picks one
// and the file, and writeSheetLayout writes it whole or not at all.
#pragma once

#include "batch/sheetlayout.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QToolButton;
class QWidget;

struct SheetExportChoice
{
    QString name;
    std::function<SheetLayout()> layout;
};

// Runs the export for the page's choices; `fileStem` proposes the file name. True when a file was
// written (its name in *written when given).
bool runSheetExportWizard(QWidget *parent, const QString &fileStem,
                          const std::vector<SheetExportChoice> &choices, QString *written = nullptr);

// The dialog runSheetExportWizard shows: the sheet (one of the choices), the file (.xlsx, .xls or
// .csv by its suffix; a name without one gets .xlsx) and the title above the sheet, which follows
// the file's name until the user types one (emptied, the sheet has no title rows; a sheet built
// without a title, such as 扣缴申报, keeps none). "导出" writes the file, whole or not at all; on a
// refusal or a failure the dialog says why in Chinese and stays open, an existing file untouched.
class SheetExportDialog : public QDialog
{
    Q_OBJECT
public:
    SheetExportDialog(const QString &fileStem, std::vector<SheetExportChoice> choices,
                      QWidget *parent = nullptr);

    QComboBox *choiceBox() const { return m_choice; }
    QLineEdit *fileEdit() const { return m_file; }
    QLineEdit *titleEdit() const { return m_title; }
    // The file written, once the dialog was accepted.
    QString written() const { return m_written; }

    // Writes the chosen sheet; closes the dialog only when the file was written.
    void accept() override;

private slots:
    void browse();

private:
    std::vector<SheetExportChoice> m_choices;
    QComboBox *m_choice;
    QLineEdit *m_file;
    QToolButton *m_browse;
    QLineEdit *m_title;
    bool m_titleTyped = false;
    QString m_written;
};
