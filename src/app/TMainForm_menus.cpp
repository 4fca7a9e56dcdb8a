// The main window's menu bar. Captions are replaced by the language captions when the window is
// shown; the ones given here stand until then, and stay for the items without a message.
#include "app/TMainForm.h"
#include "ui/widgets/WrappingMenuBar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

QMenu* addMenu(QMenuBar* bar, const char* name, const char* caption)
{
    QMenu* m = bar->addMenu(QString::fromUtf8(caption));
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

QAction* addItem(QMenu* menu, const char* name, const char* caption, bool checkable = false)
{
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setCheckable(checkable);
    return a;
}

}  // namespace

void TMainForm::buildMenus()
{
    // Menus that do not fit on the window's width wrap into a second row.
    setMenuBar(new WrappingMenuBar(this));
    QMenuBar* bar = menuBar();

    QMenu* file = addMenu(bar, "FileMenu", "&File");
    addItem(file, "Neu1", "&New");
    addItem(file, "Oeffnen1", "O&pen");
    addItem(file, "Speichern1", "&Save");
    addItem(file, "Speichernals1", "Save &as");
    file->addSeparator();
    addItem(file, "Hostverbinden1", "&Connect to host");
    addItem(file, "Hosttrennen1", "&Disconnect from host");
    file->addSeparator();
    connect(addItem(file, "Ende1", "&Exit"), &QAction::triggered, this, &TMainForm::Ende1Click);

    QMenu* options = addMenu(bar, "Optionen1", "&Options");
    connect(addItem(options, "Gleisbildentwerfen1", "&Create layout", true), &QAction::triggered, this,
            &TMainForm::Gleisbildentwerfen1Click);
    connect(addItem(options, "DecoderAdressen1", "Decoder &addresses", true), &QAction::triggered, this,
            &TMainForm::DecoderAdressen1Click);
    connect(addItem(options, "S88modules1", "S88 modules", true), &QAction::triggered, this,
            &TMainForm::S88modules1Click);
    connect(addItem(options, "Text1", "&Text", true), &QAction::triggered, this, &TMainForm::Text1Click);
    connect(addItem(options, "Betrieb1", "&Drive", true), &QAction::triggered, this, &TMainForm::Betrieb1Click);
    connect(addItem(options, "Fahrstrassen1", "&Routes", true), &QAction::triggered, this,
            &TMainForm::Fahrstrassen1Click);
    connect(addItem(options, "Softregler1", "&Loco setup", true), &QAction::triggered, this,
            &TMainForm::Softregler1Click);
    addItem(options, "Joystickeinrichten1", "&Joystick setup", true);

    QMenu* setup = addMenu(bar, "Einstellungen1", "&Setup");
    connect(addItem(setup, "IPAddrHost1", "&Quarn setup"), &QAction::triggered, this,
            &TMainForm::IPAddrHost1Click);
    addItem(setup, "Joystickcalibrieren1", "&Test joystick");

    QMenu* feedback = addMenu(bar, "Rckmeldemodule1", "&Feedback modules");
    addItem(feedback, "Abfragestarten1", "&Start feedback");
    addItem(feedback, "Abfragebeenden1", "St&op feedback");
    addItem(feedback, "Synchronize2", "Synchroni&ze");
    addItem(feedback, "Reset1", "&Reset feedback");

    QMenu* commands = addMenu(bar, "Befehle1", "&Commands");
    addItem(commands, "Synchronize1", "S&ynchronize");
    addItem(commands, "Spannungan1", "Voltage o&n");
    addItem(commands, "Spannungaus1", "Voltage o&ff");
    addItem(commands, "Initialisierung1", "In&itialize Server");
    addItem(commands, "Zeit1", "&Time", true);
    addItem(commands, "Decoderprogrammieren1", "&Program decoders");
    addItem(commands, "FreieBefehle1", "Free &commands");

    QMenu* screen = addMenu(bar, "Bildschirm1", "&Screen");
    QAction* automatic = addItem(screen, "automatisch1", "&Automatic", true);
    connect(automatic, &QAction::triggered, this, [this, automatic] {
        const QSize s = screenSize();
        screenPresetClick(automatic, s.width(), s.height());
    });
    const struct {
        const char* name;
        const char* caption;
        int x, y;
    } presets[] = {{"N640mal480", "640 x 480", 640, 480},
                   {"N800mal600", "800 x 600", 800, 600},
                   {"N1024mal768", "1024 x 768", 1024, 768}};
    for (const auto& p : presets) {
        QAction* a = addItem(screen, p.name, p.caption, true);
        connect(a, &QAction::triggered, this, [this, a, x = p.x, y = p.y] { screenPresetClick(a, x, y); });
    }

    QMenu* help = addMenu(bar, "Hilfe1", "&Help");
    connect(addItem(help, "QuarnHilfe1", "&Quarn help"), &QAction::triggered, this,
            &TMainForm::QuarnHilfe1Click);
    connect(addItem(help, "Assistent1", "Assistent"), &QAction::triggered, this, &TMainForm::Assistent1Click);
    connect(addItem(help, "Info1", "&Info"), &QAction::triggered, this, &TMainForm::Info1Click);
    connect(addItem(help, "DirectX1", "DirectX"), &QAction::triggered, this, &TMainForm::DirectX1Click);

    QMenu* debug = addMenu(bar, "Debug1", "Debug");
    connect(addItem(debug, "openDebugWindow1", "open Debug Window"), &QAction::triggered, this,
            &TMainForm::openDebugWindow1Click);
    addItem(debug, "openStringGrid1", "open StringGrid");
}
