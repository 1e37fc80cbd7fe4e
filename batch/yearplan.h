// Year-end bonus planning of a whole salary sheet under the rules in force since 2019.
//
// Each row of the sheet describes one employee's year: the monthly wage (paid 12 times), the
// monthly 三险一金, 专项附加扣除 and 其他扣除, and the planned annual one-time bonus. From it the
// year's pay P = 12 × wage + bonus and the year's deductions E = 60,000 + 12 × the three monthly
// deductions; the plan then compares the planned split (the wages by the annual table, the bonus
// taxed separately), everything paid as wages, and the cheapest split CurrentRules::bestSplit finds,
// and says whether the planned bonus lies in a blind zone of the separate table.
//
// The plan of a row takes the year as P, the deductions and the planned bonus (YearPlanInput), so a
// year put together from other sources than one sheet row plans the same way. Rows are planned on
// every core; the layout of the result sheet is built here as well, so the command line and a
// window show the same sheet. QtCore only.
#pragma once

#include "batch/batchrun.h"
#include "batch/sheetlayout.h"
#include "batch/sheetsource.h"
#include "engine/amount.h"
#include "engine/currentrules.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

struct ImportSetting;
class Workbook;
class Sheet;

// The target columns a year-plan sheet is read into, in this order.
enum YearPlanSourceColumn : int
{
    YearCode = 0,
    YearName = 1,
    YearMonthlyGross = 2, // 月应发工资
    YearInsurance = 3,    // 三险一金 (a month)
    YearSpecial = 4,      // 专项附加扣除 (a month)
    YearOther = 5,        // 其他扣除 (a month)
    YearBonus = 6,        // 全年一次性奖金 (the planned bonus)
    kYearPlanSourceColumns = 7
};

// The titles of the target columns, which --map and formulas in brackets name.
QStringList yearPlanSourceTitles();
// The target column of a worksheet title or a --map name: the titles above and their synonyms
// (年终奖金 for 全年一次性奖金, and those the batch pages recognise for code, name, wage and
// insurance); -1 for anything else. Exact comparison of whole texts.
int matchYearPlanTitle(const QString &title);
// The import formulas of the target columns: the columns of a saved setting whose titles match,
// or without a setting the worksheet columns whose titles match (the later of two wins).
QStringList yearPlanFormulas(const QStringList &sheetTitles, const ImportSetting *setting);

// One employee's year.
struct YearPlanInput
{
    Amount annual = 0;       // P: the year's wages and bonus together
    Amount insurance = 0;    // the year's 三险一金
    Amount deductions = 0;   // the year's 专项附加扣除 and 其他扣除
    Amount plannedBonus = 0; // the bonus the sheet plans, at most P
    // The largest bonus the best split may take; -1 for all of P. A year whose earlier months are
    // already paid (the payroll ledger's) can only split the last month's budget.
    Amount bonusLimit = -1;
    // The year's basic deduction: 60,000 for a sheet's whole year; for a year kept month by month,
    // 5,000 a month at this employer (a first job: the months of the year; the 60,000 rule: 60,000).
    Amount basic = CurrentRules::kBasicDeductionAnnual;
    // Tax relief (减免税额) of the year: taken off the wages' tax, which stays at 0 or more.
    Amount relief = 0;
};

// The year of a sheet row (amounts by YearPlanSourceColumn from YearMonthlyGross on, a month each
// but the bonus).
YearPlanInput yearPlanInputOf(const SheetRecord &record);

struct YearPlan
{
    Amount annual = 0;
    Amount deductions = 0; // E: the basic deduction + 三险一金 + 专项附加扣除 + 其他扣除
    Amount plannedBonus = 0;
    Amount plannedTax = 0; // the wages by the annual table plus the planned bonus taxed separately
    Amount mergedTax = 0;  // everything taxed as wages
    Amount bestBonus = 0;
    Amount bestWages = 0;
    Amount bestMonthly = 0; // the larger of the 12 monthly wages, which differ by a fen at most
    Amount bestTax = 0;
    Amount bestBonusTax = 0; // the separate tax of bestBonus; bestTax less it is the wages' tax
    Amount saving = 0;       // plannedTax − bestTax, never negative
    int blindZone = -1;      // the planned bonus's zone in CurrentRules::bonusBlindZones(), or -1
};

YearPlan planYear(const YearPlanInput &in);

struct YearPlanTotals
{
    Amount annual = 0, plannedBonus = 0, plannedTax = 0, mergedTax = 0;
    Amount bestBonus = 0, bestTax = 0, saving = 0;
    int inBlindZone = 0;
    void add(const YearPlan &plan);
};

struct YearPlanRun
{
    std::vector<YearPlan> plans; // in input order
    YearPlanTotals totals;
};
// Every input planned, one slice of rows per core (`threads` 0: every core). `control` as for the
// batch runs: a cancelled run's plans and totals are not meaningful.
YearPlanRun runYearPlans(const std::vector<YearPlanInput> &inputs, int threads = 0,
                         const RunControl &control = {});

// "36,000–38,566.67" for a zone's index, empty for -1.
QString blindZoneText(int zone);

// A group of a result sheet's columns: its title over the titles of its columns.
struct YearPlanColumnGroup
{
    QString title;
    QStringList columns;
};
// The two heading rows of a result sheet, its title span and its column widths (`wide` columns
// 140 pixels, the first 40, the rest 110).
void setYearPlanHeadings(SheetLayout *layout, const std::vector<YearPlanColumnGroup> &groups,
                         const std::vector<int> &wide);

// The result sheet: a title (none when empty), two heading rows, one row per record with its plan
// and the totals row. `records` and `plans` match index by index.
SheetLayout yearPlanLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                           const YearPlanTotals &totals, const QString &title);

// The completion message: how many employees, how many in a blind zone, the sentence about
// unreadable amount cells when there were any.
QString yearPlanCompletionMessage(int count, int inBlindZone, int unreadableCells);

// The workbook and worksheet an import settled, loaded (off the window's thread; `cancelled`, when
// given, is asked while the file is read). False with a Chinese message when the file cannot be
// read, the read was cancelled or the worksheet is gone.
struct LoadedSheet
{
    std::unique_ptr<Workbook> book;
    const Sheet *sheet = nullptr;
    LoadedSheet();
    LoadedSheet(LoadedSheet &&) noexcept;
    LoadedSheet &operator=(LoadedSheet &&) noexcept;
    ~LoadedSheet();
};
bool loadSheetImport(const SheetImport &import, LoadedSheet *out, QString *error,
                     const std::function<bool()> &cancelled = {});
// The rows of a year sheet by the import's formulas (one per YearPlanSourceColumn; missing ones
// empty), read as lumo-cli batch plan --rules 2019 reads them.
SheetRecords readYearSheet(const LoadedSheet &loaded, const SheetImport &import);

// A year sheet read and planned: what a window shows of it.
struct YearSheetRun
{
    std::vector<SheetRecord> records;
    std::vector<YearPlan> plans; // matching records
    YearPlanTotals totals;
    int rowsRead = 0, rowsSkipped = 0;
    std::vector<UnreadableCell> unreadable;
};
// Loads, reads and plans the sheet of an import. False with a Chinese message when the workbook
// cannot be read or the import maps neither 编码 nor 姓名; false with no message when
// `control.cancel` was set, which the read of the workbook and the planning look at every few
// rows. `control.progress`, when given, is called with the part done in percent (done of 100):
// half for reading the workbook, up to 80 for its rows, the rest for planning them.
bool runYearSheet(const SheetImport &import, YearSheetRun *out, QString *error,
                  const RunControl &control = {});

// What an export of a planned sheet holds: every employee with the planned, all-as-wages and best
// splits; the planned split only; the best split only; or the comparison of the employees whose
// best split saves tax. The totals row of each adds up the rows above it.
enum class YearPlanScope
{
    Compare,
    Planned,
    Best,
    Saving
};
QString yearPlanScopeName(YearPlanScope scope);
inline constexpr YearPlanScope kYearPlanScopes[] = {YearPlanScope::Compare, YearPlanScope::Planned,
                                                    YearPlanScope::Best, YearPlanScope::Saving};
SheetLayout yearPlanLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                           const QString &title, YearPlanScope scope);

// The bonus methods compared for a year: the planned bonus taxed separately (the plan's planned
// tax) or merged with the wages. When the year no longer allows a separate bonus only the merged
// tax applies. Ties count as merged being no dearer.
bool separateCheaper(const YearPlan &plan, bool separateAllowed);
Amount cheaperTax(const YearPlan &plan, bool separateAllowed);
struct BonusMethodTotals
{
    Amount annual = 0, bonus = 0, separate = 0, merged = 0, cheaper = 0;
    int separateCount = 0; // employees for whom the separate tax is cheaper
    void add(const YearPlan &plan, bool separateAllowed);
};
// The comparison sheet: per employee the year, the bonus, both taxes, the cheaper method and its
// tax and what it saves against the other; a totals row.
SheetLayout bonusMethodLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                              const QString &title, bool separateAllowed);
