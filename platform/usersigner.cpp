#include "platform/usersigner.h"

#include "platform/signingkey.h"

CUserSigner::CUserSigner()
{
    m_key = CSigningKey::Obtain(m_prospect.m_strReason);
    if (m_key) {
        m_prospect.m_strFingerprint = m_key->Fingerprint();
        m_prospect.m_strSigner = CSigningKey::SignerName();
    }
}

CSigningOutcome CUserSigner::Sign(const std::string& sums) const
{
    CSigningOutcome outcome = m_prospect;
    if (m_key)
        outcome.m_bSigned = SignSumFile(sums, *m_key, m_prospect.m_strSigner, outcome.m_strReason);
    return outcome;
}
