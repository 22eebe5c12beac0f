// Keys that show the state they stand for: the layout key of the tiles shown and the
// camera key of the enlarged camera (or the first of the page) are lit, and the
// transport looks unavailable while there is nothing to play. The audio switches
// light themselves when on.

#include "player/kvxplayerview.h"

#include "skin/skinbutton.h"

void CKVXPlayerView::ShowLitKeys()
{
    const int grid = m_session.Grid();
    for (size_t i = 0; i < m_controls.m_btnMode.size(); ++i)
        m_controls.m_btnMode[i]->SetLit(grid == int(i) + 1);
    // Without a recording no camera is shown, however the tiles stand.
    const int camera = m_strFilePath.isEmpty() ? -1 : m_session.CurChannel();
    for (size_t k = 0; k < m_controls.m_btnChannel.size(); ++k)
        m_controls.m_btnChannel[k]->SetLit(int(k) == camera);
}

// The skin's disabled picture of a transport key shows the running state held in, so
// with nothing open the keys are faded instead: all seven held in would read as
// every state at once.
void CKVXPlayerView::ShowTransportAvailable()
{
    const bool open = !m_strFilePath.isEmpty();
    for (CSkinButton* key : m_controls.Navigation())
        key->setEnabled(open);
}
