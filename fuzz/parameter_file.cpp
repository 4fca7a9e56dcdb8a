// Fuzz target: the parameter file "parmc.dat" as the program reads it at start. A damaged file is
// read with its bad values replaced, and the lines named are lines of the file. Whatever was read, written back and read again, gives the same
// settings and loco records, apart from what the file format itself folds: function codes above 10
// come back reduced by 10, and a line break inside a string is stored as a blank.

#include "base/AppState.h"
#include "base/ParameterFile.h"
#include "common/GuiApp.h"
#include "base/TLok.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

QString stored(QString s)
{
    return s.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void requireSameSettings(const AppState& a, const AppState& b)
{
    require(a.Ipport == b.Ipport);
    require(stored(a.Iphostchar) == b.Iphostchar);
    require(a.Infoport_an == b.Infoport_an);
    require(a.SrcpVer == b.SrcpVer);
    require(a.Lang_id == b.Lang_id);
    require(a.Joy_Mode == b.Joy_Mode);
    require(a.Showassist == b.Showassist);
    require(a.Monitorpower == b.Monitorpower);
    require(a.Autopower == b.Autopower);
    require(a.BusGlMM == b.BusGlMM);
    require(a.BusGlNMRA_S == b.BusGlNMRA_S);
    require(a.BusGlNMRA_L == b.BusGlNMRA_L);
    require(a.BusGaMM == b.BusGaMM);
    require(a.BusGaNMRA == b.BusGaNMRA);
    require(a.BusS88 == b.BusS88);
    require(a.Buspower == b.Buspower);
    require(a.Autoreconnect == b.Autoreconnect);
}

void requireSameLocos(const TLok& a, const TLok& b)
{
    for (int l = 0; l < TLok::Count; ++l) {
        require(stored(a.get_protocol(l)) == b.get_protocol(l));
        require(a.get_protocolbase(l) == b.get_protocolbase(l));
        require(a.get_protvers(l) == b.get_protvers(l));
        require(stored(a.get_name(l)) == b.get_name(l));
        require(a.get_addr(l) == b.get_addr(l));
        require(a.get_busnr(l) == b.get_busnr(l));
        require(a.get_direction(l) == b.get_direction(l));
        require(a.get_speed(l) == b.get_speed(l));
        require(a.get_speedmax(l) == b.get_speedmax(l));
        require(a.get_nrof(l) == b.get_nrof(l));
        const Dekod_Funcs fa = a.get_F(l), fb = b.get_F(l);
        for (std::size_t i = 0; i < fa.size(); ++i) {
            // Entries 0..7 are read back (reduced by 10 above 10); the rest keep their value.
            const int expected = i < 8 && fa[i] > 10 ? fa[i] - 10 : fa[i];
            require(fb[i] == expected);
        }
        require(a.get_jb1(l) == b.get_jb1(l));
        require(a.get_jb2(l) == b.get_jb2(l));
        require(a.get_jb3(l) == b.get_jb3(l));
        require(a.get_jb4(l) == b.get_jb4(l));
        require(stored(a.get_jb1func(l)) == b.get_jb1func(l));
        require(stored(a.get_jb2func(l)) == b.get_jb2func(l));
        require(stored(a.get_jb3func(l)) == b.get_jb3func(l));
        require(stored(a.get_jb4func(l)) == b.get_jb4func(l));
    }
}

void resetSettings(AppState& s)
{
    static const AppState start;
    s.Ipport = start.Ipport;
    s.Iphostchar = start.Iphostchar;
    s.Infoport_an = start.Infoport_an;
    s.SrcpVer = start.SrcpVer;
    s.Lang_id = start.Lang_id;
    s.Joy_Mode = start.Joy_Mode;
    s.Showassist = start.Showassist;
    s.Monitorpower = start.Monitorpower;
    s.Autopower = start.Autopower;
    s.BusGlMM = start.BusGlMM;
    s.BusGlNMRA_S = start.BusGlNMRA_S;
    s.BusGlNMRA_L = start.BusGlNMRA_L;
    s.BusGaMM = start.BusGaMM;
    s.BusGaNMRA = start.BusGaNMRA;
    s.BusS88 = start.BusS88;
    s.Buspower = start.Buspower;
    s.Autoreconnect = start.Autoreconnect;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::ensureGuiApp();
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The application state holds the layout pictures (megabytes): made once and reused, with the
    // settings the file holds set back to their start values before every input.
    static AppState main;
    static AppState main2;
    resetSettings(main);
    resetSettings(main2);
    TLok lok;
    const QList<int> replaced = ParameterFile::read(text, main, lok);
    const int lines = static_cast<int>(text.count('\n')) + 1;
    for (int line : replaced)  // a file cut short names the lines it lacks too, counted on after its end
        require(line >= 1 && line <= lines + 16 + 10 * 50);

    const QByteArray written = ParameterFile::write(main, lok);
    require(written.count('\n') == ParameterFile::LineCount);
    TLok lok2;
    require(ParameterFile::read(written, main2, lok2).isEmpty());  // a written file always reads whole
    requireSameSettings(main, main2);
    requireSameLocos(lok, lok2);
    return 0;
}
