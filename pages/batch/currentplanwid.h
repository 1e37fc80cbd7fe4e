// 批量节税筹划 under the rules in force since 2019: the year-end bonus of every employee of a sheet,
// planned as lumo-cli batch plan --rules 2019 plans it. A year sheet (one employee's year a row) is
// planned from the sheet alone; when a ledger is in use (the one the month's payroll remembers) and
// the clerk plans from it, the sheet is the period's payroll and the months of the year before it
// come from the ledger, which is only read. Per employee the planned bonus and its year tax, the
// merged tax, the best bonus with the period's (or each month's) wage, the best tax, the saving and
// the blind zone; a totals row; the rows whose planned bonus lies in a blind zone tinted.
#pragma once

#include "batch/yearplan.h"
#include "ledger/payrollyearplan.h"
#include "pages/batch/yearsheetpagebase.h"

class QCheckBox;
class QLabel;
class QSpinBox;

class CurrentPlanWid : public YearSheetPageBase
{
    Q_OBJECT
public:
    explicit CurrentPlanWid(QWidget *parent = nullptr);
    ~CurrentPlanWid() override;

    // The tint of a row whose planned bonus lies in a blind zone.
    static QColor blindZoneTint();

    // The ledger the page offers to plan from; empty or a missing file for none. At first the one
    // the month's payroll remembers in user.ini.
    void setLedgerPath(const QString &path);
    QString ledgerPath() const { return m_ledgerPath; }
    // Plan from the ledger's year for the period, or (false) from the sheet alone.
    void setFromLedger(bool fromLedger, int year = 0, int month = 0);
    bool fromLedger() const;
    bool showsLedgerPlan() const { return m_showsLedger; }

    const YearSheetRun &sheetRun() const { return m_sheet; }
    const LedgerYearPlanRun &ledgerRun() const { return m_ledger; }

    std::vector<SheetExportChoice> exportChoices() const override;

protected:
    int importMode() const override;
    void prepareJob() override;
    bool compute(const SheetImport &import, const RunControl &control, QString *error) override;
    void showPending() override;
    void writeOptions(CurrentSheetRecord *record) const override;
    void readOptions(const CurrentSheetRecord &record) override;
    std::pair<double, double> historyFigures() const override;

private:
    void showSheetPlan();
    void showLedgerPlan();
    void ledgerChanged();

    QCheckBox *m_fromLedger;
    QLabel *m_ledgerLabel;
    QSpinBox *m_year;
    QSpinBox *m_month;
    QString m_ledgerPath;
    // What the job plans (taken before it starts) and what it gives.
    struct JobOptions
    {
        bool fromLedger = false;
        QString ledger;
        int year = 0, month = 0;
    } m_jobOptions, m_shownOptions;
    YearSheetRun m_pendingSheet, m_sheet;
    LedgerYearPlanRun m_pendingLedger, m_ledger;
    bool m_showsLedger = false;
};
