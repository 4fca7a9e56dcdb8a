#pragma once
// The "&Edit" menu of the main window: "&Undo" (Ctrl+Z) and "&Redo" (Ctrl+Shift+Z, Ctrl+Y) of the
// layout's history, enabled while there is a step to take, with captions in the current language.

class TMainForm;
class LayoutHistory;
class QMenu;

// Puts the menu between "&File" and "&Options" and returns it (owned by the menu bar).
QMenu* addEditMenu(TMainForm& form, LayoutHistory& history);
