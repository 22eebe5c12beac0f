#pragma once

#include "evidence/bookmarkstore.h"
#include "tests/support/testfiles.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <string>

// Puts `bytes` where the user's bookmarks of `recording` are kept, as a store the
// program did not write (damaged, cut off) would lie there: the store file's path,
// for the messages that must name it; empty when the recording cannot be read.
inline QString PlantBookmarkFile(const QString& recording, const QByteArray& bytes)
{
    CBookmarkStore store;
    std::string message;
    if (!store.Load(recording.toStdString(), message))
        return {};
    QDir().mkpath(CBookmarkStore::DefaultFolder());
    WriteFile(store.FilePath(), bytes);
    return store.FilePath();
}
