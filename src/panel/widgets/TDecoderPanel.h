#pragma once
// The decoder panel below the track panel: decoder addresses, data ports and protocol of an
// accessory (decoder mode) or S88 module and port of a feedback detector (S88 mode). It shows what
// the service object computes and stores the edits back through it.

#include "panel/DecoderPanelContent.h"

#include <QWidget>

#include <array>

struct AppState;
class Cbahn;
class UserDialogs;
class C_language;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TDecoderPanel : public QWidget {
    Q_OBJECT
public:
    TDecoderPanel(AppState& main, Cbahn& bahn, UserDialogs& dialogs, const C_language& lang,
                  QWidget* parent = nullptr);

    // Preparing the panel when decoder mode or S88 mode is entered.
    void prepareDecoderMode();
    void prepareS88Mode();
    // A click in decoder or S88 mode: shows the rows and the element's data.
    void showContent(const DecoderPanelContent& content);
    // "Save": stores the edits into the chosen element; message 140 on bad input.
    void Speichern_buttonClick();

    QLabel* Index_label;
    QLabel* Decod_label;
    QLabel* Daten_label;
    QLabel* Protokoll_label;
    std::array<QLabel*, 3> Image{};
    std::array<QLineEdit*, 3> Decod_edit{};
    std::array<QSpinBox*, 3> Daten_Edit{};  // edit and up-down UpDoDaten1..3 in one control
    QComboBox* Proto_CB;
    QPushButton* Speichern_button;

private:
    void setRows(int rows);
    QString message(int id) const;

    AppState& m_main;
    Cbahn& m_bahn;
    UserDialogs& m_dialogs;
    const C_language& m_lang;
};
