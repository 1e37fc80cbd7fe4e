// A month's payroll against the ledger, the sheets written from it and the year's settlement.
//
// runPayrollMonth checks every row (identity number, duplicates within the sheet, a number the
// ledger knows under another 姓名, a second separately taxed bonus in a year), reads each
// employee's state before the month from the ledger in one query and computes the month; it never
// writes. The caller records the result with
// PayrollLedger::recordMonth. The layouts go to writeSheetLayout or writeSheetCsv. QtCore only;
// the window and the command line call the same functions.
#pragma once

#include "batch/sheetlayout.h"
#include "ledger/payrollledger.h"
#include "ledger/payrollsheet.h"

struct PayrollMonthRun
{
    int year = 0, month = 0;
    CurrentRules::BonusMethod bonusMethod = CurrentRules::BonusMethod::Separate;
    std::vector<PayrollEntry> entries;    // in sheet order
    std::vector<PayrollProblem> problems; // rows neither calculated nor recorded, in sheet order
    Amount withheld = 0;                  // the month's wage withholding
    Amount bonusTax = 0;                  // separate bonus taxes
    Amount net = 0;                       // the month's 实发数
};

// Whether a separately taxed bonus is refused for an employee whose bonus of an earlier month of
// the year was taxed separately (the separate method is taken once per tax year and employee).
enum class SecondSeparateBonus
{
    Refused, // a problem row: the month is run and recorded as it is paid
    Kept     // computed as asked, for the year plan, which taxes such a bonus as wages itself
};

// False with a Chinese message when the ledger cannot be read, or when a separate bonus is asked
// for in a year that no longer allows it; false with no message when `cancelled` stopped it.
// `ledger` is open (a missing file reads as empty).
bool runPayrollMonth(const PayrollLedger &ledger, PayrollSheet sheet, int year, int month,
                     CurrentRules::BonusMethod bonusMethod, PayrollMonthRun *out, QString *error,
                     SecondSeparateBonus second = SecondSeparateBonus::Refused,
                     const std::function<bool()> &cancelled = {});

// The result sheet: the inputs and the cumulative figures per employee, then a totals row. With
// `withMonth` a 所属月份 column leads (the ledger's export of a year).
SheetLayout payrollResultLayout(const std::vector<PayrollEntry> &entries, const QString &title,
                                bool withMonth);
// The same sheet a row at a time, for a table that shows it without building it whole: the
// column titles, one employee's cells and the totals row.
QStringList payrollResultTitles(bool withMonth);
SheetRow payrollResultRow(const PayrollEntry &e, bool withMonth);
SheetRow payrollResultTotals(const std::vector<PayrollEntry> &entries, bool withMonth);
// The withholding client's wage template: its 29 columns, titled as it titles them, one row per
// employee with the month's inputs.
SheetLayout payrollTemplateLayout(const std::vector<PayrollEntry> &entries);
// The name --template takes for it.
QString payrollTemplateName(); // 扣缴申报

// One employee's annual settlement estimate at this employer.
struct PayrollSettlement
{
    QString idType, idNumber, code, name;
    int months = 0;
    Amount wageIncome = 0; // wages and every bonus
    Amount income = 0;     // wages and merged bonuses
    Amount deductions = 0; // exempt income, 60,000, 专项, 专项附加, other deductions and donations
    Amount taxable = 0;
    int rate = 0;
    Amount quickDeduction = 0;
    Amount relief = 0;
    Amount wageTax = 0;  // the annual table's tax less relief
    Amount bonusTax = 0; // separate bonus taxes
    Amount annualTax = 0;
    Amount withheld = 0; // wage withholding and separate bonus taxes
    Amount balance = 0;  // annualTax − withheld: payable when positive, refund when negative
    bool mayBeSkipped = false;
};
// The entries of one year, in month order (as PayrollLedger::entries gives them).
std::vector<PayrollSettlement> settlePayrollYear(const std::vector<PayrollEntry> &entries);
// "应补税" / "应退税" / "无需补退", and "无需办理汇算" where it may be skipped.
QString settlementText(const PayrollSettlement &s);
// The settlement sheet a row at a time, as for the month's results.
QStringList settlementTitles();
SheetRow settlementRow(const PayrollSettlement &s);
SheetRow settlementTotals(const std::vector<PayrollSettlement> &list);
// An employee's year so far: the recorded entries of the year before `month` (as
// PayrollLedger::entries gives them for the employee) and this month's entry, in month order.
std::vector<PayrollEntry> employeeYearSoFar(const std::vector<PayrollEntry> &recorded,
                                            const PayrollEntry &current);
SheetLayout settlementLayout(const std::vector<PayrollSettlement> &list, const QString &title);
