#pragma once
// The element catalogue: 88 kinds of layout elements with their palette cells, kinds and icons.
// Element number n is always found at index n-1.

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

struct TElementEntry {
    int E_Nummer = 0;
    QString E_Name;
    int E_Posx = 0, E_Posy = 0;
    int E_Art = 0;
    int E_Vektor = 0;
    QString E_Icon01, E_Icon02, E_Icon03;
    QString E_Icon11, E_Icon12, E_Icon13;
};

class C_Element {
public:
    static constexpr int Count = 88;

    // Setters and getters by table index 0..87; an index outside the table is ignored / reads 0.
    void set_nummer(int i, int v) { if (auto* e = at(i)) e->E_Nummer = v; }
    void set_name(int i, const QString& v) { if (auto* e = at(i)) e->E_Name = v; }
    void set_posx(int i, int v) { if (auto* e = at(i)) e->E_Posx = v; }
    void set_posy(int i, int v) { if (auto* e = at(i)) e->E_Posy = v; }
    void set_art(int i, int v) { if (auto* e = at(i)) e->E_Art = v; }
    void set_vektor(int i, int v) { if (auto* e = at(i)) e->E_Vektor = v; }
    void set_i01(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon01 = v; }
    void set_i02(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon02 = v; }
    void set_i03(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon03 = v; }
    void set_i11(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon11 = v; }
    void set_i12(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon12 = v; }
    void set_i13(int i, const QString& v) { if (auto* e = at(i)) e->E_Icon13 = v; }

    int get_nummer(int i) const { return at(i) ? at(i)->E_Nummer : 0; }
    int get_posx(int i) const { return at(i) ? at(i)->E_Posx : 0; }
    int get_posy(int i) const { return at(i) ? at(i)->E_Posy : 0; }
    int get_art(int i) const { return at(i) ? at(i)->E_Art : 0; }
    int get_vektor(int i) const { return at(i) ? at(i)->E_Vektor : 0; }
    QString get_i01(int i) const { return at(i) ? at(i)->E_Icon01 : QString(); }
    QString get_i02(int i) const { return at(i) ? at(i)->E_Icon02 : QString(); }
    QString get_i03(int i) const { return at(i) ? at(i)->E_Icon03 : QString(); }
    QString get_i11(int i) const { return at(i) ? at(i)->E_Icon11 : QString(); }
    QString get_i12(int i) const { return at(i) ? at(i)->E_Icon12 : QString(); }
    QString get_i13(int i) const { return at(i) ? at(i)->E_Icon13 : QString(); }
    QString get_name(int i) const { return at(i) ? at(i)->E_Name : QString(); }

    // Reads the 88 records of the catalogue text into entries 0..87 in file order. A value that is
    // not a number or does not fit its role is replaced alone: the element number by index + 1, a
    // palette position that is no cell origin by the index's cell, a kind outside 0..3 by 0 (never
    // switched), the unused vector by 0. Returns the lines (1-based) whose value was replaced; the
    // end of the text reads as 0 and empty, as always.
    QList<int> readCatalogue(const QByteArray& text);

private:
    TElementEntry* at(int i) { return i >= 0 && i < Count ? &m_entries[static_cast<size_t>(i)] : nullptr; }
    const TElementEntry* at(int i) const
    {
        return i >= 0 && i < Count ? &m_entries[static_cast<size_t>(i)] : nullptr;
    }
    std::array<TElementEntry, Count> m_entries{};
};

extern C_Element* Element;
