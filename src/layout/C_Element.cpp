#include "layout/C_Element.h"

#include "layout/LineValueReader.h"
#include "layout/TextCodec.h"

C_Element* Element = nullptr;

QList<int> C_Element::readCatalogue(const QByteArray& text)
{
    LineValueReader in(text);
    QList<int> replaced;
    // A number in the range the record's role allows, or `fallback` with its line noted.
    const auto number = [&](int fallback, auto fits) {
        const std::optional<int> v = in.tryReadInt();
        if (v && fits(*v))
            return *v;
        replaced.push_back(in.wordLine());
        return fallback;
    };
    const auto any = [](int) { return true; };
    for (int i = 0; i < Count; ++i) {
        // Element number n is looked up at index n-1; its palette cell is one of the grid's.
        set_nummer(i, number(i + 1, [i](int v) { return v == i + 1; }));
        set_name(i, fromFileText(in.readLineView()));
        set_posx(i, number(1 + 28 * (i % 22), [](int v) { return v >= 1 && v <= 1 + 28 * 21 && (v - 1) % 28 == 0; }));
        set_posy(i, number(1 + 28 * (i / 22), [](int v) { return v >= 1 && v <= 1 + 28 * 3 && (v - 1) % 28 == 0; }));
        set_art(i, number(0, [](int v) { return v >= 0 && v <= 3; }));  // 0: nothing is ever switched
        set_vektor(i, number(0, any));
        set_i01(i, fromFileText(in.readLineView()));
        set_i02(i, fromFileText(in.readLineView()));
        set_i03(i, fromFileText(in.readLineView()));
        set_i11(i, fromFileText(in.readLineView()));
        set_i12(i, fromFileText(in.readLineView()));
        set_i13(i, fromFileText(in.readLineView()));
    }
    return replaced;
}
