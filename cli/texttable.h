// A plain-text table for terminals: columns padded to the widest cell, CJK characters counted as
// two columns so Chinese captions line up with the figures.
#pragma once

#include "engine/salary.h"

#include <QList>
#include <QStringList>

class TextTable
{
public:
    explicit TextTable(QStringList header) { m_rows << std::move(header); }
    void addRow(QStringList cells) { m_rows << std::move(cells); }
    // The first column is left-aligned, the others right-aligned.
    QString render() const;

    static int displayWidth(const QString &text);

private:
    QList<QStringList> m_rows;
};

// The result-table layout of the calculation pages: a caption, then amount, tax, after-tax, rate
// and quick deduction; empty cells where an item or its row is missing.
QStringList itemTableHeader(const QString &corner = QString());
QStringList itemRow(const QString &caption, const std::unique_ptr<TaxItem> &item);
// taxableTotal, taxTotal and netTotal under the first three figure columns.
QStringList totalsRow(const QString &caption, const Salary &s);
