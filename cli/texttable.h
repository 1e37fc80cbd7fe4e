// A plain-text table for terminals: columns padded to the widest cell, CJK characters counted as
// two columns so Chinese captions line up with the figures.
#pragma once

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
