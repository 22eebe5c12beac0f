#pragma once

#include <QDir>
#include <QFile>
#include <QString>

// A program folder of its own for a benchmark, with the built skin, so that a run
// leaves the build's folder alone. Both folders end with '/'.
inline bool CopySkin(const QString& from, const QString& to)
{
    QDir(to).mkpath("skin");
    if (!QFile::copy(from + "res.ini", to + "res.ini"))
        return false;
    for (const QString& name : QDir(from + "skin").entryList(QDir::Files))
        QFile::copy(from + "skin/" + name, to + "skin/" + name);
    return true;
}
