#include "batch/resulttexts.h"

void appendResultText(std::vector<ResultText> &out, CatalogueTree tree, int kind, int id, const QString &text)
{
    const int column = ColumnCatalogue::instance().resultColumn(tree, kind, id);
    if (column >= 0)
        out.push_back({column, text});
}

void appendResultFigure(std::vector<ResultText> &out, CatalogueTree tree, int kind, int id, Amount amount)
{
    appendResultText(out, tree, kind, id, formatAmount(amount));
}

void appendResultItem(std::vector<ResultText> &out, CatalogueTree tree, int kind, const TaxItem &item)
{
    appendResultFigure(out, tree, kind, ColTaxable, item.amount);
    appendResultFigure(out, tree, kind, ColTax, item.tax);
    appendResultFigure(out, tree, kind, ColNet, item.afterTax);
    if (item.bracket) {
        appendResultText(out, tree, kind, ColRate, QString::number(item.bracket->rate) + u'%');
        appendResultFigure(out, tree, kind, ColQuickDeduction, item.bracket->quickDeduction);
    }
}
