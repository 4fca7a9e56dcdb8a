#include "layout/C_Element.h"

#include "layout/LineValueReader.h"
#include "layout/TextCodec.h"

C_Element* Element = nullptr;

void C_Element::readCatalogue(const QByteArray& text)
{
    LineValueReader in(text);
    for (int i = 0; i < Count; ++i) {
        set_nummer(i, in.readInt());
        set_name(i, fromFileText(in.readLineView()));
        set_posx(i, in.readInt());
        set_posy(i, in.readInt());
        set_art(i, in.readInt());
        set_vektor(i, in.readInt());
        set_i01(i, fromFileText(in.readLineView()));
        set_i02(i, fromFileText(in.readLineView()));
        set_i03(i, fromFileText(in.readLineView()));
        set_i11(i, fromFileText(in.readLineView()));
        set_i12(i, fromFileText(in.readLineView()));
        set_i13(i, fromFileText(in.readLineView()));
    }
}
