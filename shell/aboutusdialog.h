// The about box: product, line of functions, version and the two tax rules the program offers, under
// the skin's title bar.
#pragma once

#include "shell/skinnedframe.h"

#include <QDialog>

// The rules line of the about box, also stated at the head of the help document.
inline const QString kAppliedRulesText = QStringLiteral(
    "计税依据（在主菜单“计税规定”中选择）：现行规定（2019年起）——居民个人工资薪金按累计预扣法预扣预缴，"
    "每月减除费用5000元，适用年度七级超额累进税率表，年度汇算多退少补；全年一次性奖金在2027年12月31日前"
    "可单独计税。2011年规定——2011年9月1日起施行，工资薪金每月减除费用3500元（外籍人员4800元），"
    "适用七级超额累进税率表。");

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
