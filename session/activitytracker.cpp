#include "session/activitytracker.h"

#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "recording/datetime.h"

#include <algorithm>

namespace {

// The header offset of the last picture of `stretch`: the stretch ends at its last
// picture in the region, which the search gives as a date-time only. Within a run the
// clock does not go back, and a run start ends the stretch anyway.
uint64_t LastOffsetOf(const std::vector<CActivityPicture>& pictures, const CActivityStretch& stretch)
{
    auto it = std::lower_bound(pictures.begin(), pictures.end(), stretch.m_nOffset,
                               [](const CActivityPicture& p, uint64_t offset) { return p.m_nOffset < offset; });
    if (it == pictures.end())
        return stretch.m_nOffset;
    const int64_t to = DateTimeToSeconds(stretch.m_to);
    uint64_t last = it->m_nOffset;
    for (++it; it != pictures.end() && !(it->m_nFlags & CActivityPicture::RUN_START) && it->m_nSeconds <= to; ++it)
        last = it->m_nOffset;
    return last;
}

uint8_t HeatLevel(double peak)
{
    const int span = 255 - CActivityTracker::HEAT_FLOOR;
    return uint8_t(std::clamp(CActivityTracker::HEAT_FLOOR + int(peak * span + 0.5), 1, 255));
}

} // namespace

CActivityTracker::CActivityTracker(QObject* parent) : QObject(parent) {}

CActivityTracker::~CActivityTracker()
{
    Stop();
}

void CActivityTracker::Start(const std::string& path, const CRecordingFacts& facts)
{
    Stop();
    m_facts = facts;
    CActivityIndexRequest request;
    request.m_strPath = path;
    request.m_facts = facts;
    m_pBuilder = std::make_unique<CActivityIndexBuilder>(std::move(request));
    const int generation = m_nGeneration;
    // The scan reports every few hundred pictures; the window hears of each whole percent.
    auto onProgress = [this, generation, lastPercent = -1](uint64_t position, uint64_t end) mutable {
        const int percent = end ? int(std::min<uint64_t>(position * 100 / end, 100)) : 0;
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        QMetaObject::invokeMethod(this, [=, this] { OnProgress(generation, position); }, Qt::QueuedConnection);
    };
    auto onDone = [this, generation, path](const CActivityIndexOutcome& outcome) {
        QStringList notes;
        for (const std::string& note : outcome.m_notes)
            notes << QString::fromStdString(note);
        if (outcome.m_scan.m_result == EActivityScan::Failed)
            notes << QString::fromStdString(path + ": activity not indexed: " + outcome.m_scan.m_strError);
        const bool complete = outcome.m_scan.m_result == EActivityScan::Complete;
        QMetaObject::invokeMethod(this, [=, this] { OnDone(generation, complete, notes); }, Qt::QueuedConnection);
    };
    m_pBuilder->Start(std::move(onProgress), std::move(onDone));
}

void CActivityTracker::Stop()
{
    ++m_nGeneration; // what the stopped build still posts is dropped
    m_pBuilder.reset();
    m_nPosition = 0;
    m_nPercent = 0;
    m_bDone = false;
    m_notes.clear();
}

void CActivityTracker::OnProgress(int generation, uint64_t position)
{
    if (generation != m_nGeneration || m_bDone)
        return;
    m_nPosition = std::max(m_nPosition, position);
    m_nPercent = m_facts.m_nFileLength ? int(std::min<uint64_t>(m_nPosition * 100 / m_facts.m_nFileLength, 99)) : 0;
    emit progressed(m_nPercent);
}

void CActivityTracker::OnDone(int generation, bool complete, const QStringList& notes)
{
    if (generation != m_nGeneration)
        return;
    m_bDone = true;
    m_notes = notes;
    if (complete) {
        m_nPosition = m_facts.m_nFileLength;
        m_nPercent = 100;
    }
    emit finished();
}

std::vector<CActivityStretch> CActivityTracker::Find(const CActivityQuery& query) const
{
    return m_pBuilder ? m_pBuilder->Index().Find(query) : std::vector<CActivityStretch>{};
}

// The cameras' stretches come each in file order; across cameras the offsets decide.
std::optional<CActivityStretch> CActivityTracker::Neighbour(const CActivityQuery& query, uint64_t offset,
                                                            bool forward) const
{
    std::optional<CActivityStretch> best;
    for (const CActivityStretch& s : Find(query)) {
        const bool beyond = forward ? s.m_nOffset > offset : s.m_nOffset < offset;
        const bool closer = !best || (forward ? s.m_nOffset < best->m_nOffset : s.m_nOffset > best->m_nOffset);
        if (beyond && closer)
            best = s;
    }
    return best;
}

std::vector<uint8_t> CActivityTracker::HeatProfile(const CActivityQuery& query) const
{
    std::vector<uint8_t> levels(size_t(SLIDER_MAX) + 1, 0);
    if (!m_pBuilder)
        return levels;
    const CActivityIndex index = m_pBuilder->Index().Snapshot();
    const uint64_t length = m_facts.m_nFileLength;
    for (const CActivityStretch& s : index.Find(query)) {
        const int from = std::clamp(SliderPosition(s.m_nOffset, length), 0, SLIDER_MAX);
        const int to = std::clamp(SliderPosition(LastOffsetOf(index.Pictures(s.m_nChannel), s), length), from,
                                  SLIDER_MAX);
        const uint8_t level = HeatLevel(s.m_dPeak);
        for (int pos = from; pos <= to; ++pos)
            levels[size_t(pos)] = std::max(levels[size_t(pos)], level);
    }
    return levels;
}

int CActivityTracker::IndexedPositions() const
{
    if (m_bDone && m_nPercent == 100)
        return SLIDER_MAX + 1;
    if (!m_pBuilder || m_nPosition == 0)
        return 0;
    return std::clamp(SliderPosition(m_nPosition, m_facts.m_nFileLength), 0, SLIDER_MAX + 1);
}
