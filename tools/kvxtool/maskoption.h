#pragma once

#include "playback/privacymaskset.h"

#include <memory>
#include <string>

// `--masks FILE` of export and snapshot: the privacy masks an output is made with.
// Each refusal names the file, the entry and the fault on standard error (Refuse), so
// that nothing is made from a file with errors.
class CMaskOption {
public:
    // Reads and checks the file; false when it cannot be read or holds an error.
    bool Read(const std::string& file);
    // False when a mask names a camera the recording does not have.
    bool CheckCameras(int channelCount) const;

    bool IsGiven() const { return m_pMasks != nullptr; }
    const std::shared_ptr<const CPrivacyMaskSet>& Masks() const { return m_pMasks; }

private:
    std::string m_strFile;
    std::shared_ptr<const CPrivacyMaskSet> m_pMasks;
};
