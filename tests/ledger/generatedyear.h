// A generated year of payroll: twelve monthly sheets in the withholding client's template for 300
// employees (resident and passport holders, first jobs from spring, a month off, the 60,000 rule,
// donations, relief, a December bonus), shared by the tests of lumo-cli month and of the window.
#pragma once

#include "batch/sheetlayout.h"
#include "engine/amount.h"

#include <QString>

namespace generatedyear {

using namespace Qt::StringLiterals;

constexpr int kEmployees = 300;

inline QString idOf(int k)
{
    if (k % 10 == 9)
        return u"P%1"_s.arg(k, 7, 10, QLatin1Char('0'));
    static const int w[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    const QString first = u"320102198506"_s + QString::number(10000 + k).right(5);
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first[i].unicode() - '0') * w[i];
    return first + QLatin1Char("10X98765432"[sum % 11]);
}

// One employee's month as the generated sheet gives it, in fen.
struct Pay
{
    bool present = true;
    qint64 income = 0, special = 0, additional = 0, annuity = 0, other = 0, donation = 0, relief = 0,
           bonus = 0;
    bool firstJob = false;
    int sixty = -1;
};

inline Pay payOf(int k, int m)
{
    Pay p;
    const int start = k % 25 == 5 ? 4 + k % 6 : 1; // a first job of the year from this month
    p.present = m >= start && !(k % 17 == 3 && m == 6);
    p.firstJob = start > 1 && m == start;
    p.income = k % 19 == 4 ? 400000 : 300000 + qint64(k) * 4321 % 5000000 + k % 100;
    p.special = (p.income * 105 + 500) / 1000;
    p.additional = qint64(k % 3) * 100000 * (m - start + 1);
    p.annuity = k % 4 == 2 ? 30000 : 0;
    p.other = k % 5 == 1 ? 20000 : 0;
    p.donation = k % 13 == 2 && m == 3 ? 100000 : 0;
    p.relief = k % 11 == 1 ? 5000 : 0;
    p.bonus = k % 7 == 0 && m == 12 ? p.income * 3 : 0;
    p.sixty = k % 19 == 4 && m == 1 ? 1 : -1;
    return p;
}

inline QString yuanText(qint64 fen)
{
    return formatAmount(fen);
}

inline bool writeMonthSheet(const QString &path, int m)
{
    SheetLayout layout;
    SheetRow head;
    for (const QString &t :
         {u"工号"_s, u"*姓名"_s, u"*证件类型"_s, u"*证件号码"_s, u"本期收入"_s, u"基本养老保险费"_s,
          u"累计子女教育"_s, u"企业(职业)年金"_s, u"其他"_s, u"准予扣除的捐赠额"_s, u"减免税额"_s,
          u"全年一次性奖金"_s, u"入职年度就业情形"_s, u"全年减除费用6万元"_s})
        head.cells.push_back({true, t, false, SheetCellStyle::Heading, 1});
    layout.headings.push_back(head);
    for (int k = 0; k < kEmployees; ++k) {
        const Pay p = payOf(k, m);
        if (!p.present)
            continue;
        SheetRow row;
        const auto text = [&](const QString &t) {
            row.cells.push_back({true, t, false, SheetCellStyle::BodyLeft, 1});
        };
        const auto money = [&](qint64 fen) {
            row.cells.push_back({true, yuanText(fen), true, SheetCellStyle::BodyRight, 1});
        };
        text(u"E%1"_s.arg(k));
        text(u"员工%1"_s.arg(k));
        text(k % 10 == 9 ? u"中国护照"_s : u"居民身份证"_s);
        text(idOf(k));
        for (qint64 v :
             {p.income, p.special, p.additional, p.annuity, p.other, p.donation, p.relief, p.bonus})
            money(v);
        text(p.firstJob ? u"当年首次入职其他人员"_s : QString());
        text(p.sixty == 1 ? u"是"_s : QString());
        layout.rows.push_back(std::move(row));
    }
    QString error;
    return writeSheetLayout(layout, path, &error);
}

} // namespace generatedyear
