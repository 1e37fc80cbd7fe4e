#include "shell/lumo.h"

#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "pages/batch/currentbonuswid.h"
#include "pages/batch/currentmonthwid.h"
#include "pages/batch/currentplanwid.h"
#include "pages/single/apportioncalcwid.h"
#include "pages/single/currentcalcwid.h"
#include "pages/single/currentcomparewid.h"
#include "pages/single/currentinversewid.h"
#include "pages/single/currentsavecalcwid.h"
#include "pages/single/inversecalcwid.h"
#include "pages/single/singlecalcwid.h"
#include "pages/single/singlesavecalcwid.h"
#include "shell/aboutusdialog.h"
#include "shell/config.h"
#include "shell/framegrip.h"
#include "shell/mainmenu.h"
#include "shell/placeholderpage.h"
#include "shell/skinwidget.h"
#include "shell/startup.h"
#include "shell/titlewidget.h"
#include "widgets/taxrules.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDoubleSpinBox>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

Lumo::Lumo(QWidget *parent) : QWidget(parent)
{
    setWindowIcon(QIcon(QStringLiteral(":/img/lumo.ico")));
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
    m_normalGeometry = geometry();
    m_skin = configuredSkin(kDefaultSkin);
    m_skinPixmap = QPixmap(m_skin);
    m_rules = configuredRules();
    m_title = new TitleWidget(this);
    m_pages = QList<QWidget *>(kFunctionCount, nullptr);

    m_mainMenu = new MainMenu(nullptr);
    m_skinWidget = new SkinWidget(this);
    m_skinWidget->hide();
    m_grip = new FrameGrip(this);

    connect(m_title, &TitleWidget::functionClicked, this, &Lumo::actFunction);
    connect(m_title, &TitleWidget::showSkin, this, &Lumo::showSkinWidget);
    connect(m_title, &TitleWidget::showMainMenu, this, &Lumo::showMainMenu);
    connect(m_title, &TitleWidget::showMax, this, &Lumo::showMax);
    connect(m_title, &TitleWidget::showMin, this, &Lumo::showMinimized);
    connect(m_title, &TitleWidget::closeWidget, qApp, &QApplication::quit);
    connect(m_mainMenu, &MainMenu::showHelp, this, &Lumo::showHelp);
    connect(m_mainMenu, &MainMenu::showLaws, this, &Lumo::showLaws);
    connect(m_mainMenu, &MainMenu::showAboutUs, this, &Lumo::showAboutUs);
    connect(m_skinWidget, &SkinWidget::changeSkin, this, &Lumo::changeSkin);
    connect(m_mainMenu, &MainMenu::rulesChosen, this, &Lumo::setRules);
    // Queued: the page asking is rebuilt by the switch, so it must have returned first.
    connect(TaxRulesHub::instance(), &TaxRulesHub::openRequested, this,
            [this](const QString &path, int function, TaxRules rules) {
                QTimer::singleShot(0, this,
                                   [this, path, function, rules] { openUnderRules(path, function, rules); });
            });

    m_pageArea = new QVBoxLayout;
    m_pageArea->setSpacing(0);
    m_pageArea->setContentsMargins(1, 0, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_title);
    layout->addLayout(m_pageArea);
    showRules();

    setMinimumSize(900, 600);
    // Wide enough for the widest result table (the apportionment comparison) beside the history
    // column, where the screen allows it.
    QSize size(1220, 700);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->availableGeometry();
        size = size.boundedTo(desktop.size()).expandedTo(minimumSize());
        resize(size);
        move(desktop.left() + (desktop.width() - width()) / 2,
             desktop.top() + (desktop.height() - height()) / 2);
    } else {
        resize(size);
    }
    setWindowTitle(QStringLiteral("岚舟个税节税筹划"));
}

Lumo::~Lumo()
{
    // The menu pops up on its own and has no parent widget.
    delete m_mainMenu;
}

QWidget *Lumo::createPage(int index, QWidget *parent)
{
    return createPage(index, TaxRules::Rules2011, parent);
}

QWidget *Lumo::createPage(int index, TaxRules rules, QWidget *parent)
{
    if (rules == TaxRules::Current) {
        switch (index) {
        case 0:
            return new CurrentCalcWid(parent);
        case 1:
            return new CurrentMonthWid(parent);
        case 2:
            return new CurrentSaveCalcWid(parent);
        case 3:
            return new CurrentPlanWid(parent);
        case 4:
            return new CurrentCompareWid(parent);
        case 5:
            return new CurrentBonusWid(parent);
        case 6:
            return new CurrentInverseWid(parent);
        default:
            break;
        }
    }
    switch (index) {
    case 0:
        return new SingleCalcWid(parent);
    case 1:
        return new BatchCalcWid(parent);
    case 2:
        return new SingleSaveCalcWid(parent);
    case 3:
        return new BatchSaveCalcWid(parent);
    case 4:
        return new ApportionCalcWid(parent);
    case 5:
        return new BatchApportionCalcWid(parent);
    case 6:
        return new InverseCalcWid(parent);
    default:
        // Functions whose pages are not built yet.
        return new PlaceholderPage(functionName(index), parent);
    }
}

void Lumo::actFunction(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    if (!m_pages[index])
        m_pages[index] = createPage(index, m_rules, this);
    m_current = index;
    while (QLayoutItem *item = m_pageArea->takeAt(0))
        delete item; // the layout item only; the page widget stays
    QWidget *page = m_pages[index];
    m_pageArea->addWidget(page);
    page->show();
    for (int i = 0; i < m_pages.size(); ++i) {
        if (i != index && m_pages[i])
            m_pages[i]->hide();
    }
}

void Lumo::showRules()
{
    m_title->setRulesText(QStringLiteral("【%1】").arg(taxRulesName(m_rules)));
    m_title->setFunctionText(4,
                             m_rules == TaxRules::Current ? QStringLiteral("奖金计税比较") : functionName(4));
    m_title->setFunctionText(5,
                             m_rules == TaxRules::Current ? QStringLiteral("批量奖金比较") : functionName(5));
    m_mainMenu->setRules(m_rules);
    setWindowTitle(QStringLiteral("岚舟个税节税筹划 - ") + taxRulesName(m_rules));
}

void Lumo::setRules(TaxRules rules)
{
    if (rules == m_rules)
        return;
    storeRules(rules);
    m_rules = rules;
    showRules();
    // Every function has a page for each rules.
    for (int index : {0, 1, 2, 3, 4, 5, 6}) {
        QWidget *old = m_pages.value(index);
        if (!old)
            continue;
        QWidget *page = createPage(index, m_rules, this);
        for (const QString &name : {kCarryGross, kCarryInsurance, kCarryBonus}) {
            auto *from = old->findChild<QDoubleSpinBox *>(name);
            auto *to = page->findChild<QDoubleSpinBox *>(name);
            if (from && to)
                to->setValue(from->value());
        }
        page->hide();
        m_pages[index] = page;
        delete old;
    }
    if (m_current >= 0)
        actFunction(m_current);
}

void Lumo::openUnderRules(const QString &path, int function, TaxRules rules)
{
    if (rules != m_rules) {
        QMessageBox::information(
            this, QStringLiteral("信息提示"),
            QStringLiteral("这条记录是按%1计算的，将切换到%1后打开。").arg(taxRulesName(rules)),
            QMessageBox::Ok);
        setRules(rules);
    }
    selectFunction(function);
    if (QWidget *page = m_pages.value(function))
        QMetaObject::invokeMethod(page, "load", Q_ARG(QString, path));
}

void Lumo::showWidget()
{
    showNormal();
    raise();
    activateWindow();
    m_title->turnPage(QString());
}

void Lumo::selectFunction(int index)
{
    m_title->turnPage(QString::number(index));
}

void Lumo::showMax()
{
    if (m_maximised) {
        setGeometry(m_normalGeometry);
    } else {
        m_normalGeometry = geometry();
        if (const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
            setGeometry(s->availableGeometry());
    }
    m_maximised = !m_maximised;
    // A window that fills the screen has no edge to drag; the button offers the way back.
    m_grip->setEnabled(!m_maximised);
    m_title->setMaximised(m_maximised);
}

void Lumo::showSkinWidget()
{
    m_skinWidget->show();
    m_skinWidget->raise();
    m_skinWidget->activateWindow();
}

void Lumo::showMainMenu()
{
    m_mainMenu->exec(mapToGlobal(QPoint(width() - 150, 22)));
}

void Lumo::showAboutUs()
{
    AboutUsDialog dialog(this);
    dialog.exec();
}

void Lumo::changeSkin(const QString &skin)
{
    writeConfigValue(userIniPath(), QStringLiteral("skin"), skin);
    m_skin = skin;
    m_skinPixmap = QPixmap(skin);
    update();
}

void Lumo::showHelp()
{
    openHelpDocument(QStringLiteral("使用帮助.pdf"));
}

void Lumo::showLaws()
{
    openHelpDocument(QStringLiteral("相关法规.pdf"));
}

void Lumo::openHelpDocument(const QString &name)
{
    const QString path = helpDocumentPath(name);
    if (path.isEmpty()) {
        QMessageBox::warning(
            this, QStringLiteral("信息提示"),
            QStringLiteral("找不到帮助文档“help/%1”，请确认程序目录中的 help 文件夹完整。").arg(name),
            QMessageBox::Ok);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::warning(this, QStringLiteral("信息提示"),
                             QStringLiteral("无法打开“%1”，请先安装 PDF 阅读器。").arg(path),
                             QMessageBox::Ok);
    }
}

void Lumo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_skinPixmap.isNull())
        painter.drawPixmap(rect(), m_skinPixmap);
    painter.setPen(Qt::gray);
    const int w = width();
    const int h = height();
    const QPoint outline[] = {{0, 100}, {0, h - 1}, {w - 1, h - 1}, {w - 1, 100}};
    painter.drawPolyline(outline, 4);
}
