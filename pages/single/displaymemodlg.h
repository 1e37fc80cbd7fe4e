// The modal dialog that shows a calculation-process text under a large title. Shared by the
// single-person pages, each with its own title.
#pragma once

#include <QDialog>

class QLabel;
class QTextBrowser;

class DisplayMemoDlg : public QDialog
{
    Q_OBJECT
public:
    DisplayMemoDlg(const QString &title, const QString &text, QWidget *parent = nullptr);

    QString text() const;

private:
    QLabel *m_title;
    QTextBrowser *m_browser;
};
