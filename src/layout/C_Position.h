#pragma once
// The position table: placed elements in insertion order. It owns its entries.

#include "base/PositionTable.h"

#include <memory>
#include <vector>

class C_Position {
public:
    int addEntry(std::unique_ptr<tPosEntry> entry);       // 0, or -1 for no entry
    int delEntry(int x, int y);                           // first match; 0 or -1
    tPosEntry* getEntryByNum(int index) const;            // none outside 0..count-1
    tPosEntry* getEntryByKor(int x, int y) const;         // last match, or none
    int getNumbofEntries() const { return static_cast<int>(m_entries.size()); }
    static void initializeEntry(int compId, tPosEntry& entry);
    void EmptyQuarnList() { m_entries.clear(); }

private:
    std::vector<std::unique_ptr<tPosEntry>> m_entries;
};

extern C_Position* Postable;
