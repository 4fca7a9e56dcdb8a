#pragma once
// The assistant's tasks: list text (message 200 + index), explanation (message 250 + index) and
// the menu item that performs each one. Running a task triggers that item, as a click on the
// menu would; an item that is disabled is not run.

#include <QString>

#include <array>
#include <functional>

class QAction;

struct AssistTask {
    const char* item;     // object name of the menu item; nullptr: the task does nothing
    bool silentWhenOff;   // a disabled item is passed over without a message
};

inline constexpr int AssistTaskCount = 26;
inline constexpr int AssistListFirstId = 200;
inline constexpr int AssistTextFirstId = 250;
inline constexpr int AssistNotActiveId = 137;

const std::array<AssistTask, AssistTaskCount>& assistTasks();

enum class AssistOutcome {
    Ran,        // the item was triggered
    NotActive,  // its item is disabled: message 137
    Nothing,    // no item, an unknown index, or a disabled item passed over silently
};

// Runs task `index`; `item` finds a menu item by its object name (nullptr when there is none).
AssistOutcome runAssistTask(int index, const std::function<QAction*(const QString& name)>& item);
