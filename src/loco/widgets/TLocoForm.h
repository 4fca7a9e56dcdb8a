#pragma once
// The loco setup dialog "Loco setup": protocol group and decoder protocol, address, description,
// top speed, the function kinds of F1..F4 (picked from a palette of eight and dropped on a slot) and
// the functions of joystick buttons 3 and 4. It shows LocoSetupModel and forwards its events there.

#include "loco/LocoSetupModel.h"

#include <QDialog>

#include <array>
#include <functional>

class ClickImage;
class LocoIcons;
class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TLok;
class UserDialogs;

class TLocoForm : public QDialog {
    Q_OBJECT
public:
    TLocoForm(TLok& lok, LocoIcons& icons, UserDialogs& dialogs, QWidget* parent = nullptr);

    LocoSetupModel& model() { return m_model; }
    bool Debug = false;  // shows the "Show" button

    // Fills the dialog from loco nr and shows it modally (through showModal, default exec()).
    void setuplok(int nr);
    // How the dialog is shown; tests replace it so that nothing blocks.
    std::function<void()> showModal;
    // A damaged function code of loco nr: repair that loco and save (set by the program).
    std::function<void(int nr)> onDamagedCode;

    void refresh();

private:
    void Fertig_buttonClick();
    void setIcon(QLabel* label, int code);
    void setIconFile(QLabel* label, const QString& file);

    TLok& m_lok;
    LocoIcons& m_icons;
    UserDialogs& m_dialogs;
    LocoSetupModel m_model;

    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* m_maerklinItems = nullptr;
    QButtonGroup* m_dccItems = nullptr;
    QLineEdit* Adresse_edit = nullptr;
    QLineEdit* Beschreibung_edit = nullptr;
    QLineEdit* Vmax_edit = nullptr;
    std::array<ClickImage*, 8> Func_image{};
    std::array<ClickImage*, 4> Func{};
    ClickImage* Func0 = nullptr;
    std::array<ClickImage*, 4> Joy{};
    QComboBox* K3CB = nullptr;
    QComboBox* K4CB = nullptr;
    QPushButton* Zeigen_button = nullptr;
    QLabel* Label6 = nullptr;
    QList<QWidget*> m_functionControls;  // shown only for protocols with functions
};

extern TLocoForm* LocoForm;
