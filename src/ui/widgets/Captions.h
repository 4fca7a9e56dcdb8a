#pragma once
// Puts language captions on the controls whose object name they carry: menus get a title, menu
// items, labels and buttons a text, group boxes a title, tab pages their tab text, windows a title.

#include "base/C_language.h"

#include <vector>

class QWidget;

// Returns how many controls received a caption.
int applyCaptions(QWidget* root, const std::vector<C_language::Caption>& captions);
