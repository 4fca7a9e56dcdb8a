#include "panel/Cbahn.h"

#include "base/GuiChannel.h"

Cbahn* Bahn = nullptr;

Cbahn::Cbahn(AppState& main, C_Position& postable, C_Element& element, TLok& lok, UserDialogs& dialogs)
    : m_main(main), m_postable(postable), m_element(element), m_lok(lok), m_dialogs(dialogs)
{
}

Cbahn::~Cbahn()
{
    // Outcomes still on their way find nobody: the channel is closed and the queued calls see
    // that this object is gone.
    *m_alive = false;
    if (m_gui)
        m_gui->close();
}
