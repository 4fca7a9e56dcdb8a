#pragma once
// Where the program reads and writes its files, decided once at start; everything else asks here.
//
// A program folder that the user can write and that holds Data/ (the build tree, a copy in the
// user's home, an older install) keeps everything in it: settings in Data/, layouts and their
// route files in Layouts/. Any other program folder belongs to an installed program: what ships
// with it (catalogue and icons in Data/, help in Hilfe/, the demo in Layouts/) is read from its
// read-only folder, and each user's settings and layouts live in that user's own configuration
// and data folders.

#include <QString>
#include <QStringList>

#include <functional>

struct FileLocations {
    QString program;   // the program file's folder
    QString shipped;   // read only in an installed program: Data/, Hilfe/, Layouts/ as shipped
    QString settings;  // the parameter file's folder
    QString layouts;   // the user's layouts and their route files
    bool perUser = false;  // settings and layouts in the user's home, apart from the program

    bool decided() const { return !program.isEmpty(); }
    QString dataFolder() const { return shipped + QStringLiteral("Data/"); }  // catalogue, icons
    QString helpFolder() const { return shipped + QStringLiteral("Hilfe/"); }
    QString shippedLayouts() const { return shipped + QStringLiteral("Layouts/"); }
    QString parameterFile() const { return settings + QStringLiteral("parmc.dat"); }

    // Everything in `programDir` (with trailing "/"), as in the development tree.
    static FileLocations inProgramFolder(const QString& programDir);

    // Decides for the program in `programDir`. `configHome` and `dataHome` are the user's
    // configuration and data folders (~/.config, ~/.local/share); `sharedFromProgram` leads from
    // the program folder to the installed read-only folder ("../share/quarn/"). `writable` says
    // whether the user may write a folder.
    static FileLocations decide(const QString& programDir, const QString& configHome, const QString& dataHome,
                                const QString& sharedFromProgram,
                                const std::function<bool(const QString&)>& writable);
    // The same for the user running the program, from the desktop's standard folders.
    static FileLocations forCurrentUser(const QString& programDir);
};

// What preparing the user's folders did.
struct UserFolders {
    bool firstStart = false;  // there was no parameter file yet
    QStringList copied;       // shipped layout files copied into the user's layout folder
    QString error;            // a folder that could not be made (empty: none)
};

// For a program with per-user folders: makes the settings and layout folders and, on the first
// start (no parameter file yet), copies the shipped layouts (the demo with its routes) into the
// user's layout folder, where they can be changed; a file of the same name that is already there
// is kept. Nothing happens for a program that keeps everything in its own folder.
UserFolders prepareUserFolders(const FileLocations& where);
