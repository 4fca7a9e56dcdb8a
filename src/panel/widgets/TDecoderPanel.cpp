#include "panel/widgets/TDecoderPanel.h"

#include "base/AppState.h"
#include "panel/Cbahn.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int MsgDecoder = 40, MsgDataPort = 41, MsgProtocol = 42, MsgSave = 43;
constexpr int MsgS88Module = 90, MsgS88DataPort = 91;
constexpr int MsgWrongInput = 140, CaptionError = 102;
constexpr int MsgAddressOutOfRange = 601;

template <class W>
W* place(QWidget* parent, const char* name, int top, int left, int width, int height)
{
    auto* w = new W(parent);  // owned by the parent widget
    w->setObjectName(QLatin1String(name));
    w->setGeometry(left, top, width, height);
    return w;
}

} // namespace

TDecoderPanel::TDecoderPanel(AppState& main, Cbahn& bahn, UserDialogs& dialogs, const C_language& lang,
                             QWidget* parent)
    : QWidget(parent), m_main(main), m_bahn(bahn), m_dialogs(dialogs), m_lang(lang)
{
    setObjectName(QStringLiteral("Decod_panel_content"));
    setMinimumSize(460, 113);
    Index_label = place<QLabel>(this, "Index_label", 5, 10, 130, 18);
    Decod_label = place<QLabel>(this, "Decod_label", 5, 150, 95, 18);
    Daten_label = place<QLabel>(this, "Daten_label", 5, 250, 95, 18);
    Protokoll_label = place<QLabel>(this, "Protokoll_label", 5, 350, 100, 18);
    const char* images[] = {"Image1", "Image2", "Image3"};
    const char* decods[] = {"Decod_edit1", "Decod_edit2", "Decod_edit3"};
    const char* daten[] = {"Daten_Edit1", "Daten_Edit2", "Daten_Edit3"};
    for (int r = 0; r < 3; ++r) {
        const int top = 27 + 30 * r;
        Image[r] = place<QLabel>(this, images[r], top - 3, 90, 27, 27);
        Decod_edit[r] = place<QLineEdit>(this, decods[r], top, 150, 80, 22);
        Daten_Edit[r] = place<QSpinBox>(this, daten[r], top, 250, 80, 22);
        Daten_Edit[r]->setRange(1, 8);
    }
    Proto_CB = place<QComboBox>(this, "Proto_CB", 27, 350, 100, 22);
    Proto_CB->addItems({QStringLiteral("MM"), QStringLiteral("NMRA/DCC")});
    Speichern_button = place<QPushButton>(this, "Speichern_button", 87, 350, 100, 24);
    connect(Speichern_button, &QPushButton::clicked, this, &TDecoderPanel::Speichern_buttonClick);
    prepareDecoderMode();
}

QString TDecoderPanel::message(int id) const
{
    return m_lang.getmessage(id, m_main.Lang_id);
}

void TDecoderPanel::setRows(int rows)
{
    if (rows < 0 || rows > 3)
        return;
    for (int r = 0; r < 3; ++r) {
        const bool on = r < rows;
        Image[r]->setVisible(on);
        Decod_edit[r]->setVisible(on);
        Daten_Edit[r]->setVisible(on);
    }
}

void TDecoderPanel::prepareDecoderMode()
{
    setRows(3);
    Proto_CB->setVisible(true);
    Protokoll_label->setVisible(true);
    for (int r = 0; r < 3; ++r) {
        Image[r]->clear();
        Daten_Edit[r]->setRange(1, 8);
        Daten_Edit[r]->setValue(1);
        Decod_edit[r]->setText(QStringLiteral("0"));
    }
    Index_label->clear();
    Decod_label->setText(message(MsgDecoder));
    Daten_label->setText(message(MsgDataPort));
    Protokoll_label->setText(message(MsgProtocol));
    Speichern_button->setText(message(MsgSave));
}

void TDecoderPanel::prepareS88Mode()
{
    setRows(1);
    Proto_CB->setVisible(false);
    Protokoll_label->setVisible(false);
    Image[0]->clear();
    Daten_Edit[0]->setRange(1, 16);
    Daten_Edit[0]->setValue(1);
    Decod_edit[0]->setText(QStringLiteral("0"));
    Index_label->clear();
    Decod_label->setText(message(MsgS88Module));
    Daten_label->setText(message(MsgS88DataPort));
    Speichern_button->setText(message(MsgSave));
}

void TDecoderPanel::showContent(const DecoderPanelContent& content)
{
    setRows(content.rows);
    if (!content.filled)
        return;
    Index_label->setText(QString::number(content.compId));
    for (int r = 0; r < 3; ++r) {
        Decod_edit[r]->setText(QString::number(content.decod[r]));
        // Values outside the up-down's range are clamped by it, as an up-down does.
        Daten_Edit[r]->setValue(content.daten[r]);
        if (!content.iconFiles[r].isEmpty())
            Image[r]->setPixmap(QPixmap(content.iconFiles[r]));
    }
    Proto_CB->setCurrentIndex(content.protocolIndex);
}

void TDecoderPanel::Speichern_buttonClick()
{
    std::array<QString, 6> edits;
    for (int r = 0; r < 3; ++r) {
        edits[r] = Decod_edit[r]->text();
        edits[3 + r] = Daten_Edit[r]->text();
    }
    if (const auto refused = m_bahn.decoderAddressOutOfRange(edits, Proto_CB->currentIndex())) {
        // Nothing is stored: the address would switch another decoder than the one meant.
        m_dialogs.messageBox(message(MsgAddressOutOfRange).arg(refused->first).arg(refused->second),
                             message(CaptionError), UserDialogs::Icon::Error);
        return;
    }
    if (!m_bahn.decoderPanelSave(edits, Proto_CB->currentIndex()))
        m_dialogs.messageBox(message(MsgWrongInput), message(CaptionError), UserDialogs::Icon::Error);
}
