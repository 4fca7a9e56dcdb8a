// Every window and dialog of the program, opened in each of the seven languages: no text may be
// left in English outside English, except the program's fixed texts (fixedTexts below), and no
// text may be cut by a control too small for its translation.
#include "app/ClockHost.h"
#include "app/JoystickHost.h"
#include "app/LocoControlHost.h"
#include "app/ProgramHost.h"
#include "app/RouteEditorHost.h"
#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "app/TSetupForm.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "base/ScriptedDialogs.h"
#include "common/WindowFit.h"
#include "ui/widgets/TAssistForm.h"
#include "ui/widgets/TDebugForm.h"
#include "ui/widgets/TInfoForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The program's fixed texts: they are not messages of the table and stay as they are in every
// language. Names (of the languages, the program, protocols and decoder kinds), protocol and file
// words, window names, the status bar's power state and program folder, the few messages the
// program always gives in English, and the debug mode's texts. An entry ending in "*" stands for
// every text that begins with what comes before it.
const QStringList& fixedTexts()
{
    static const QStringList list = {
        // the language list
        "Deutsch", "English", "Svenska", "Espanol", "Italiano", "Nederlands", "Francais",
        // status bar: the power state (with the third state of several buses) and the program folder
        "Power on", "Power off", "Power mixed", "WorkDir: *",
        // messages without a message id
        "not connected to server", "Loco data could not sent do server", "Solenoid data are not sent to server",
        "DirectX not installed", "DirectX * installed", "Unknown version of DirectX installed",
        // window names
        "Quarn Assistent", "DebugForm", "JoyDxForm", "JoyWinForm", "UhrForm", "Info", "Quarn", "Quarn setup",
        // debug mode: its menu, window and the flag shown in the joystick test window
        "Debug", "open Debug Window", "open StringGrid", "Init Lok", "true", "false",
        // names and protocol words
        "DirectX", "SRCP", "SRCP 0.73", "SRCP 0.80", "Maerklin/Motorola", "NMRA/DCC", "S88", "GL", "GA", "FB", "CV",
        "Vmax", "Decoder", "OK", "Status", "Joystick", "Joystick1", "Joystick 1", "Joystick 2",
        "Hilfe/QUARN.html",
        // the loco records' own words (protocol "Basis", joystick function "keine")
        "Basis", "keine"};
    return list;
}

bool sameInEveryLanguage(const QString& t)
{
    for (const QString& f : fixedTexts())
        if (f.endsWith(QLatin1Char('*')) ? t.startsWith(f.chopped(1)) : t == f)
            return true;
    if (t.endsWith(QLatin1String(".bmp")))  // the name of a picture file
        return true;
    // no word at all: numbers, "F1", "B3", "x 1"
    static const QRegularExpression word(QStringLiteral("\\p{L}{3,}"));
    return !word.match(t).hasMatch();
}

QStringList textsOf(QWidget* root)
{
    QStringList out;
    auto add = [&out](const QString& where, QString t) {
        t.remove(QLatin1Char('&'));
        t = t.trimmed();
        if (!t.isEmpty())
            out.push_back(where + QStringLiteral(": ") + t);
    };
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.prepend(root);
    for (QWidget* w : all) {
        const QString name = w->objectName();
        if (w->isWindow())
            add(name + "/title", w->windowTitle());
        if (!w->toolTip().isEmpty())
            add(name + "/tip", w->toolTip());
        if (auto* l = qobject_cast<QLabel*>(w))
            add(name, l->text());
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            add(name, b->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            add(name, g->title());
        else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                add(name + "/tab", tabs->tabText(i));
        } else if (auto* box = qobject_cast<QComboBox*>(w); box && !box->isEditable()) {
            for (int i = 0; i < box->count(); ++i)
                add(name + "/item", box->itemText(i));
        }
    }
    for (QAction* a : root->findChildren<QAction*>())
        if (!a->isSeparator())
            add(a->objectName() + "/action", a->text());
    return out;
}

class LanguageWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString work = dir.path() + "/";
        ASSERT_TRUE(QDir(dir.path()).mkdir("Data"));
        form = std::make_unique<TMainForm>(dialogs, work);
        auto* panel = new TrackPanelHost(*form);
        new RouteEditorHost(*form, *panel);
        new SessionHost(*form);
        auto* loco = new LocoControlHost(*form);
        new JoystickHost(*form, *loco);
        new ClockHost(*form);
        new ProgramHost(*form);
        setup = std::make_unique<TSetupForm>(form.get());
        assist = std::make_unique<TAssistForm>([this](int id) { return Lang->getmessage(id, form->Lang_id); },
                                               [this](const QString& n) { return form->action(n); }, dialogs);
        info = std::make_unique<TInfoForm>(form.get());
        debug = std::make_unique<TDebugForm>();
        form->show();
    }

    // Every window: the main window, its dialogs and the other top-level windows.
    QList<QWidget*> windows() const
    {
        QList<QWidget*> out{form.get(), setup.get(), assist.get(), info.get(), debug.get()};
        for (QWidget* w : QApplication::topLevelWidgets())
            if (!out.contains(w) && !qobject_cast<QMenu*>(w))
                out.push_back(w);
        for (QDialog* d : form->findChildren<QDialog*>())
            if (!out.contains(d))
                out.push_back(d);
        return out;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TSetupForm> setup;
    std::unique_ptr<TAssistForm> assist;
    std::unique_ptr<TInfoForm> info;
    std::unique_ptr<TDebugForm> debug;
};

TEST_F(LanguageWalk, NoWindowShowsEnglishOutsideEnglish)
{
    ASSERT_NE(Lang, nullptr);
    QStringList faults;
    int seen = 0;
    for (int lang : {1, 3, 4, 5, 6, 7, 2}) {
        form->Lang_id = lang;
        form->applyLanguage();
        for (QWidget* w : windows()) {
            const bool wasVisible = w->isVisible();
            w->show();  // a window is put into the language when it opens
            QCoreApplication::processEvents();  // and its layout takes the new texts
            QCoreApplication::processEvents();
            for (const QString& entry : textsOf(w)) {
                ++seen;
                const QString text = entry.section(QStringLiteral(": "), 1);
                if (lang == 2 || sameInEveryLanguage(text))
                    continue;
                const int id = Lang->idOfEnglish(text);
                if (id >= 0 && QString(Lang->translation(id, lang)).remove(QLatin1Char('&')).trimmed() != text)
                    faults.push_back(QStringLiteral("%1 [%2] English: %3").arg(w->objectName()).arg(lang).arg(entry));
                else if (id < 0 && Lang->localize(text, lang) == text) {
                    // not a text of the table: it must at least not be one in this language's column
                    bool known = false;
                    for (int i = 0; i < C_language::Rows && !known; ++i)
                        known = QString(Lang->translation(i, lang)).remove(QLatin1Char('&')).trimmed() == text;
                    // or a text of this language's column with its %1.. filled in
                    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
                    for (int i = C_language::FirstFixedText; i < C_language::Rows && !known; ++i) {
                        const QString& t = Lang->translation(i, lang);
                        if (!t.contains(placeholder))
                            continue;
                        QString pattern = QRegularExpression::escape(t);
                        pattern.replace(QRegularExpression(QStringLiteral("\\\\%[1-9]")), QStringLiteral("(.*)"));
                        known = QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$')).match(text).hasMatch();
                    }
                    if (!known)
                        faults.push_back(QStringLiteral("%1 [%2] unknown: %3").arg(w->objectName()).arg(lang).arg(entry));
                }
            }
            for (const QString& cut : testsupport::cutTexts(w))
                faults.push_back(QStringLiteral("[%1] cut: %2").arg(lang).arg(cut));
            if (!wasVisible)
                w->hide();
        }
    }
    faults.removeDuplicates();
    EXPECT_GT(seen, 500);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
}

TEST_F(LanguageWalk, SwitchingBackToEnglishRestoresTheEnglishTexts)
{
    form->Lang_id = 1;
    form->applyLanguage();
    setup->show();
    auto* tabs = setup->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_NE(tabs->tabText(0), QStringLiteral("Global settings"));
    form->Lang_id = 2;
    form->applyLanguage();
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Global settings"));
}

}  // namespace

// The status bar's texts follow a change of language, except the fixed ones.
TEST_F(LanguageWalk, StatusBarTextsFollowTheLanguageTheFixedOnesStay)
{
    form->Lang_id = 1;
    form->applyLanguage();
    EXPECT_TRUE(form->statusText(1).startsWith(QStringLiteral("WorkDir: "))) << form->statusText(1).toStdString();
    form->setStatusText(0, QStringLiteral("Power off"));
    form->setStatusText(2, QStringLiteral("Permission denied"));
    EXPECT_EQ(form->statusText(0), QStringLiteral("Power off"));
    EXPECT_EQ(form->statusText(2), QStringLiteral("Zugriff verweigert"));
    form->Lang_id = 7;
    form->applyLanguage();
    EXPECT_EQ(form->statusText(2), QStringLiteral("Permission refusée"));
    EXPECT_EQ(form->statusText(0), QStringLiteral("Power off"));
    EXPECT_TRUE(form->statusText(1).startsWith(QStringLiteral("WorkDir: ")));
    form->setStatusText(0, QStringLiteral("Power on"));
    EXPECT_EQ(form->statusText(0), QStringLiteral("Power on"));
}
