#pragma once
// "Program decoders" (SRCP 0.8): reads and writes a DCC decoder's CVs on the programming track, or
// writes them to a loco on the main track. The common CVs by name with their meaning and range,
// CV 29 as check boxes, any CV by number (byte or bit) with read, write and verify, "Read all" and
// "Write changed" with a progress bar and a Cancel that stops after the CV in progress, and the
// values saved to or loaded from a plain text file. All programming runs on the programmer's own
// thread; the window only posts requests and shows results. Closing the window ends the job and
// the service mode at once; programming controls work only while the session is open.

#include "loco/DecoderSheet.h"

#include <QDialog>

#include <functional>
#include <map>
#include <memory>

class C_language;
class QCheckBox;
class QComboBox;
class QHideEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TLok;
class UserDialogs;

class TProgramForm : public QDialog {
    Q_OBJECT
public:
    struct Settings {
        std::string host = "localhost";
        int port = 12345;
        int bus = 1;
        QString cvFolder;  // where CV files are saved and loaded
        int lang = 1;
    };
    TProgramForm(UserDialogs& dialogs, const C_language& lang, TLok& lok, QWidget* parent = nullptr);
    ~TProgramForm() override;

    // Opens the programming session for `settings` (on the programmer's thread).
    void begin(const Settings& settings);
    // The program lost its server (true) or has it back (false): the window says so, and opens its
    // own session again once the server is back.
    void serverLost(bool lost);
    bool serverAway() const { return m_serverAway; }
    // Called after a loco record's address was changed from here (the owner saves the records).
    std::function<void(int record)> onLocoRecordChanged;

    // Controls by role, for the tests.
    QSpinBox* valueBox(int cv) const;
    QCheckBox* cv29Box(int bit) const;
    QSpinBox* longAddressBox() const { return m_longAddress; }
    QPushButton* readAllButton() const { return m_readAll; }
    QPushButton* writeChangedButton() const { return m_writeChanged; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* connectButton() const { return m_connect; }
    QProgressBar* progress() const { return m_progress; }
    QString statusText() const;
    bool busy() const { return m_outstanding > 0; }
    bool ready() const { return m_ready; }
    // The any-CV row.
    QSpinBox* anyCvBox() const { return m_anyCv; }
    QSpinBox* anyValueBox() const { return m_anyValue; }
    QLineEdit* anyBitEdit() const { return m_anyBit; }
    QPushButton* anyButton(SmOp op) const;
    QPushButton* saveButton() const { return m_save; }
    QPushButton* loadButton() const { return m_load; }
    QRadioButton* mainTrackButton() const { return m_mainTrack; }
    QSpinBox* locoAddressBox() const { return m_locoAddress; }
    QSpinBox* busBox() const { return m_bus; }

private:
    QString msg(int id) const;
    void build();
    void restart();
    void send(const std::vector<SmRequest>& requests);
    void result(const SmResult& r);
    void connected(const SmResult& report);
    void hideEvent(QHideEvent* event) override;
    void showSheet();
    void edited();
    void readAll();
    void writeChanged();
    void anyCv(SmOp op);
    void cancel();
    void saveFile();
    void loadFile();
    QString failureText(const SmResult& r) const;
    void offerLocoRecordUpdate(int oldAddress, int newAddress);
    void setBusy(int outstanding);

    UserDialogs& m_dialogs;
    const C_language& m_lang;
    TLok& m_lok;
    Settings m_settings;
    DecoderSheet m_sheet;
    std::unique_ptr<TMoBaSRCPProgrammer> m_programmer;
    bool m_ready = false;
    bool m_serverAway = false;
    bool m_filling = false;   // the controls are being set from the sheet
    int m_outstanding = 0;    // requests posted and not yet answered
    int m_batch = 0;          // requests of the running batch
    int m_batchDone = 0;      // of them carried out
    bool m_batchCancelled = false;
    bool m_batchReadsAll = false;  // the batch is "Read all"
    bool m_batchFailed = false;
    std::optional<int> m_addressBefore;  // the decoder's address before a write changed it

    QLabel* m_busLabel = nullptr;
    QLabel* m_protocolLabel = nullptr;
    QLabel* m_bitLabel = nullptr;
    QLabel* m_valueLabel = nullptr;
    QSpinBox* m_bus = nullptr;
    QComboBox* m_protocol = nullptr;
    QRadioButton* m_progTrack = nullptr;
    QRadioButton* m_mainTrack = nullptr;
    QSpinBox* m_locoAddress = nullptr;
    QPushButton* m_connect = nullptr;
    std::map<int, QSpinBox*> m_values;  // common CVs (not 17, 18, 29)
    QLabel* m_manufacturer = nullptr;
    QSpinBox* m_longAddress = nullptr;
    std::map<int, QCheckBox*> m_bits;  // CV 29
    QSpinBox* m_anyCv = nullptr;
    QSpinBox* m_anyValue = nullptr;
    QLineEdit* m_anyBit = nullptr;
    std::map<SmOp, QPushButton*> m_anyButtons;
    QPushButton* m_readAll = nullptr;
    QPushButton* m_writeChanged = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_load = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};
