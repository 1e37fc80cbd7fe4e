// A month of wages under the current rules, for one employee at one withholding employer.
//
// The withholding client's wage template (正常工资薪金所得) gives the month's amounts per
// employee; the cumulative figures add the amounts of the months of the same year recorded
// earlier at this employer (PayrollState). computePayrollMonth works out the month's withholding,
// the annual one-time bonus and the net pay in integer fen; the tables, the basic deduction and
// the bonus rule come from engine/currentrules. Identity numbers are checked here too, since a
// wrong one files tax under someone else's name. QtCore only.
#pragma once

#include "engine/amount.h"
#include "engine/currentrules.h"

#include <QString>
#include <array>

// The fields of a month's row: the template's 29 columns in their order, then this program's own.
enum PayrollField : int
{
    PfCode,           // 工号
    PfName,           // *姓名
    PfIdType,         // *证件类型
    PfIdNumber,       // *证件号码
    PfIncome,         // 本期收入
    PfExempt,         // 本期免税收入
    PfPension,        // 基本养老保险费
    PfMedical,        // 基本医疗保险费
    PfUnemployment,   // 失业保险费
    PfHousingFund,    // 住房公积金
    PfChildEdu,       // 累计子女教育
    PfContinuingEdu,  // 累计继续教育
    PfLoanInterest,   // 累计住房贷款利息
    PfRent,           // 累计住房租金
    PfElderly,        // 累计赡养老人
    PfInfant,         // 累计3岁以下婴幼儿照护
    PfPrivatePension, // 累计个人养老金
    PfAnnuity,        // 企业(职业)年金
    PfHealth,         // 商业健康保险
    PfTaxDeferred,    // 税延养老保险
    PfTransport,      // 公务交通费用
    PfTelecom,        // 通讯费用
    PfLawyer,         // 律师办案费用
    PfTibet,          // 西藏附加减除费用
    PfOther,          // 其他
    PfDonation,       // 准予扣除的捐赠额
    PfRelief,         // 减免税额
    PfTreatyRelief,   // 协定减免
    PfRemark,         // 备注
    PfBonus,          // 全年一次性奖金
    PfFirstJob,       // 入职年度就业情形
    PfSixty,          // 全年减除费用6万元
    PfFieldCount
};
inline constexpr int kTemplateFieldCount = PfRemark + 1; // 29

// Whether a field holds an amount (本期收入 … 协定减免, and the bonus).
constexpr bool isPayrollAmount(int field)
{
    return (field >= PfIncome && field <= PfTreatyRelief) || field == PfBonus;
}
// The amounts by field; text fields keep 0 here.
using PayrollAmounts = std::array<Amount, PfFieldCount>;

// The default identity document, also taken when the sheet has no 证件类型.
QString residentIdType(); // 居民身份证

// A month's row as read: texts trimmed, the identity number as given.
struct PayrollInput
{
    int sheetRow = 0; // 1-based
    QString code, name, idType, idNumber, remark;
    PayrollAmounts amounts{};
    bool firstJob = false; // 入职年度就业情形 names a first job of the year at this employer
    int sixty = -1;        // 全年减除费用6万元: 1 是, 0 否, -1 not given
};

// What the months of the year recorded before this one hold for an employee at this employer.
struct PayrollState
{
    int months = 0;        // recorded months of the year before this one
    Amount income = 0;     // 本期收入 plus merged bonuses
    Amount exempt = 0;     // 本期免税收入
    Amount special = 0;    // 专项扣除
    Amount other = 0;      // other deductions
    Amount donation = 0;   // allowed donations
    Amount relief = 0;     // 减免税额 + 协定减免
    Amount withheld = 0;   // the wage tax withheld, separate bonus taxes not included
    Amount wageIncome = 0; // every wage income, every bonus included (the 60,000 rule's measure)
    Amount bonusTax = 0;   // separate bonus taxes
    bool firstJob = false; // an earlier month of the year was a first job
    int sixty = -1;        // the 60,000 rule as the latest earlier month took it; -1 none
    // The earlier month whose bonus was taxed separately (once a year at most); 0 none.
    int separateBonusMonth = 0;
};

struct PayrollEntry
{
    PayrollInput input;
    int year = 0, month = 0;
    int months = 0; // n: the recorded months of the year including this one
    bool firstJob = false;
    bool sixty = false;
    Amount special = 0;    // this month's 专项扣除
    Amount additional = 0; // the cumulative 专项附加扣除 the sheet gives
    Amount other = 0;      // this month's other deductions
    Amount relief = 0;     // this month's 减免税额 + 协定减免
    Amount cumulativeIncome = 0;
    Amount cumulativeExempt = 0;
    Amount cumulativeBasic = 0;
    Amount cumulativeSpecial = 0;
    Amount cumulativeAdditional = 0;
    Amount cumulativeOther = 0;
    Amount cumulativeDonation = 0;
    Amount cumulativeTaxable = 0;
    int rate = 0;
    Amount quickDeduction = 0;
    Amount cumulativeTax = 0;
    Amount cumulativeRelief = 0;
    Amount withheldBefore = 0;
    Amount withheld = 0; // this month's wage withholding, never negative
    CurrentRules::BonusMethod bonusMethod = CurrentRules::BonusMethod::Separate;
    Amount bonusTax = 0; // the separate bonus tax; 0 when merged
    Amount net = 0;      // 实发数
};

// The bonus method a period takes when none is asked for: separate while allowed, else merged.
CurrentRules::BonusMethod defaultBonusMethod(int year);

// The month's figures. `sixtyFromLastYear` is the 60,000 rule as the previous year at this
// employer decides it; the sheet's column and an earlier month of the year come first. The bonus
// method must be Separate or Merged, and Separate only for a year that allows it.
PayrollEntry computePayrollMonth(const PayrollInput &in, const PayrollState &before, int year, int month,
                                 CurrentRules::BonusMethod bonusMethod, bool sixtyFromLastYear);
// The state after a computed month, for the next one.
PayrollState stateAfter(const PayrollState &before, const PayrollEntry &entry);

// The check character of 17 digits (GB 11643), or a null character for anything else.
QChar idCheckCharacter(QStringView first17);
// Checks an identity number of a document type as of a period: a 居民身份证 needs 17 digits and
// the right check character with a real birth date not after the period (year, month); other types
// a non-empty number of letters, digits and hyphens. Returns an empty text when it is right, else
// the Chinese reason. `number` is trimmed and a lower-case x check character upper-cased.
QString checkIdNumber(const QString &idType, QString *number, int year, int month);
