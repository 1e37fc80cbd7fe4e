// A list view that announces every change of its current index (the expression builder follows
// the choice in its lists with it).
#pragma once

#include <QListView>

class PListView : public QListView
{
    Q_OBJECT
public:
    explicit PListView(QWidget *parent = nullptr);
    ~PListView() override;

signals:
    void changedToCurrent(const QModelIndex &current);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
};
