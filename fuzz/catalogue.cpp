// Fuzz target: the element catalogue "Elemente1.dat". A damaged catalogue may only raise
// FileReadError (the entries read before it keep their values). The program never writes the
// catalogue; the target writes the table in the catalogue's own format and checks that reading
// that text gives the same 88 entries.

#include "common/GuiApp.h"
#include "layout/C_Element.h"
#include "layout/LineValueReader.h"
#include "layout/TextCodec.h"

#include <QByteArray>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

QByteArray catalogueText(const C_Element& table)
{
    QByteArray out;
    out.reserve(16 * 1024);
    const auto integer = [&out](int v) {
        char digits[16];
        const char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        out.append(digits, end - digits).append("\r\n", 2);
    };
    const auto string = [&out](const QString& s) {
        appendFileText(out, s);
        out.append("\r\n", 2);
    };
    for (int i = 0; i < C_Element::Count; ++i) {
        integer(table.get_nummer(i));
        string(table.get_name(i));
        integer(table.get_posx(i));
        integer(table.get_posy(i));
        integer(table.get_art(i));
        integer(table.get_vektor(i));
        string(table.get_i01(i));
        string(table.get_i02(i));
        string(table.get_i03(i));
        string(table.get_i11(i));
        string(table.get_i12(i));
        string(table.get_i13(i));
    }
    return out;
}

void requireSameTable(const C_Element& a, const C_Element& b)
{
    for (int i = 0; i < C_Element::Count; ++i) {
        require(a.get_nummer(i) == b.get_nummer(i));
        require(a.get_name(i) == b.get_name(i));
        require(a.get_posx(i) == b.get_posx(i));
        require(a.get_posy(i) == b.get_posy(i));
        require(a.get_art(i) == b.get_art(i));
        require(a.get_vektor(i) == b.get_vektor(i));
        require(a.get_i01(i) == b.get_i01(i));
        require(a.get_i02(i) == b.get_i02(i));
        require(a.get_i03(i) == b.get_i03(i));
        require(a.get_i11(i) == b.get_i11(i));
        require(a.get_i12(i) == b.get_i12(i));
        require(a.get_i13(i) == b.get_i13(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::ensureGuiApp();
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    auto table = std::make_unique<C_Element>();
    try {
        table->readCatalogue(text);
    } catch (const FileReadError&) {
        // Entries read before the error keep their values; they are compared below all the same.
    }

    const QByteArray written = catalogueText(*table);
    require(written.count('\n') == 88 * 12);
    auto again = std::make_unique<C_Element>();
    again->readCatalogue(written);  // a catalogue in the table's own format always reads
    requireSameTable(*table, *again);
    return 0;
}
