#include "panel/Cbahn.h"

Cbahn* Bahn = nullptr;

Cbahn::Cbahn(AppState& main, C_Position& postable, C_Element& element, TLok& lok, UserDialogs& dialogs)
    : m_main(main), m_postable(postable), m_element(element), m_lok(lok), m_dialogs(dialogs)
{
}
