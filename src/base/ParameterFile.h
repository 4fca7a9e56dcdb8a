#pragma once
// The parameter file "parmc.dat": server settings, language and interface options, the SRCP 0.8
// bus numbers and the ten loco records, one value per line (516 lines, CR LF), then settings added
// later, one line each (line 517: reconnect automatically; 518 to 522: the phone server;
// 523: switch track power on again after a reconnect); a file that ends before such a line reads
// it as its default, so older files stay readable. Strings are stored in Windows-1252. The reader and writer work on in-memory text; the file functions wrap them.

#include <QByteArray>
#include <QList>
#include <QString>

#include <stdexcept>

struct AppState;
class TLok;

namespace ParameterFile {

constexpr int LineCount = 16 + 10 * 50 + 1 + 5 + 1 + 1;  // + the reconnect, phone server, power-after-reconnect and per-address settings, added later

// Upper ends of the ranges the reader takes: bus numbers (devices sit on buses 1 and up, bus 0 is
// the server's own), decoder addresses (long DCC addresses) and speeds.
constexpr int MaxBus = 100;
constexpr int MaxAddress = 10239;
constexpr int MaxSpeed = 1000;

// A read error (file missing, text that is not a number where one belongs) or a write error.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folders come from main.locations() (base/FileLocations).
QString dataPath(const AppState& main);    // catalogue and icons: WorkDir + "Data/" in the program folder
QString layoutPath(const AppState& main);  // the user's layouts: WorkDir + "Layouts/" in the program folder
QString filePath(const AppState& main);    // the parameter file: WorkDir + "Data/parmc.dat" in the program folder

// Sets the fields in file order. A file that ends before line 516 is damaged: every value it lacks
// is replaced as a bad one is (the lines added later, 517 on, read as their defaults when they are
// missing, so older files stay readable). A setting outside its range (port 1..65535, SRCP 73 or 80, language 1..7, switches 0 or 1, bus
// numbers 1..MaxBus, a host name that is empty) takes its start value. A loco field outside its
// range (protocol M1..M5, NB, N1..N5; family 0..7; version 1..6; address -1..MaxAddress; bus
// 1..MaxBus; direction -1..1; top speed 1..MaxSpeed and speed 0..top; 0..4 functions; function
// and joystick button codes 0..20; button functions "Direction", "Func", "F1".."F4", "keine")
// keeps what the loco table holds (a speed above the top: 0). A value that is not a number is
// replaced the same way; every other value of the file is still read. Returns the file lines
// (1-based, ascending) whose value was replaced, the missing ones of a cut file included.
QList<int> read(const QByteArray& text, AppState& main, TLok& lok);
QByteArray write(const AppState& main, const TLok& lok);

// Lines for a message: ascending, runs of three or more as "21-516", e.g. "4, 12, 21-516".
QString describeLines(const QList<int>& lines);

// Throws Error when the file cannot be opened or read; returns what read() returns.
QList<int> load(const QString& path, AppState& main, TLok& lok);
// Writes to a temporary file and renames it over the old one; throws Error with a message that
// names the file when that fails (the old file is then left as it was).
void save(const QString& path, const AppState& main, const TLok& lok);

}  // namespace ParameterFile
