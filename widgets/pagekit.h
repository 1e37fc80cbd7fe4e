// Building blocks shared by the planning, apportionment and inverse pages: the white page, the
// amount inputs, the green action buttons, the threshold box, the right-hand column with the
// history list, and the texts of a tax item in a result table. Layout and formatting only; the
// figures themselves always come from the TaxEngine.
#pragma once

#include "engine/amount.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QAbstractButton;
class QAbstractSpinBox;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTableWidget;
class QTableWidgetItem;
class QWidget;
class HistoryPanel;
struct TaxItem;

namespace pagekit {

// The rows a page tints to set "after" apart from "before".
inline const QColor kAfterRowColor{255, 204, 51};

// Paints the page white, so its gray and blue texts read the same on every skin.
void makeWhite(QWidget *page);

// A yuan input: 2 decimals, 0 to 999999999.99, starting at 0, right-aligned.
QDoubleSpinBox *amountInput(QWidget *parent);

// The inputs of a page in rows of `perRow`, each caption to the left of its field (and its buddy).
QGridLayout *inputGrid(const QStringList &captions, const QList<QWidget *> &fields, int perRow,
                       QWidget *parent);

// A gray bold headline in 12 pt.
QLabel *headline(const QString &text, QWidget *parent);

// The big green button (icon, 120 × 50, 12 pt) and the small one (110 × 30 unless sized).
QPushButton *calcButton(const QString &text, QWidget *parent);
QPushButton *actionButton(const QString &text, QWidget *parent);
void styleAsAction(QPushButton *button);

// A caption in the blue of the result lines, and a value label (12 pt bold, right-aligned; in the
// same blue where the page asks for it, else in the text colour).
QLabel *resultCaption(const QString &text, QWidget *parent);
QLabel *resultValue(QWidget *parent, bool blue = false);

// The "个税免征额" box with "3500元" (checked) and "4800元(外籍人员)", fixed 260 × 75.
QGroupBox *thresholdGroup(QWidget *parent, QRadioButton **local, QRadioButton **foreign);

// The width of the right-hand column (threshold box above history box), the same on every page:
// wide enough for the widest history list (time, two figures headed by six characters) in `font`.
int rightColumnWidth(const QFont &font);

// The page body: the work area on the left; on the right the threshold box above the history box.
// Both splitters have the 1-pixel light-gray handles; with `fixed` the handles do not move. The
// right column starts at rightColumnWidth() and extra room goes to the work area, so the pages line
// up when the user switches between them; where the handle moves, the user may still widen it.
QSplitter *pageSplitter(QWidget *work, QWidget *threshold, HistoryPanel *history, bool fixed,
                        QWidget *parent);

// The common look of a result table: no grid, rows of 35 pixels, whole-row single selection, not
// editable, the blue selection.
void styleResultTable(QTableWidget *table);

// A value cell (right-aligned, vertically centred) and a caption cell (centred).
QTableWidgetItem *valueItem(const QString &text);
QTableWidgetItem *captionItem(const QString &text);
// Sets the texts of row `row` from column `first` on, creating right-aligned cells where missing
// and keeping each cell's background.
void setRowTexts(QTableWidget *table, int row, int first, const QStringList &texts);
// Gives the cells of the row from column `first` on the background colour, creating empty value
// cells where missing.
void tintRow(QTableWidget *table, int row, const QColor &color, int first = 0);

// The five texts of a tax item in a result table: amount, tax, after-tax, rate with "%", quick
// deduction. Empty texts without an item; empty rate and deduction without a row.
QStringList itemTexts(const TaxItem *item);
// The three totals: taxable, tax, after-tax.
QStringList totalTexts(Amount taxable, Amount tax, Amount net);

// Lays out the table's columns at `widths`; where the table is narrower than their sum, narrows
// them in proportion, but never below what their captions need, so a table only scrolls sideways
// when its captions really do not fit. Follows the table's size from then on.
void fitColumns(QTableWidget *table, const QList<int> &widths);

// Enter (or the keypad's Enter) in the box clicks the button, as if the user had pressed it.
void clickOnEnter(QAbstractSpinBox *box, QAbstractButton *button);

// What the line under a table says when the deductions exceed the wage.
inline const QString kInsuranceNoteText = QStringLiteral("三险一金大于月应发工资，应税收入按 0 计算。");
// The gray line under a result table; it keeps its place while hidden, so nothing moves when it
// appears.
QLabel *tableNote(QWidget *parent);
// Shows kInsuranceNoteText when the 三险一金 exceed the monthly wage, else hides the line.
void showInsuranceNote(QLabel *note, Amount monthlyGross, Amount insurance);

// Keeps shown results honest: once the inputs change after a calculation, the results are greyed
// and the notice "输入已修改，请重新计算。" appears, until the page shows fresh results again.
class ResultWatch : public QObject
{
public:
    explicit ResultWatch(QWidget *page);

    // Inputs whose change makes the results stale: spin boxes (value), combo boxes (choice) and
    // buttons (checked).
    void watchInputs(const QList<QWidget *> &inputs);
    // The widgets that show the results; they are greyed while stale (tables disabled, so their
    // texts turn gray; other widgets faded).
    void addResults(const QList<QWidget *> &results);
    // The notice, for the page to place; it keeps its place while hidden.
    QLabel *notice() const { return m_notice; }

    // Results fresh from a calculation or a history entry: ungreyed, notice hidden, watching.
    void setFresh();
    // No results are shown (any more): ungreyed, notice hidden, nothing to watch for.
    void setEmpty();
    bool isStale() const { return m_stale; }

private:
    void markStale();
    void setGreyed(bool greyed);

    QList<QWidget *> m_results;
    QLabel *m_notice;
    bool m_armed = false;
    bool m_stale = false;
};

inline const QString kStaleNoticeText = QStringLiteral("输入已修改，请重新计算。");

} // namespace pagekit
