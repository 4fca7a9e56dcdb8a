#include "app/TMainForm.h"
#include "ui/widgets/TextLanguage.h"

#include <QLibraryInfo>
#include <QTranslator>
#include "app/SessionHost.h"

#include "app/C_Init.h"
#include "app/HintDelays.h"
#include "base/FileReplace.h"
#include "base/ParameterFile.h"
#include "app/TSetupForm.h"
#include "base/TLok.h"
#include "base/C_language.h"
#include "ui/widgets/Captions.h"
#include "ui/DirectXProbe.h"
#include "ui/widgets/HelpOpener.h"
#include "ui/widgets/TInfoForm.h"
#include "ui/widgets/ScreenFit.h"
#include "ui/widgets/TDebugForm.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

TMainForm* MainForm = nullptr;

namespace {

const char* const kModeItems[] = {"Gleisbildentwerfen1", "DecoderAdressen1", "S88modules1", "Betrieb1",
                                  "Text1", "Fahrstrassen1", "Softregler1", "Joystickeinrichten1"};

QFrame* frame(const char* name, QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::StyledPanel);
    return f;
}

// The program's language (1..7) for the desktop's; English where the desktop speaks none of them.
int desktopLanguage()
{
    static const QLocale::Language order[] = {QLocale::German, QLocale::English, QLocale::Swedish, QLocale::Spanish,
                                              QLocale::Italian, QLocale::Dutch, QLocale::French};
    const QLocale::Language desktop = QLocale::system().language();
    for (int i = 0; i < 7; ++i)
        if (order[i] == desktop)
            return i + 1;
    return 2;
}

}  // namespace

TMainForm::TMainForm(UserDialogs& dialogs, const QString& workDir, QWidget* parent)
    : TMainForm(dialogs, workDir, parent, FileLocations())
{
}

TMainForm::TMainForm(UserDialogs& dialogs, const QString& workDir, QWidget* parent, const FileLocations& files)
    : QMainWindow(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("MainForm"));
    MainForm = this;
    WorkDir = workDir;
    Files = files;
    openDocument = [](const QString& path, std::function<void()> failed) { openInBrowser(path, std::move(failed)); };
    // Every window of the program opens inside its screen.
    qApp->installEventFilter(new KeepOnScreen(this, this));
    buildMenus();
    buildPanels();
    FormCreate();
    // Every window in the user's language when it opens.
    qApp->installEventFilter(new FollowLanguage([] { return static_cast<const C_language*>(Lang); },
                                                [this] { return Lang_id; }, this));
}

TMainForm::TMainForm(UserDialogs& dialogs, const FileLocations& files, QWidget* parent)
    : TMainForm(dialogs, files.program, parent, files)
{
}

TMainForm::~TMainForm()
{
    m_init.reset();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::buildPanels()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    m_centralLayout = new QVBoxLayout(central);
    m_centralLayout->setContentsMargins(1, 1, 1, 1);
    m_centralLayout->setSpacing(2);

    m_trackPanel = new QWidget(central);
    m_trackPanel->setObjectName(QStringLiteral("Quarn"));
    m_trackPanel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_trackPanel->setAutoFillBackground(true);
    QPalette grey = m_trackPanel->palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    m_trackPanel->setPalette(grey);
    m_centralLayout->addWidget(m_trackPanel, 1);

    Hilfsbild1 = new QWidget(central);
    Hilfsbild1->setObjectName(QStringLiteral("Hilfsbild1"));
    Hilfsbild1->hide();

    Design_Panel = frame("Design_Panel", central);
    Decod_panel = frame("Decod_panel", central);
    Decod_panel->setMinimumHeight(60);
    Regler_panel = frame("Regler_panel", central);
    Regler_panel->setMinimumHeight(120);
    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto* tab1 = new QWidget;
    tab1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab2 = new QWidget;
    tab2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(tab1, QStringLiteral("Create routes"));
    PageControl1->addTab(tab2, QStringLiteral("Delete routes"));
    PageControl1->setMinimumHeight(100);
    for (QWidget* w : {Design_Panel, Decod_panel, Regler_panel, static_cast<QWidget*>(PageControl1)}) {
        m_centralLayout->addWidget(w);
        w->hide();
    }
    setCentralWidget(central);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    // The power state keeps its width; the two text panels share the rest, each at least as wide as
    // its text, so that a long translation is not cut.
    const int widths[3] = {110, 300, 0};
    for (int i = 0; i < 3; ++i) {
        m_status[i] = new QLabel(bar);
        m_status[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_status[i]->setFrameShape(QFrame::Panel);
        m_status[i]->setFrameShadow(QFrame::Sunken);
        if (widths[i] > 0)
            m_status[i]->setMinimumWidth(widths[i]);
        bar->addWidget(m_status[i], i == 0 ? 0 : 1);
    }
}

void TMainForm::setTrackPanel(QWidget* panel)
{
    const int index = m_centralLayout->indexOf(m_trackPanel);
    m_centralLayout->insertWidget(index, panel, 1);
    m_centralLayout->removeWidget(m_trackPanel);
    delete m_trackPanel;
    m_trackPanel = panel;
}

QAction* TMainForm::action(const QString& name) const
{
    return findChild<QAction*>(name);
}

QMenu* TMainForm::menu(const QString& name) const
{
    return findChild<QMenu*>(name);
}

void TMainForm::setStatusText(int panel, const QString& text)
{
    if (panel < 0 || panel >= 3)
        return;
    // The label keeps the text as given, so a later change of language puts it into the new language
    // again (and a fixed text stays as it is).
    m_status[panel]->setText(text);
    if (Lang)
        translateTexts(m_status[panel], *Lang, Lang_id);
}

QString TMainForm::statusText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_status[panel]->text() : QString();
}

QString TMainForm::message(int id) const
{
    return Lang ? Lang->getmessage(id, Lang_id) : QString();
}

QSize TMainForm::screenSize() const
{
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        return s->size();
    return {1024, 768};
}

void TMainForm::FormCreate()
{
    Version = QStringLiteral(" V 0.70");
    Debug = false;

    try {
        m_init = std::make_unique<C_Init>(*this);
    } catch (const std::exception&) {
        m_dialogs.messageBox(QStringLiteral("An error occured during memory allocation. Please terminate program"),
                             QStringLiteral("Quarn"), UserDialogs::Icon::Error);
    }

    LabelFont = QFont();
    Dunkelrot = 128;
    Grau = 12632256;
    Quarnbreite = 980;
    Quarnhoehe = 680;
    Panelbreite = 617;
    Panelhoehe = 113;

    const QSize screen = screenSize();
    Screen_x = screen.width();
    Screen_y = screen.height();
    Quarn_bitmap = QImage(Quarnbreite, Quarnhoehe, QImage::Format_RGB32);
    Design_Panel_bitmap = QImage(Panelbreite, Panelhoehe, QImage::Format_RGB32);
    Design_Panel->setFixedSize(Panelbreite, Panelhoehe);
    Cache = QImage(27, 27, QImage::Format_RGB32);
    Rueck_cache = QImage(27, 27, QImage::Format_RGB32);
    Undo = QImage(27, 27, QImage::Format_RGB32);

    setscreen(Screen_x, Screen_y);

    Regler_nr = 0;
    SrcpVer = 73;
    DateinameohneEndung.clear();
    Connecting = Quarnerstellen = Decoder = Betrieb = Fahrstrasseerstellen = Lokregler = El_geladen = Symbol = false;
    Fahrstrasse = 1;
    Hpos_alt = 0;
    Vpos_alt = 0;

    for (const char* name : {"Speichernals1", "Gleisbildentwerfen1", "DecoderAdressen1", "S88modules1", "Text1",
                             "Betrieb1", "Fahrstrassen1", "Softregler1", "Abfragestarten1", "Abfragebeenden1",
                             "Joystickcalibrieren1", "Synchronize1", "Spannungan1", "Spannungaus1",
                             "Initialisierung1", "Zeit1", "Decoderprogrammieren1", "FreieBefehle1"})
        action(QString::fromLatin1(name))->setEnabled(false);
    for (const char* name : {"Hostverbinden1", "Joystickeinrichten1"})
        action(QString::fromLatin1(name))->setEnabled(true);
    menu(QStringLiteral("Bildschirm1"))->setEnabled(true);
    action(QStringLiteral("automatisch1"))->setChecked(true);
    for (const char* name : {"N640mal480", "N800mal600", "N1024mal768"})
        action(QString::fromLatin1(name))->setChecked(false);

    Joy1con = 0;
    Joy2con = 0;
    Joy1loknr = -1;
    Joy2loknr = -1;
    Joy1button_pressed = false;
    Joy2button_pressed = false;
    // The two-controller module reads any ordinary controller; the one-controller module takes
    // raw axis values and stays selectable in the settings.
    Joy_Mode = 0;
    TextLabelNr = -1;
    Lang_id = 1;
    Showassist = 1;
    Monitorpower = 0;
    Autopower = 0;
    LocoData_sent = false;
    SolenoidData_sent = false;

    BusGlMM = 1;
    BusGlNMRA_S = 2;
    BusGlNMRA_L = 3;
    BusGaMM = 5;
    BusGaNMRA = 6;
    BusS88 = 8;
    Buspower = 1;
    Move_elements = false;
    Move_el_counter = 0;

    Hilfsbild1->setVisible(Debug);
    menu(QStringLiteral("Debug1"))->menuAction()->setVisible(Debug);
    Design_Panel->hide();

    // The program itself decides where its files are; a window made for a given folder keeps
    // everything there.
    if (WorkDir.isEmpty() && !Files.decided())
        Files = FileLocations::forCurrentUser(QCoreApplication::applicationDirPath());
    if (Files.decided())
        WorkDir = Files.program;
    if (!WorkDir.endsWith(QLatin1Char('/')))
        WorkDir += QLatin1Char('/');
    if (!dynamic_cast<const HintDelayStyle*>(QApplication::style()))
        QApplication::setStyle(new HintDelayStyle);  // the application owns it
    setStatusText(1, QStringLiteral("WorkDir: ") + WorkDir);

    Quarn_bitmap.fill(QColor(int(Grau & 0xff), int((Grau >> 8) & 0xff), int((Grau >> 16) & 0xff)));

    // The probe finds no DirectX on this platform, so the joystick uses the system's joystick
    // messages unless the joystick set-up offers more.
    QString dxVersion;
    Dxpresent = testdx(dxVersion) != 0;

    Iphostchar = QStringLiteral("localhost");
    Ipport = 12345;

    // A catalogue that cannot be read is reported; the settings and locos are still read, so that
    // a later save does not overwrite them with defaults.
    if (loadCatalogue) {
        try {
            loadCatalogue();
        } catch (const std::exception& e) {
            m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        }
    }

    Infoport_an = 0;
    if (applyServerAddress)
        applyServerAddress();

    // An installed program's first start finds no parameter file, and that is no problem: the
    // defaults are written and the newcomer is told where things are.
    if (Lok && prepareUserFolders(locations()).firstStart) {
        Lang_id = desktopLanguage();
        if (saveParameters())
            welcome();
    } else if (Lok) {
        try {
            const QString path = ParameterFile::filePath(*this);
            const QList<int> replaced = ParameterFile::load(path, *this, *Lok);
            if (applyServerAddress)
                applyServerAddress();
            if (!replaced.isEmpty())
                repairParameterFile(path, replaced);
        } catch (const std::exception&) {
            m_dialogs.messageBox(message(101), message(102), UserDialogs::Icon::Error);
            saveParameters();
        }
    }

    Infostring = message(100);
    setWindowTitle(Infostring);

    Knopf.fill(false);
}

void TMainForm::repairParameterFile(const QString& path, const QList<int>& replacedLines)
{
    const QString lines = ParameterFile::describeLines(replacedLines);
    // The damaged file is kept before the repaired one replaces it; without a copy it stays.
    const QString backup = keepBackupCopy(path);
    if (backup.isEmpty()) {
        m_dialogs.messageBox(message(574).arg(path, lines), message(102), UserDialogs::Icon::Warning);
        return;
    }
    saveParameters();
    m_dialogs.messageBox(message(573).arg(path, lines, backup), message(102), UserDialogs::Icon::Warning);
}

void TMainForm::welcome()
{
    // The menus by their captions (the "File" menu's id 0 is read from the table directly).
    const auto menu = [this](int id) {
        QString caption = Lang ? Lang->translation(id, Lang_id) : QString();
        return caption.remove(QLatin1Char('&'));
    };
    const FileLocations where = locations();
    const QString text = message(581).arg(QDir::toNativeSeparators(where.parameterFile()),
                                          QDir::toNativeSeparators(where.layouts), menu(0), menu(2), menu(5),
                                          menu(19), menu(20));
    m_dialogs.messageBox(text, message(580), UserDialogs::Icon::Information);
}

bool TMainForm::saveParameters()
{
    if (!Lok)
        return false;
    try {
        ParameterFile::save(ParameterFile::filePath(*this), *this, *Lok);
        return true;
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        return false;
    }
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow()
{
    if (Joy_Mode == 1 && joyWinSetup)
        joyWinSetup();
    applyLanguage();
    if (joyinitsetup)
        joyinitsetup();
    if (Showassist == 1 && showAssistant)
        showAssistant();
}

void TMainForm::applyLanguage()
{
    if (!Lang)
        return;
    const auto captions = Lang->setup(Lang_id);
    applyCaptions(this, captions);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this)
            applyCaptions(w, captions);
    // Qt's own texts (the buttons of message boxes, the file dialog) from Qt's translations.
    static const char* const qtNames[] = {"de", "en", "sv", "es", "it", "nl", "fr"};
    if (m_qtTexts) {
        QCoreApplication::removeTranslator(m_qtTexts.get());
        m_qtTexts.reset();
    }
    if (Lang_id >= 1 && Lang_id <= 7 && Lang_id != 2) {
        auto t = std::make_unique<QTranslator>();
        if (t->load(QStringLiteral("qtbase_") + QLatin1String(qtNames[Lang_id - 1]),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(t.get());
            m_qtTexts = std::move(t);
        }
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        translateTexts(w, *Lang, Lang_id);
    emit languageApplied();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainForm::FormCloseQuery()
{
    if (commandConnected && commandConnected()) {
        m_dialogs.messageBox(message(126), message(102), UserDialogs::Icon::Error);
        return false;
    }
    if (!m_closeConfirmed && confirmClose && !confirmClose())
        return false;
    return true;
}

void TMainForm::Ende1Click()
{
    if (confirmClose && !confirmClose())
        return;  // unsaved changes kept, still connected
    m_closeConfirmed = true;
    if (disconnectFromServer)
        disconnectFromServer();
    close();
    m_closeConfirmed = false;
}

void TMainForm::setscreen(int x, int y)
{
    const int width = x - 5;
    const int height = y - 35;
    // The preset is the outer size of the window, frame included.
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    resize(std::max(1, width - frameExtra.width()), std::max(1, height - frameExtra.height()));
    move((x - width) / 2, 1);
}

void TMainForm::screenPresetClick(QAction* item, int x, int y)
{
    Screen_x = x;
    Screen_y = y;
    for (const char* name : {"automatisch1", "N640mal480", "N800mal600", "N1024mal768"}) {
        QAction* a = action(QString::fromLatin1(name));
        a->setChecked(a == item);
    }
    setscreen(Screen_x, Screen_y);
}

void TMainForm::enterMode(bool AppState::*flag, const QString& item, bool keepJoystickCheck)
{
    clearModes();
    this->*flag = true;
    for (const char* name : kModeItems) {
        const QString n = QString::fromLatin1(name);
        if (keepJoystickCheck && n == QLatin1String("Joystickeinrichten1"))
            continue;
        action(n)->setChecked(n == item);
    }
    setStatusText(1, QString());
    statusBar()->setStyleSheet(QString());
}

void TMainForm::Gleisbildentwerfen1Click()
{
    enterMode(&AppState::Quarnerstellen, QStringLiteral("Gleisbildentwerfen1"));
    Decod_panel->hide();
    Regler_panel->hide();
    Design_Panel->setFixedSize(std::min(Panelbreite, centralWidget()->width()), Panelhoehe);
    if (!El_geladen && loadCatalogue) {
        try {
            loadCatalogue();
        } catch (const std::exception& e) {
            m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        }
    }
    Design_Panel->show();
    emit paletteRepaint();
    Cache.fill(Qt::white);
    Symbol = false;
    emit designModeEntered();
}

void TMainForm::DecoderAdressen1Click()
{
    enterMode(&AppState::Decoder, QStringLiteral("DecoderAdressen1"));
    Regler_panel->hide();
    Design_Panel->hide();
    Decod_panel->show();
    Symbol = false;
    Speichern_posx = Speichern_posy = -1;  // "Save" needs an element chosen in this mode
    emit decoderModeEntered();
}

void TMainForm::S88modules1Click()
{
    enterMode(&AppState::S88config, QStringLiteral("S88modules1"));
    Regler_panel->hide();
    Design_Panel->hide();
    Decod_panel->show();
    Symbol = false;
    Speichern_posx = Speichern_posy = -1;  // "Save" needs an element chosen in this mode
    emit s88ModeEntered();
}

void TMainForm::Text1Click()
{
    enterMode(&AppState::Text, QStringLiteral("Text1"));
    Design_Panel->hide();
    Decod_panel->hide();
    Regler_panel->hide();
    Symbol = false;
    emit textModeEntered();
}

void TMainForm::Betrieb1Click()
{
    enterMode(&AppState::Betrieb, QStringLiteral("Betrieb1"));
    Design_Panel->hide();
    Decod_panel->hide();
    Regler_panel->show();
    action(QStringLiteral("Joystickcalibrieren1"))->setEnabled(true);
    Symbol = false;
    emit operateModeEntered();
}

void TMainForm::Fahrstrassen1Click()
{
    enterMode(&AppState::Fahrstrasseerstellen, QStringLiteral("Fahrstrassen1"), true);
    Design_Panel->hide();
    Decod_panel->hide();
    Regler_panel->hide();
    PageControl1->setCurrentIndex(0);
    PageControl1->show();
    Symbol = false;
    Verbinden = 0;
    for (const char* name : {"Gleisbildentwerfen1", "DecoderAdressen1", "Betrieb1"})
        action(QString::fromLatin1(name))->setEnabled(false);
    emit routeModeEntered();
}

void TMainForm::Softregler1Click()
{
    enterMode(&AppState::Lokregler, QStringLiteral("Softregler1"));
    Design_Panel->hide();
    Decod_panel->hide();
    Regler_panel->show();
    statusBar()->setStyleSheet(QStringLiteral("QStatusBar, QStatusBar QLabel { background: red; color: yellow; }"));
    setStatusText(1, message(141));
    emit locoSetupModeEntered();
}

void TMainForm::IPAddrHost1Click()
{
    if (!SetupForm)
        return;
    SetupForm->fill(*this);
    SetupForm->FormShow(Lang, Lang_id, Showassist);
    if (SetupForm->exec() == QDialog::Accepted)
        applySetupForm();
}

void TMainForm::applySetupForm()
{
    if (!SetupForm)
        return;
    try {
        applySetup(SetupForm->values(), *this);
    } catch (const SetupConversionError& e) {
        if (applyServerAddress)
            applyServerAddress();
        m_dialogs.showError(QString::fromLocal8Bit(e.what()));
        return;
    }
    if (applyServerAddress)
        applyServerAddress();
    saveParameters();
    applyLanguage();
    if (joyinitsetup)
        joyinitsetup();
    emit settingsApplied();
}

QString TMainForm::helpPage() const
{
    // The German page is the original; the others carry the language's code. A language whose
    // page does not ship reads the English one, and without that the German one.
    static const char* const codes[] = {"de", "en", "sv", "es", "it", "nl", "fr"};
    const QString folder = locations().helpFolder();
    const QString german = folder + QStringLiteral("QUARN.html");
    const auto page = [&](const char* code) {
        return qstrcmp(code, "de") == 0 ? german : folder + QStringLiteral("QUARN-%1.html").arg(QLatin1String(code));
    };
    if (Lang_id >= 1 && Lang_id <= 7 && QFileInfo::exists(page(codes[Lang_id - 1])))
        return page(codes[Lang_id - 1]);
    if (QFileInfo::exists(page("en")))
        return page("en");
    return german;
}

void TMainForm::QuarnHilfe1Click()
{
    const QString help = helpPage();
    if (!QFileInfo::exists(help)) {
        m_dialogs.messageBox(message(572).arg(QDir::toNativeSeparators(help)), message(102),
                             UserDialogs::Icon::Error);
        return;
    }
    if (!openDocument)
        return;
    openDocument(help, [this, help] {
        m_dialogs.messageBox(message(571).arg(QDir::toNativeSeparators(help)), QStringLiteral("Info"),
                             UserDialogs::Icon::Information);
    });
}

void TMainForm::Assistent1Click()
{
    if (showAssistant)
        showAssistant();
}

void TMainForm::setDebug(bool on)
{
    Debug = on;
    Hilfsbild1->setVisible(false);  // the auxiliary picture has nothing to show
    menu(QStringLiteral("Debug1"))->menuAction()->setVisible(Debug);
}

void TMainForm::Info1Click()
{
    if (!InfoForm) {
        m_dialogs.messageBox(QStringLiteral("Quarn%1").arg(Version), QStringLiteral("Info"),
                             UserDialogs::Icon::Information);
        return;
    }
    InfoForm->setVersionText(Version);
    InfoForm->exec();
}

void TMainForm::DirectX1Click()
{
    m_dialogs.messageBox(directXMessage(), QStringLiteral("Info"), UserDialogs::Icon::Information);
}

void TMainForm::openDebugWindow1Click()
{
    if (DebugForm) {
        DebugForm->show();
        DebugForm->raise();
    }
}

ServerSession* TMainForm::serverSession() const
{
    auto* host = findChild<SessionHost*>();
    return host ? &host->session() : nullptr;
}
