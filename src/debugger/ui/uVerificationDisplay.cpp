#include "uVerificationDisplay.h"

#include "uDebugFormStack_model.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kiv {

namespace {

QTreeWidget *MemoryList(QWidget *parent, const char *name)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setRootIsDecorated(false);
    list->setColumnCount(4);
    list->setHeaderLabels({QStringLiteral("Address"), QStringLiteral("Actual"), QStringLiteral("Expected"), QString()});
    list->headerItem()->setTextAlignment(1, Qt::AlignRight);
    list->headerItem()->setTextAlignment(2, Qt::AlignRight);
    list->setColumnWidth(3, 0);
    return list;
}

}  // namespace

TVerificationDisplay::TVerificationDisplay(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("VerificationDisplay"));
    setWindowTitle(QStringLiteral("Verification Results"));
    auto *layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("resulttabs"));
    m_prog = MemoryList(this, "proglist");
    m_data = MemoryList(this, "datalist");
    auto *progSheet = new QWidget;
    progSheet->setObjectName(QStringLiteral("ProgSheet"));
    (new QVBoxLayout(progSheet))->addWidget(m_prog);
    auto *dataSheet = new QWidget;
    dataSheet->setObjectName(QStringLiteral("datasheet"));
    (new QVBoxLayout(dataSheet))->addWidget(m_data);
    auto *fuseSheet = new QWidget;
    fuseSheet->setObjectName(QStringLiteral("fusesheet"));
    auto *fuseLayout = new QVBoxLayout(fuseSheet);
    fuseLayout->addWidget(new QLabel(QStringLiteral("Actual Data (Hex)"), fuseSheet));
    m_actual = new QPlainTextEdit(fuseSheet);
    m_actual->setObjectName(QStringLiteral("actualfuses"));
    m_actual->setReadOnly(true);
    fuseLayout->addWidget(m_actual);
    fuseLayout->addWidget(new QLabel(QStringLiteral("Expected Data (Hex)"), fuseSheet));
    m_expected = new QPlainTextEdit(fuseSheet);
    m_expected->setObjectName(QStringLiteral("expectedfuses"));
    fuseLayout->addWidget(m_expected);
    m_fuses = new QTreeWidget(fuseSheet);
    m_fuses->setObjectName(QStringLiteral("fuselist"));
    m_fuses->setRootIsDecorated(false);
    m_fuses->setHeaderLabels({QStringLiteral("Actual"), QStringLiteral("Expected")});
    fuseLayout->addWidget(m_fuses);
    m_tabs->addTab(progSheet, QStringLiteral("Program Memory Results"));
    m_tabs->addTab(dataSheet, QStringLiteral("Data Memory Results"));
    m_tabs->addTab(fuseSheet, QStringLiteral("Configuration Fuses"));
    layout->addWidget(m_tabs);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(box);
    resize(520, 420);
}

bool TVerificationDisplay::SetResults(const QString &text)
{
    if (text.isEmpty())
        return false;
    const TVerificationResults results = TVerificationResults::Parse(text);
    for (QTreeWidget *list : {m_prog, m_data})
        list->clear();
    m_fuses->clear();
    m_actual->clear();
    m_expected->clear();
    const auto fill = [](QTreeWidget *list, const QList<TVerificationResults::Row> &rows) {
        for (const TVerificationResults::Row &row : rows) {
            auto *item = new QTreeWidgetItem(list, {row.address, row.actual, row.expected, row.note});
            item->setTextAlignment(1, Qt::AlignRight);
            item->setTextAlignment(2, Qt::AlignRight);
            if (!row.note.isEmpty())
                list->setColumnWidth(3, QFontMetrics(list->font()).horizontalAdvance(row.note) + 20);
        }
    };
    fill(m_prog, results.program);
    fill(m_data, results.data);
    m_actual->setPlainText(results.actualFuses);
    m_expected->setPlainText(results.expectedFuses);
    for (const TVerificationResults::FuseRow &row : results.fuses) {
        auto *item = new QTreeWidgetItem(m_fuses, {row.actual, row.expected});
        if (row.Mismatch()) {
            item->setForeground(0, Qt::red);
            item->setForeground(1, Qt::red);
        }
    }
    m_tabs->setTabVisible(0, !results.program.isEmpty());
    m_tabs->setTabVisible(1, !results.data.isEmpty());
    m_tabs->setTabVisible(2, !results.fuses.isEmpty() || results.activePage == 2);
    m_tabs->setCurrentIndex(results.activePage);
    return true;
}

void TVerificationDisplay::ShowResults(const QString &text)
{
    if (SetResults(text))
        exec();
}

}  // namespace kiv
