#include "pages/single/pagekit.h"

#include "engine/ratetable.h"
#include "engine/salary.h"
#include "pages/single/historypanel.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace pagekit {

namespace {

const QString kActionStyle = QStringLiteral("QPushButton{border-radius:5px; background:rgb(110, 190, 10); "
                                            "color:white;}QPushButton:hover{background:rgb(140, 220, 35);}");
const QString kSelectionStyle = QStringLiteral(
    "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}");
const QString kHandleStyle = QStringLiteral("QSplitter::handle{background:lightgray;}");
const QString kResultStyle = QStringLiteral("color:rgb(0, 120, 230); background:transparent;");

QSplitter *thinSplitter(Qt::Orientation orientation, QWidget *parent)
{
    auto *splitter = new QSplitter(orientation, parent);
    splitter->setHandleWidth(1);
    splitter->setStyleSheet(kHandleStyle);
    splitter->setChildrenCollapsible(false);
    return splitter;
}

void pinHandles(QSplitter *splitter)
{
    for (int i = 1; i < splitter->count(); ++i)
        splitter->handle(i)->setEnabled(false);
}

} // namespace

void makeWhite(QWidget *page)
{
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, Qt::white);
    page->setPalette(pal);
}

namespace {

// A wheel turned over a box the user is not editing scrolls the page instead of changing the amount.
class AmountBox : public QDoubleSpinBox
{
public:
    using QDoubleSpinBox::QDoubleSpinBox;

protected:
    void wheelEvent(QWheelEvent *event) override
    {
        if (!hasFocus()) {
            event->ignore();
            return;
        }
        QDoubleSpinBox::wheelEvent(event);
    }
};

} // namespace

QDoubleSpinBox *amountInput(QWidget *parent)
{
    auto *box = new AmountBox(parent);
    box->setFocusPolicy(Qt::StrongFocus);
    box->setDecimals(2);
    box->setRange(0, kMaxInputYuan);
    box->setValue(0);
    box->setPrefix(QString());
    box->setMinimumWidth(120);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QLabel *headline(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(12);
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color:gray;"));
    return label;
}

void styleAsAction(QPushButton *button)
{
    button->setStyleSheet(kActionStyle);
    button->setCursor(Qt::PointingHandCursor);
}

QPushButton *calcButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setIcon(QIcon(QStringLiteral(":/contentWidget/calc")));
    button->setIconSize(QSize(45, 45));
    button->setFixedSize(120, 50);
    QFont font = button->font();
    font.setPointSize(12);
    button->setFont(font);
    styleAsAction(button);
    return button;
}

QPushButton *actionButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFixedSize(110, 30);
    styleAsAction(button);
    return button;
}

QLabel *resultCaption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setStyleSheet(kResultStyle);
    return label;
}

QLabel *resultValue(QWidget *parent, bool blue)
{
    auto *label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSize(12);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setStyleSheet(blue ? kResultStyle : QStringLiteral("background:transparent;"));
    return label;
}

QGroupBox *thresholdGroup(QWidget *parent, QRadioButton **local, QRadioButton **foreign)
{
    auto *box = new QGroupBox(QStringLiteral("个税免征额"), parent);
    box->setFixedSize(260, 75);
    // Scoped to the box and its radio texts: a bare style would also strip the radio indicators.
    box->setStyleSheet(QStringLiteral("QGroupBox, QRadioButton{color:rgb(0, 120, 230);}"
                                      "QGroupBox{background:transparent;}"));
    *local = new QRadioButton(QStringLiteral("3500元"), box);
    *foreign = new QRadioButton(QStringLiteral("4800元(外籍人员)"), box);
    (*local)->setChecked(true);
    auto *layout = new QHBoxLayout(box);
    layout->addWidget(*local);
    layout->addWidget(*foreign);
    return box;
}

QSplitter *pageSplitter(QWidget *work, QWidget *threshold, HistoryPanel *history, bool fixed, QWidget *parent)
{
    // The list widens its columns for wide fonts; the column follows, so no caption is cut off.
    const QTableWidget *list = history->list();
    const int listWidth = list->horizontalHeader()->length() + 2 * list->frameWidth() +
                          list->verticalScrollBar()->sizeHint().width();
    history->setMinimumWidth(std::max(threshold->width(), listWidth + 12));
    auto *right = thinSplitter(Qt::Vertical, parent);
    right->addWidget(threshold);
    right->addWidget(history);
    right->setStretchFactor(1, 1);
    auto *main = thinSplitter(Qt::Horizontal, parent);
    main->addWidget(work);
    main->addWidget(right);
    main->setStretchFactor(0, 1);
    if (fixed) {
        pinHandles(right);
        pinHandles(main);
    }
    return main;
}

void styleResultTable(QTableWidget *table)
{
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(35);
    table->horizontalHeader()->setMinimumHeight(35);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setShowGrid(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setStyleSheet(kSelectionStyle);
}

QTableWidgetItem *valueItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QTableWidgetItem *captionItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

void setRowTexts(QTableWidget *table, int row, int first, const QStringList &texts)
{
    for (int i = 0; i < texts.size(); ++i) {
        if (QTableWidgetItem *item = table->item(row, first + i))
            item->setText(texts.at(i));
        else
            table->setItem(row, first + i, valueItem(texts.at(i)));
    }
}

void tintRow(QTableWidget *table, int row, const QColor &color, int first)
{
    for (int c = first; c < table->columnCount(); ++c) {
        QTableWidgetItem *item = table->item(row, c);
        if (!item) {
            item = valueItem(QString());
            table->setItem(row, c, item);
        }
        item->setBackground(color);
    }
}

QStringList itemTexts(const TaxItem *item)
{
    if (!item)
        return QStringList(5);
    QStringList texts{formatAmount(item->amount), formatAmount(item->tax), formatAmount(item->afterTax)};
    if (item->bracket)
        texts << QString::number(item->bracket->rate) + u'%' << formatAmount(item->bracket->quickDeduction);
    else
        texts << QString() << QString();
    return texts;
}

QStringList totalTexts(Amount taxable, Amount tax, Amount net)
{
    return {formatAmount(taxable), formatAmount(tax), formatAmount(net)};
}

bool isInputValue(double yuan)
{
    return std::isfinite(yuan) && yuan >= 0 && yuan <= kMaxInputYuan;
}

} // namespace pagekit
