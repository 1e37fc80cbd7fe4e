#include "pages/single/displaymemodlg.h"

#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

DisplayMemoDlg::DisplayMemoDlg(const QString &title, const QString &text, QWidget *parent)
    : QDialog(parent), m_title(new QLabel(title, this)), m_browser(new QTextBrowser(this))
{
    setWindowTitle(title);
    resize(800, 600);
    QFont titleFont(QStringLiteral("微软雅黑"), 26);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setAlignment(Qt::AlignCenter);
    m_browser->setReadOnly(true);
    m_browser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_browser->setFont(QFont(QStringLiteral("微软雅黑"), 10));
    // Plain text: the process text is data, never markup.
    m_browser->setPlainText(text);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(5, 10, 10, 5);
    layout->addWidget(m_title);
    layout->addWidget(m_browser);
}

QString DisplayMemoDlg::text() const
{
    return m_browser->toPlainText();
}
