#pragma once
// The settings dialog: server address and port, info channel, SRCP generation, joystick module,
// language, assistant, power options (first page) and the SRCP 0.8 bus numbers (second page).

#include "app/SetupModel.h"

#include <QDialog>

#include <array>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class UserDialogs;
class C_language;

// A framed group of radio buttons with one selected item.
class TRadioGroup : public QWidget {
    Q_OBJECT
public:
    TRadioGroup(const QString& name, const QStringList& items, QWidget* parent);
    void setItems(const QStringList& items);
    int itemIndex() const;
    void setItemIndex(int index);

private:
    QGroupBox* m_box;
    QButtonGroup* m_group;
};

class TSetupForm : public QDialog {
    Q_OBJECT
public:
    explicit TSetupForm(QWidget* parent = nullptr);

    // Filling before showing, and what the controls hold now.
    void fill(const AppState& main);
    SetupValues values() const;
    // Assistant choice and first page, as every time the dialog is shown.
    void FormShow(const C_language* lang, int langId, int showassist);

    QLineEdit* Edithost;
    QLineEdit* Editport;
    QCheckBox* CheckBox1;
    TRadioGroup* RGSrcp;
    TRadioGroup* RGDirectX;
    QComboBox* CBLang;
    TRadioGroup* RGAssist;
    QCheckBox* cbPower;
    QCheckBox* cbAutoPower;
    QCheckBox* cbReconnect;
    QLabel* LabelReconnect;
    QCheckBox* cbPowerReconnect;
    QLabel* LabelPowerReconnect;
    std::array<QSpinBox*, 7> busUpDowns{};
    // Third page: phone throttles.
    QCheckBox* cbPhone;
    QSpinBox* udPhonePort;
    QLineEdit* EditPhoneAddress;
    QLineEdit* EditPhoneAllow;
    QSpinBox* udPhoneLimit;
    QSpinBox* udPhonePerAddress;
    std::array<QLabel*, 6> phoneLabels{};
    QTabWidget* PageControl;
    QPushButton* Ok_button;
    QPushButton* Cancel_button;
    QLabel* Assist1_label;
    QLabel* Assist2_label;

    // "Save" with a field that holds what the program cannot use shows why beside the field and
    // keeps the dialog open (the button is disabled then too).
    void accept() override;
    // The note beside a field: empty while the field is fine.
    QString noteFor(const QWidget* field) const;

private:
    // Notes beside the fields that can hold values the program cannot use, kept up to date as the
    // user types (TSetupFormChecks.cpp).
    struct FieldCheck {
        QWidget* field;
        QLabel* note;
        SetupField kind;
    };
    void addChecks();
    bool updateChecks();  // true when every field is fine
    QString fieldText(const FieldCheck& c) const;
    std::vector<FieldCheck> m_checks;
    const C_language* m_noteLang = nullptr;
    int m_noteLangId = 2;
};

extern TSetupForm* SetupForm;
