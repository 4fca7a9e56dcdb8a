#include "phone/widgets/PhoneClientsWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

PhoneClientsWindow::PhoneClientsWindow(const Texts& texts, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("PhoneClientsWindow"));
    setWindowTitle(texts.title);
    m_table = new QTableWidget(0, 3, this);
    m_table->setObjectName(QStringLiteral("PhoneClients"));
    m_table->setHorizontalHeaderLabels({texts.name, texts.address, texts.locos});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_cut = new QPushButton(texts.cutOff, this);
    m_cut->setObjectName(QStringLiteral("PhoneCutOff"));
    m_cut->setEnabled(false);
    m_status = new QLabel(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_cut);
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_table);
    box->addLayout(buttons);
    resize(520, 260);
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            [this] { m_cut->setEnabled(!m_table->selectedItems().isEmpty()); });
    connect(m_cut, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row >= 0 && row < static_cast<int>(m_rows.size()) && cutOff)
            cutOff(m_rows[static_cast<std::size_t>(row)].id);
    });
}

void PhoneClientsWindow::setRows(const std::vector<PhoneClientRow>& rows)
{
    const int selected = m_table->currentRow() >= 0 && m_table->currentRow() < static_cast<int>(m_rows.size())
                             ? m_rows[static_cast<std::size_t>(m_table->currentRow())].id
                             : -1;
    m_rows = rows;
    // The choice follows its client; a client that left takes the choice with it, so that the
    // button never cuts off a phone the user did not choose.
    m_table->clearSelection();
    m_table->setCurrentCell(-1, -1);
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const PhoneClientRow& row = rows[static_cast<std::size_t>(r)];
        m_table->setItem(r, 0, new QTableWidgetItem(row.name));
        m_table->setItem(r, 1, new QTableWidgetItem(row.address));
        m_table->setItem(r, 2, new QTableWidgetItem(row.locos));
        if (row.id == selected)
            m_table->selectRow(r);
    }
    m_cut->setEnabled(!m_table->selectedItems().isEmpty());
}

void PhoneClientsWindow::setStatus(const QString& text) { m_status->setText(text); }
