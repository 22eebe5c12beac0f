#pragma once

#include <QString>

#include <cstdint>

// What a one-pass export of a recording tells whoever runs it. Both calls come on
// the thread that runs the export (the reading thread), never from its writers.
class IRecordingExportView {
public:
    virtual ~IRecordingExportView() = default;

    // The pass has read up to `offset` of the file; `last` once, when it ends.
    virtual void OnExportProgress(uint64_t offset, bool last) = 0;
    // Why a camera's export could not be created, written or completed, naming its
    // file, for a person.
    virtual void OnExportMessage(const QString& text) = 0;
    // Why a camera's export, written whole, is not signed: `text` names the file,
    // `reason` is the reason alone. A view that tells the two apart overrides it; a
    // whole copy without its signature is not a failed one.
    virtual void OnExportUnsigned(const QString& text, const QString& /*reason*/) { OnExportMessage(text); }
};
