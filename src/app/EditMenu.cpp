#include "app/EditMenu.h"

#include "app/TMainForm.h"
#include "panel/LayoutHistory.h"
#include "base/C_language.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {
constexpr int MsgEdit = 510, MsgUndo = 511, MsgRedo = 512;
}  // namespace

QMenu* addEditMenu(TMainForm& form, LayoutHistory& history)
{
    QMenuBar* bar = form.menuBar();
    auto* menu = new QMenu(QStringLiteral("&Edit"), bar);
    menu->setObjectName(QStringLiteral("Bearbeiten1"));
    QMenu* options = form.menu(QStringLiteral("Optionen1"));
    if (options)
        bar->insertMenu(options->menuAction(), menu);
    else
        bar->addMenu(menu);

    QAction* undo = menu->addAction(QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("Rueckgaengig1"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = menu->addAction(QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("Wiederholen1"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    // The shortcuts work wherever the focus is in the main window, also with the menu bar hidden.
    form.addAction(undo);
    form.addAction(redo);

    QUndoStack& stack = history.stack();
    undo->setEnabled(stack.canUndo());
    redo->setEnabled(stack.canRedo());
    QObject::connect(&stack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    QObject::connect(&stack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    QObject::connect(undo, &QAction::triggered, menu, [&history] { history.undo(); });
    QObject::connect(redo, &QAction::triggered, menu, [&history] { history.redo(); });

    auto captions = [&form, menu, undo, redo] {
        if (!Lang)
            return;
        menu->setTitle(Lang->getmessage(MsgEdit, form.Lang_id));
        undo->setText(Lang->getmessage(MsgUndo, form.Lang_id));
        redo->setText(Lang->getmessage(MsgRedo, form.Lang_id));
    };
    captions();
    QObject::connect(&form, &TMainForm::languageApplied, menu, captions);
    return menu;
}
