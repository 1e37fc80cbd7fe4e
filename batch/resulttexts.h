// The batch core's own helpers for writing the cell texts of a result row: each text goes to the
// column the catalogue gives its (group, column) in the result tree of the calculation at hand,
// and a text whose column that tree does not have is left out. Shared by the calculation, planning
// and apportion rows so that their figures read the same way. Not for the pages.
#pragma once

#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "engine/amount.h"
#include "engine/salary.h"

#include <QString>

#include <memory>
#include <vector>

// While one lives, the figures appended on its thread are kept in its blocks of memory instead of
// a heap string each: a large result sheet holds millions of them, and their allocations were most
// of its layout time and a good part of its memory. The texts point into the arena without
// owning it, so it must outlive every copy of them; a text that is changed copies itself out.
// For a run that builds, writes and drops a whole sheet in one scope. Arenas nest.
class ResultTextArena
{
public:
    ResultTextArena();
    ~ResultTextArena();
    ResultTextArena(const ResultTextArena &) = delete;
    ResultTextArena &operator=(const ResultTextArena &) = delete;

    // The calling thread's innermost arena, or null.
    static ResultTextArena *current();
    // A text with the characters of `text`, held by the arena.
    QString keep(QStringView text);

private:
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    qsizetype m_used = 0;
    qsizetype m_size = 0;
    ResultTextArena *m_outer = nullptr;
};

void appendResultText(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, int id,
                      const QString &text);

void appendResultFigure(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, int id,
                        Amount amount);

// Taxable amount, tax and after-tax of an item, and its row's rate and quick deduction.
void appendResultItem(std::vector<ResultText> &out, CatalogueTree tree, GroupKind kind, const TaxItem &item);
