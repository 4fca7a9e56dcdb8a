#include "base/TLok.h"

#include <algorithm>

TLok* Lok = nullptr;

TLok::TLok()
{
    for (int i = 0; i < Count; ++i)
        LokEntry[static_cast<std::size_t>(i)] = std::make_unique<tLokEntry>();
}

TLok::~TLok() = default;

void TLok::lokinit(int LNr)
{
    e(LNr) = tLokEntry{};
}

void TLok::set_F(int Lnr, const Dekod_Funcs& F_wert)
{
    std::copy_n(F_wert.begin(), 8, e(Lnr).F.begin());
}
