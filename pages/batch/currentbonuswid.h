// 奖金批量分摊 under the rules in force since 2019: apportioning a bonus over months no longer changes
// the year's tax under cumulative withholding, so the page compares the two methods the annual
// one-time bonus still has, for every employee of a year sheet: the year's tax with the bonus taxed
// separately and with it merged into the wages (the planned and merged taxes of the year plan,
// as lumo-cli batch plan --rules 2019 gives them), the cheaper one marked, and the totals of both
// and of the cheaper choice. A bonus paid after the last year that allows a separate tax is only
// merged, and the page says so.
#pragma once

#include "batch/yearplan.h"
#include "pages/batch/yearsheetpagebase.h"

class QLabel;
class QSpinBox;

class CurrentBonusWid : public YearSheetPageBase
{
    Q_OBJECT
public:
    explicit CurrentBonusWid(QWidget *parent = nullptr);
    ~CurrentBonusWid() override;

    // The tint of a row whose bonus is cheaper taxed separately.
    static QColor separateTint();

    // The year the bonus is paid in.
    void setYear(int year);
    int year() const;
    bool separateAllowed() const;

    const YearSheetRun &run() const { return m_run; }
    const BonusMethodTotals &totals() const { return m_totals; }

    std::vector<SheetExportChoice> exportChoices() const override;

protected:
    int importMode() const override;
    bool compute(const SheetImport &import, const RunControl &control, QString *error) override;
    void showPending() override;
    void writeOptions(CurrentSheetRecord *record) const override;
    void readOptions(const CurrentSheetRecord &record) override;
    std::pair<double, double> historyFigures() const override;

private:
    void showRun();

    QSpinBox *m_year;
    QLabel *m_yearNote;
    YearSheetRun m_pending, m_run;
    BonusMethodTotals m_totals;
};
