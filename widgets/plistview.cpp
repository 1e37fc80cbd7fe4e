#include "widgets/plistview.h"

PListView::PListView(QWidget *parent) : QListView(parent) {}

PListView::~PListView() = default;

void PListView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The base repaints the old and the new current item and closes an open editor.
    QListView::currentChanged(current, previous);
    emit changedToCurrent(current);
}
