// Function 0, "单人个税计算": one person's monthly wage, annual one-time bonus and employer annuity
// taxed on the user-interface thread, a four-row result table, the process dialog and the "*.sc"
// calculation history. The page fills a Salary and hands it to the TaxEngine; it computes nothing
// itself.
#pragma once

#include <QString>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;
class HistoryPanel;
namespace pagekit {
class ResultWatch;
}

class SingleCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit SingleCalcWid(QWidget *parent = nullptr);

    // The history file extension of this page.
    static QString extension() { return QStringLiteral("sc"); }

    const QString &processText() const { return m_processText; }

public slots:
    void calc();
    void browseCalculateMemo();
    void save();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    // Restores the page from the record; false, with nothing changed, when it cannot be read.
    bool loadRecord(const QString &fileName);

    QDoubleSpinBox *m_gross;
    QDoubleSpinBox *m_insurance;
    QDoubleSpinBox *m_bonus;
    QDoubleSpinBox *m_annuity;
    QPushButton *m_calcButton;
    QPushButton *m_memoButton;
    QTableWidget *m_table;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    QLabel *m_insuranceNote;
    pagekit::ResultWatch *m_watch;
    QString m_processText;
};
