#pragma once
// The window of the phones connected to the program: each client's name, address and the locos it
// holds, and a button that cuts the chosen client off.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

struct PhoneClientRow {
    int id = 0;
    QString name;
    QString address;
    QString locos;  // the held locos' addresses, comma separated
};

class PhoneClientsWindow : public QWidget {
    Q_OBJECT
public:
    // Texts: window title, the three column heads, the button, the status when the server is off.
    struct Texts {
        QString title, name, address, locos, cutOff;
    };
    explicit PhoneClientsWindow(const Texts& texts, QWidget* parent = nullptr);

    void setRows(const std::vector<PhoneClientRow>& rows);
    void setStatus(const QString& text);
    std::function<void(int client)> cutOff;

    QTableWidget* table() const { return m_table; }
    QPushButton* cutOffButton() const { return m_cut; }

private:
    QTableWidget* m_table;
    QPushButton* m_cut;
    QLabel* m_status;
    std::vector<PhoneClientRow> m_rows;
};
