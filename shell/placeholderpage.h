// Stands in for a function page that is not built yet: its name on a plain white page.
#pragma once

#include <QWidget>

class PlaceholderPage : public QWidget
{
    Q_OBJECT
public:
    PlaceholderPage(const QString &name, QWidget *parent = nullptr);
};
