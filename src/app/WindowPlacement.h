#pragma once
// Where the tool windows open next to the main window; each is then kept inside its screen.

class QMainWindow;
class QWidget;

// The assistant: at the right-hand side of the main window, over the lower part of the layout.
void placeAssistant(QWidget& assistant, const QWidget& main);
// The debug window: at the right-hand edge of the screen, below the main window's menu bar, so
// the menus stay free.
void placeDebugWindow(QWidget& debug, const QMainWindow& main);
