#include "batch/resulttexts.h"

#include <charconv>

void appendResultText(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, int id,
                      const QString &text)
{
    const int column = ColumnCatalogue::instance().resultColumn(tree, kind, id);
    if (column >= 0)
        out.push_back({column, text});
}

namespace {

thread_local ResultTextArena *innermost = nullptr;

constexpr qsizetype kArenaBlock = qsizetype(1) << 18; // characters

} // namespace

ResultTextArena::ResultTextArena() : m_outer(innermost)
{
    innermost = this;
}

ResultTextArena::~ResultTextArena()
{
    innermost = m_outer;
}

ResultTextArena *ResultTextArena::current()
{
    return innermost;
}

QString ResultTextArena::keep(QStringView text)
{
    if (text.size() > kArenaBlock / 16)
        return text.toString();
    if (m_blocks.empty() || m_used + text.size() > m_size) {
        m_blocks.push_back(std::make_unique<char16_t[]>(size_t(kArenaBlock)));
        m_used = 0;
        m_size = kArenaBlock;
    }
    char16_t *at = m_blocks.back().get() + m_used;
    std::copy(text.utf16(), text.utf16() + text.size(), at);
    m_used += text.size();
    return QString::fromRawData(reinterpret_cast<const QChar *>(at), text.size());
}

void appendResultFigure(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, int id,
                        Amount amount)
{
    const int column = ColumnCatalogue::instance().resultColumn(tree, kind, id);
    if (column < 0)
        return;
    if (ResultTextArena *arena = ResultTextArena::current()) {
        char16_t text[kAmountTextMax];
        out.push_back({column, arena->keep(QStringView(text, writeAmount(text, amount)))});
    } else {
        out.push_back({column, formatAmount(amount)});
    }
}

namespace {

// A rate as "20%".
void appendResultRate(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, qint32 rate)
{
    ResultTextArena *arena = ResultTextArena::current();
    if (!arena) {
        appendResultText(out, tree, kind, ColRate, QString::number(rate) + u'%');
        return;
    }
    const int column = ColumnCatalogue::instance().resultColumn(tree, kind, ColRate);
    if (column < 0)
        return;
    char digits[16];
    const int length = int(std::to_chars(digits, digits + sizeof digits, rate).ptr - digits);
    char16_t text[17];
    std::copy(digits, digits + length, text);
    text[length] = u'%';
    out.push_back({column, arena->keep(QStringView(text, length + 1))});
}

} // namespace

void appendResultItem(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, const TaxItem &item)
{
    appendResultFigure(out, tree, kind, ColTaxable, item.amount);
    appendResultFigure(out, tree, kind, ColTax, item.tax);
    appendResultFigure(out, tree, kind, ColNet, item.afterTax);
    if (item.bracket) {
        appendResultRate(out, tree, kind, item.bracket->rate);
        appendResultFigure(out, tree, kind, ColQuickDeduction, item.bracket->quickDeduction);
    }
}
