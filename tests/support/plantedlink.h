#pragma once

#include <QString>

#include <optional>
#include <string>

// A symbolic link planted where the program writes one of its files, pointing at a
// recording: the program must neither write through it nor replace the recording.
// The recording's digest is taken when the link is planted.
class CPlantedLink {
public:
    // Links `linkPath` to `recording`; Planted() says whether that worked.
    CPlantedLink(const QString& recording, const QString& linkPath);

    bool Planted() const { return m_bPlanted; }
    // Whether the recording still holds the bytes it held when the link was planted.
    bool RecordingIntact() const;
    // Whether the link is still there, still naming the recording.
    bool LinkIntact() const;

private:
    QString m_strRecording, m_strLink;
    std::optional<std::string> m_digest;
    bool m_bPlanted = false;
};
