#include "layout/C_Position.h"

C_Position* Postable = nullptr;

int C_Position::addEntry(std::unique_ptr<tPosEntry> entry)
{
    if (!entry)
        return -1;
    m_entries.push_back(std::move(entry));
    return 0;
}

int C_Position::delEntry(int x, int y)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if ((*it)->Posx == x && (*it)->Posy == y) {
            m_entries.erase(it);
            return 0;
        }
    }
    return -1;
}

tPosEntry* C_Position::getEntryByNum(int index) const
{
    if (index < 0 || index >= getNumbofEntries())
        return nullptr;
    return m_entries[static_cast<size_t>(index)].get();
}

tPosEntry* C_Position::getEntryByKor(int x, int y) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if ((*it)->Posx == x && (*it)->Posy == y)
            return it->get();
    return nullptr;
}

void C_Position::initializeEntry(int compId, tPosEntry& e)
{
    e = tPosEntry{};
    e.CompID = compId;
}
