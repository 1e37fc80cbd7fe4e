// Page 1 of the import wizard, "数据范围": reads the workbook once per file name, shows each worksheet
// in a tab, and lets the user choose the worksheet and its first, last and title rows.
//
// The workbook is read on a helper thread while the progress dialog keeps the window painted; the
// tables are then filled here, row by row, under the same dialog, whose "取消" stops both. The
// workbook is released as soon as its tables are filled, unless the wizard keeps it for the preview
// of a sheet the core reads itself.
#pragma once

#include "batch/sheetsource.h"
#include "wizards/wizardframe.h"

#include <QColor>
#include <QStyledItemDelegate>
#include <QWizardPage>

class ImportWizard;
class PTableWidget;

// For a sheet the core reads itself (ImportWizard::settlesSheetImport), each worksheet tab shows at
// most this many rows.
inline constexpr int kShownSheetRows = 200;
class QLabel;
class QSpinBox;
class QTabWidget;

// Paints the rows of a worksheet table in the range page's colours: the data rows green, the title
// row grey, the others in the palette's base colour. Rows are 1-based as the user counts them.
class RowRangeDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static QColor dataColour() { return QColor(122, 246, 128); }
    static QColor titleColour() { return QColor(214, 220, 214); }

    explicit RowRangeDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}
    // first..last (last 0: up to `rowCount`), and the title row.
    void setRange(int first, int last, int title, int rowCount);
    // The colour of a 0-based row; invalid for the base colour.
    QColor rowColour(int row) const;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    int m_first = 2;
    int m_last = 0;
    int m_title = 1;
};

class DataDefinePage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    explicit DataDefinePage(ImportWizard *wizard);

    QSpinBox *firstBox() const { return m_firstBox; }
    QSpinBox *lastBox() const { return m_lastBox; }
    QSpinBox *titleBox() const { return m_titleBox; }
    QTabWidget *tabs() const { return m_tabs; }
    QString loadedFile() const { return m_loadedFile; }
    // True only while a workbook is being read and shown.
    bool holdsWorkbook() const { return m_holdsWorkbook; }
    // The highest progress value the last reading of a workbook showed.
    int progressReached() const { return m_progressReached; }
    // The colour the page gives a row of a table (0-based row); invalid for the base colour.
    static QColor rowColour(const PTableWidget *table, int row);

    QWidget *firstField() const override;
    void initializePage() override;
    void cleanupPage() override;
    bool validatePage() override;
    int nextId() const override;

    // Reads the workbook at `path` into the tabs, unless it is the one shown. False, after telling
    // the user why, when it cannot be read or the user cancelled: the wizard then stays on the
    // data source page.
    bool readWorkbook(const QString &path);

    // Puts the source table back as a tab at its old place (when the mapping page is left backwards).
    void restoreTable(PTableWidget *table);

public slots:
    void firstChanged(int value);
    void lastChanged(int value);
    void titleChanged(int value);

private:
    bool loadWorkbook();
    // Without a saved setting, the rows the current sheet's shape suggests (see proposeSheetShape).
    void proposeShape();
    void clearTabs();
    void recolour();

    QLabel *m_firstLabel;
    QSpinBox *m_firstBox;
    QLabel *m_lastLabel;
    QSpinBox *m_lastBox;
    QLabel *m_titleLabel;
    QSpinBox *m_titleBox;
    QTabWidget *m_tabs;
    qint32 m_tabIndex = -1;
    QString m_sheetName;
    qint32 m_first = 2;
    qint32 m_last = 0;
    qint32 m_title = 1;
    QString m_loadedFile;
    bool m_freshlyLoaded = false;     // the tabs are new since the page last showed
    std::vector<SheetShape> m_shapes; // by tab, worked out while the workbook is read

    ImportWizard *m_wizard;
    QLabel *m_warnings;
    bool m_holdsWorkbook = false;
    int m_progressReached = 0;
};
