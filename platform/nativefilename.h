#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names as the file system holds them: bytes, which need not be valid UTF-8 (a
// disc written on an old system, a name in Latin-1). Qt decodes names as UTF-8 and
// turns every byte it cannot decode into U+FFFD, so such a file could never be
// opened again. The player keeps names in QStrings that hold every byte: valid UTF-8
// is decoded as usual, and each byte that is not part of it becomes one of the lone
// surrogates U+DC80..U+DCFF, which no decoded text can contain (the "surrogate
// escape" that other runtimes use for the same purpose).
class CNativeFileName {
public:
    static QString Decode(const QByteArray& bytes);
    static QByteArray Encode(const QString& name);

    // The program's arguments, decoded as file names. Call after QApplication has
    // taken its own options out of argv.
    static QStringList Arguments(int argc, char** argv);

    // A name Qt's file dialog handed over: bytes it could not decode arrive as U+FFFD.
    // Each component holding one is looked up in its folder and replaced by the one
    // entry that Qt shows under that name. Otherwise the name is returned as it is.
    static QString FromDialog(const QString& name);
};
