#include "widgets/pagekit.h"

#include "engine/ratetable.h"
#include "engine/salary.h"
#include "widgets/historypanel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
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

QGridLayout *inputGrid(const QStringList &captions, const QList<QWidget *> &fields, int perRow,
                       QWidget *parent)
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    for (int i = 0; i < fields.size(); ++i) {
        auto *caption = new QLabel(captions.value(i), parent);
        caption->setBuddy(fields.at(i));
        const int row = i / perRow;
        const int column = 3 * (i % perRow);
        grid->addWidget(caption, row, column);
        grid->addWidget(fields.at(i), row, column + 1);
        // A gap between one field and the next caption.
        if (i % perRow + 1 < perRow)
            grid->setColumnMinimumWidth(column + 2, 14);
    }
    return grid;
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

int rightColumnWidth(const QFont &font)
{
    // The widest list of any page: 85 for the time, 82 for each figure, widened for wide fonts as
    // HistoryPanel widens its columns; then the list's frame, its scroll bar and the box's margins.
    const QFontMetrics metrics(font);
    const int time = std::max(85, metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 14);
    const int figure = std::max(82, metrics.horizontalAdvance(QStringLiteral("单位开支减少")) + 14);
    QScrollBar bar(Qt::Vertical);
    return std::max(260, time + 2 * figure + 4 + bar.sizeHint().width() + 12);
}

QSplitter *pageSplitter(QWidget *work, QWidget *threshold, HistoryPanel *history, bool fixed, QWidget *parent)
{
    auto *right = thinSplitter(Qt::Vertical, parent);
    // At least as wide as on every other page; on the pages whose handle moves, the user may widen it.
    right->setMinimumWidth(rightColumnWidth(history->list()->font()));
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

namespace {

class ColumnFitter : public QObject
{
public:
    ColumnFitter(QTableWidget *table, const QList<int> &widths)
        : QObject(table), m_table(table), m_widths(widths)
    {
        const QFontMetrics metrics(table->horizontalHeader()->font());
        for (int c = 0; c < m_widths.size(); ++c) {
            int least = 0;
            if (const QTableWidgetItem *header = table->horizontalHeaderItem(c))
                least = metrics.horizontalAdvance(header->text());
            // The caption cells (row names, the captions of a comparison) are there from the start.
            // A caption on two lines needs its longer line.
            for (int r = 0; r < table->rowCount(); ++r) {
                if (const QTableWidgetItem *item = table->item(r, c)) {
                    for (const QString &line : item->text().split(u'\n'))
                        least = std::max(least, metrics.horizontalAdvance(line));
                }
            }
            m_least << std::min(m_widths.at(c), least > 0 ? least + 16 : 1);
        }
        // The last column stretches over what is left, but never below the header's least section.
        if (!m_widths.isEmpty() && table->horizontalHeader()->stretchLastSection()) {
            const int least = table->horizontalHeader()->minimumSectionSize();
            m_widths.last() = std::max(m_widths.last(), least);
            m_least.last() = m_widths.last();
        }
        table->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_table && event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply()
    {
        const int room =
            m_table->width() - 2 * m_table->frameWidth() -
            (m_table->verticalScrollBar()->isVisible() ? m_table->verticalScrollBar()->width() : 0);
        int wanted = 0;
        int spare = 0;
        for (int c = 0; c < m_widths.size(); ++c) {
            wanted += m_widths.at(c);
            spare += m_widths.at(c) - m_least.at(c);
        }
        const int excess = std::max(0, wanted - room);
        for (int c = 0; c < m_widths.size(); ++c) {
            const int give =
                spare > 0
                    ? std::min(m_widths.at(c) - m_least.at(c),
                               int((qint64(excess) * (m_widths.at(c) - m_least.at(c)) + spare - 1) / spare))
                    : 0;
            m_table->setColumnWidth(c, m_widths.at(c) - give);
        }
    }

    QTableWidget *m_table;
    QList<int> m_widths;
    QList<int> m_least;
};

class EnterClicks : public QObject
{
public:
    EnterClicks(QAbstractSpinBox *box, QAbstractButton *button) : QObject(box), m_box(box), m_button(button)
    {
        box->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_box || event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        m_box->interpretText();
        if (m_button->isEnabled())
            m_button->click();
        return true;
    }

private:
    QAbstractSpinBox *m_box;
    QAbstractButton *m_button;
};

} // namespace

void fitColumns(QTableWidget *table, const QList<int> &widths)
{
    new ColumnFitter(table, widths);
}

void clickOnEnter(QAbstractSpinBox *box, QAbstractButton *button)
{
    new EnterClicks(box, button);
}

QLabel *tableNote(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setStyleSheet(QStringLiteral("color:gray;"));
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->hide();
    return label;
}

void showInsuranceNote(QLabel *note, Amount monthlyGross, Amount insurance)
{
    note->setText(kInsuranceNoteText);
    note->setVisible(insurance > monthlyGross);
}

ResultWatch::ResultWatch(QWidget *page) : QObject(page), m_notice(new QLabel(kStaleNoticeText, page))
{
    m_notice->setStyleSheet(QStringLiteral("color:rgb(230, 110, 0);"));
    QFont font = m_notice->font();
    font.setBold(true);
    m_notice->setFont(font);
    QSizePolicy policy = m_notice->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_notice->setSizePolicy(policy);
    m_notice->hide();
}

void ResultWatch::watchInputs(const QList<QWidget *> &inputs)
{
    for (QWidget *input : inputs) {
        if (auto *box = qobject_cast<QDoubleSpinBox *>(input))
            connect(box, &QDoubleSpinBox::valueChanged, this, &ResultWatch::markStale);
        else if (auto *count = qobject_cast<QSpinBox *>(input))
            connect(count, &QSpinBox::valueChanged, this, &ResultWatch::markStale);
        else if (auto *choice = qobject_cast<QComboBox *>(input))
            connect(choice, &QComboBox::currentIndexChanged, this, &ResultWatch::markStale);
        else if (auto *button = qobject_cast<QAbstractButton *>(input))
            connect(button, &QAbstractButton::toggled, this, &ResultWatch::markStale);
    }
}

void ResultWatch::addResults(const QList<QWidget *> &results)
{
    for (QWidget *widget : results) {
        // A table draws its cells in the palette's disabled text colour; an opacity effect over a
        // scrolled view composes badly, so only labels and their rows are faded.
        if (!qobject_cast<QAbstractItemView *>(widget)) {
            auto *effect = new QGraphicsOpacityEffect(widget);
            effect->setOpacity(0.35);
            effect->setEnabled(false);
            widget->setGraphicsEffect(effect);
        }
        m_results << widget;
    }
}

void ResultWatch::setFresh()
{
    setGreyed(false);
    m_armed = true;
}

void ResultWatch::setEmpty()
{
    setGreyed(false);
    m_armed = false;
}

void ResultWatch::markStale()
{
    if (m_armed && !m_stale)
        setGreyed(true);
}

void ResultWatch::setGreyed(bool greyed)
{
    m_stale = greyed;
    for (QWidget *widget : std::as_const(m_results)) {
        if (QGraphicsEffect *effect = widget->graphicsEffect())
            effect->setEnabled(greyed);
        else
            widget->setEnabled(!greyed);
    }
    m_notice->setVisible(greyed);
}

} // namespace pagekit
