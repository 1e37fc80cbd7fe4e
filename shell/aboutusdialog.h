// The about box: product, line of functions, version and the tax rules the program applies, under
// the skin's title bar.
#pragma once

#include "shell/skinnedframe.h"

#include <QDialog>

// The rules line of the about box, also stated at the head of the help document.
inline const QString kAppliedRulesText =
    QStringLiteral("计税依据：2011年9月1日起施行的个人所得税规定，工资薪金每月减除费用3500元"
                   "（外籍人员4800元），适用七级超额累进税率表。");

class AboutUsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutUsDialog(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    FrameDrag m_drag;
};
