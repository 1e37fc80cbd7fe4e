// Year-end bonus planning from the payroll ledger's year.
//
// The months of the year before the period come from the ledger: what each employee was really
// paid, deducted and withheld at this employer. The period is the year's last pay month, its sheet
// the month's salary sheet (the withholding template's columns). Its budget is 本期收入 + 全年一次性
// 奖金, and the plan chooses the bonus b in [0, budget] that makes the year's tax smallest: the
// annual table on the year's wages (the recorded months plus budget − b) less the cumulative
// deductions of the month's rules (the first-job and 60,000 variants included), less the year's
// relief, plus the separate tax of b. The year's tax leaves out a bonus taxed separately in an
// earlier month; only one bonus a year may be, so after it the period's bonus is wages. Rows are matched to
// the ledger's employees by document type and number and checked as the month's run checks them; an employee
// the ledger does not know is planned from the period alone, as their first month here. Reads the ledger,
// never writes it. QtCore only.
#pragma once

#include "batch/sheetlayout.h"
#include "batch/yearplan.h"
#include "ledger/payrollledger.h"
#include "ledger/payrollsheet.h"

struct LedgerYearPlan
{
    PayrollInput input;        // the period's row as the sheet gives it
    int months = 0;            // the year's months at this employer, the period included
    Amount incomeBefore = 0;   // the year's income of the recorded months before the period
    Amount withheldBefore = 0; // the wage tax withheld in those months
    Amount basic = 0;          // the cumulative basic deduction up to the period
    YearPlan plan;             // annual P = incomeBefore + the period's budget
    Amount periodWage = 0;     // the period's wages under the best split: budget − best bonus
    Amount periodWithheld = 0; // the period's withholding under the best split
    Amount bonusTax = 0;       // the separate tax of the best bonus
    // A bonus of an earlier month of the year was taxed separately: only one may be, so the period's
    // bonus is planned and taxed as wages (planned = best = all as wages, no blind zone).
    bool separateBefore = false;
};

struct LedgerYearPlanRun
{
    int year = 0, month = 0;
    int recordedMonths = 0;               // months of the year before the period the ledger holds
    std::vector<LedgerYearPlan> records;  // in sheet order
    std::vector<PayrollProblem> problems; // rows not planned, in sheet order
    YearPlanTotals totals;
    Amount periodWithheld = 0, bonusTax = 0;
};

// False with a Chinese message when the ledger cannot be read, when the year no longer allows a
// separately taxed bonus, or when a month of the year after the period is recorded (the period must
// be the year's last); false with no message when `control.cancel` was set. Rows are planned on
// every core (`threads` 0), `control.progress` told of the rows planned. `ledger` is open (a
// missing file reads as empty).
bool runLedgerYearPlan(const PayrollLedger &ledger, PayrollSheet sheet, int year, int month,
                       LedgerYearPlanRun *out, QString *error, int threads = 0,
                       const RunControl &control = {});

// The same from an import of the period's sheet (formulas by payroll field) and the ledger file
// at `ledgerPath`, which is only read: loads the workbook, reads the rows and plans them. False
// with a Chinese message when the import maps no 姓名 or 证件号码, a file cannot be read or the
// plan refuses; false with no message when `control.cancel` was set. `control.progress`, when
// given, is called with the part done in percent (done of 100).
bool runLedgerYearSheet(const SheetImport &import, const QString &ledgerPath, int year, int month,
                        LedgerYearPlanRun *out, QString *error, const RunControl &control = {});

// The result sheet: per employee the recorded months, the period's planned pay, the year, the
// planned, all-as-wages and best splits with the period's wages and withholding; a totals row.
SheetLayout ledgerYearPlanLayout(const LedgerYearPlanRun &run, const QString &title);
// The same for the employees whose best split saves tax, the totals over them alone.
SheetLayout ledgerYearPlanSavingLayout(const LedgerYearPlanRun &run, const QString &title);
