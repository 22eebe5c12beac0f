#include "recording/recordinglocator.h"

#include <algorithm>
#include <vector>

using namespace kvx;

namespace {

// One probe reads on until it finds a header, but not through more than this much
// garbage; holes of a sparse file are skipped without reading.
constexpr uint64_t PROBE_SCAN_BLOCKS = 4096;
// A search stops refining once it has read this much (32 MiB): a badly damaged disc
// must not hold the window for long.
constexpr uint64_t SEARCH_BUDGET_BLOCKS = 1 << 16;
// Close to the answer, following the recorder's chain back one record at a time (one
// block each) is cheaper than another probe.
constexpr double WALK_RECORDS = 32;
// A stretch where time runs backwards is read record by record when it is this short,
// and split by a bisection for the set-back when it is longer.
constexpr double LINEAR_SCAN_RECORDS = 256;
constexpr int MAX_STRETCHES = 64;
constexpr int SURVEY_PROBES = 16;
constexpr uint64_t NEAR_SCAN_BLOCKS = 256;

uint64_t AlignDown(uint64_t position)
{
    return position / BLOCK_SIZE * BLOCK_SIZE;
}

} // namespace

std::string LocateGapText(const CLocateResult& result)
{
    if (!result.m_bGap)
        return {};
    const CDateTime& from = result.m_timeBefore;
    const CDateTime to = result.m_record.Time();
    const bool sameDay = from.GetYear() == to.GetYear() && from.GetMonth() == to.GetMonth() && from.GetDay() == to.GetDay();
    auto text = [sameDay](const CDateTime& t) { return sameDay ? t.ToIsoString().substr(11) : t.ToIsoString(); };
    return "no recording between " + text(from) + " and " + text(to) + "; showing " + text(to);
}

std::string LocateTwiceText(const CLocateResult& result)
{
    const size_t count = result.m_occurrences.size();
    if (count < 2)
        return {};
    return "this time occurs " + (count == 2 ? std::string("twice") : std::to_string(count) + " times")
         + "; showing the first; Shift+Enter for the second";
}

CRecordingLocator::CRecordingLocator(const CRecordingFacts& facts)
    : m_facts(facts), m_reader(LayoutForChannelCount(facts.m_nChannelCount).value_or(facts.m_layout))
{
}

bool CRecordingLocator::Open(const std::string& path)
{
    m_first.reset();
    m_last.reset();
    return m_reader.Open(path);
}

// The first record with a valid date, and the last record the probe accepted (or the
// last valid one in front of it).
bool CRecordingLocator::FindEnds()
{
    if (m_first)
        return true;
    m_first = m_reader.FindForward(RECORD_AREA_OFFSET, m_reader.Length(), SEARCH_BUDGET_BLOCKS);
    if (!m_first)
        return false;
    const uint64_t lastOffset = m_facts.m_nEndOffset + 2 * BLOCK_SIZE;
    m_last = m_reader.ReadAt(lastOffset);
    if (!m_last)
        m_last = m_reader.FindBackward(lastOffset + BLOCK_SIZE, m_first->m_nOffset + BLOCK_SIZE, SEARCH_BUDGET_BLOCKS);
    if (!m_last || m_last->m_nOffset < m_first->m_nOffset)
        m_last = m_first;
    return true;
}

CLocateResult CRecordingLocator::Locate(const CDateTime& moment)
{
    CLocateResult result;
    if (!moment.IsValid() || !FindEnds())
        return result;
    m_nKey = DateTimeToOrderKey(moment);
    m_best.reset();
    m_occurrences.clear();
    m_seen.clear();
    m_nStretches = 0;
    m_bSetBackSeen = false;
    m_nBlocksAtStart = m_reader.Blocks();
    Noted(m_first);
    Noted(m_last);

    SearchStretch(*m_first, *m_last, std::nullopt);
    // Even an exact hit is surveyed: a later stretch may hold the moment again.
    Survey();

    if (!m_best) {
        result.m_status = CLocateResult::EStatus::AfterEnd;
        return result;
    }
    result.m_status = CLocateResult::EStatus::Found;
    result.m_record = m_best->m_record;
    if (m_occurrences.size() > 1)
        result.m_occurrences.assign(m_occurrences.begin(), m_occurrences.end());
    const std::optional<CFoundRecord>& before = m_best->m_before;
    if (before && before->m_nKey < m_nKey && m_best->m_record.m_nKey > m_nKey) {
        result.m_bGap = true;
        result.m_timeBefore = before->Time();
    }
    return result;
}

std::optional<CFoundRecord> CRecordingLocator::RecordNear(uint64_t offset)
{
    offset = std::max<uint64_t>(offset, RECORD_AREA_OFFSET);
    if (auto after = m_reader.FindForward(offset, m_reader.Length(), NEAR_SCAN_BLOCKS))
        return after;
    return m_reader.FindBackward(offset, RECORD_AREA_OFFSET, NEAR_SCAN_BLOCKS);
}

// The candidates of the records from a to b. `beforeA` is the record in front of a,
// when known.
void CRecordingLocator::SearchStretch(const CFoundRecord& a, const CFoundRecord& b, std::optional<CFoundRecord> beforeA)
{
    if (IsSettled() || ++m_nStretches > MAX_STRETCHES)
        return;
    if (a.m_nOffset < b.m_nOffset && a.m_nKey > b.m_nKey) {
        SplitAtSetBack(a, b, beforeA);
        return;
    }
    if (m_nKey <= a.m_nKey) {
        OfferFirstOf(a, beforeA);
        return;
    }
    if (a.m_nOffset >= b.m_nOffset || m_nKey > b.m_nKey)
        return;
    CFoundRecord lo = a, hi = b;
    Narrow(lo, hi, true);
    Offer(hi, lo);
    RevisitSetBacks(a.m_nOffset, b.m_nOffset);
}

// Time runs backwards somewhere between a and b: find where, and search both sides.
void CRecordingLocator::SplitAtSetBack(const CFoundRecord& a, const CFoundRecord& b,
                                       const std::optional<CFoundRecord>& beforeA)
{
    if (RecordsBetween(a.m_nOffset, b.m_nOffset) <= LINEAR_SCAN_RECORDS) {
        ScanLinearly(a, b, beforeA);
        return;
    }
    CFoundRecord x = a, y = b;
    Narrow(x, y, false);
    SearchStretch(a, x, beforeA);
    SearchStretch(y, b, x);
}

// Every record from a to b in turn: each place where the dates pass the moment, and
// each record after a set-back that is already past it, is a candidate.
void CRecordingLocator::ScanLinearly(const CFoundRecord& a, const CFoundRecord& b,
                                     const std::optional<CFoundRecord>& beforeA)
{
    if (m_nKey <= a.m_nKey)
        OfferFirstOf(a, beforeA);
    CFoundRecord record = a;
    while (record.m_nOffset < b.m_nOffset && !IsSettled()) {
        const std::optional<CFoundRecord> next =
            Noted(m_reader.Next(record, b.m_nOffset + BLOCK_SIZE, PROBE_SCAN_BLOCKS));
        if (!next)
            return;
        if (m_nKey <= next->m_nKey && (record.m_nKey < m_nKey || record.m_nKey > next->m_nKey))
            Offer(*next, record);
        record = *next;
    }
}

// The probes of a bisection that saw time run backwards mark stretches that may hold
// a better answer than the one it found.
void CRecordingLocator::RevisitSetBacks(uint64_t from, uint64_t to)
{
    if (IsSettled())
        return;
    std::vector<std::pair<CFoundRecord, CFoundRecord>> setBacks, crossings;
    const CFoundRecord* previous = nullptr;
    for (auto it = m_seen.lower_bound(from); it != m_seen.end() && it->first <= to; ++it) {
        if (previous && previous->m_nKey > it->second.m_nKey)
            setBacks.emplace_back(*previous, it->second);
        else if (previous && previous->m_nKey < m_nKey && m_nKey <= it->second.m_nKey)
            crossings.emplace_back(*previous, it->second);
        previous = &it->second;
    }
    if (setBacks.empty())
        return;
    for (const auto& [s, t] : setBacks)
        SearchStretch(s, t, std::nullopt);
    for (const auto& [s, t] : crossings)
        SearchStretch(s, t, std::nullopt);
}

// A few probes spread over the whole recording look for stretches where time ran
// backwards that the search did not see and that may hold the moment, earlier or
// once more.
void CRecordingLocator::Survey()
{
    const uint64_t first = m_first->m_nOffset, span = m_last->m_nOffset - first;
    for (int i = 1; i <= SURVEY_PROBES && !IsSpent(); ++i) {
        const uint64_t from = first + span * uint64_t(i) / (SURVEY_PROBES + 1);
        Noted(m_reader.FindForward(from, first + span * uint64_t(i + 1) / (SURVEY_PROBES + 1), PROBE_SCAN_BLOCKS));
    }
    if (m_bSetBackSeen)
        RevisitSetBacks(first, m_last->m_nOffset);
}

// Narrows lo..hi to two neighbouring records. Towards the moment: lo is dated before
// it and hi at or after it, and stay so. Otherwise lo is dated later than hi, and the
// two end on either side of a set-back.
void CRecordingLocator::Narrow(CFoundRecord& lo, CFoundRecord& hi, bool towardsMoment)
{
    auto isRight = [&](const CFoundRecord& r) { return towardsMoment ? r.m_nKey >= m_nKey : r.m_nKey <= hi.m_nKey; };
    uint64_t bound = hi.m_nOffset; // no header lies in [bound, hi)
    int poorSteps = 0; // interpolations in a row that did not halve the range
    while (bound > lo.m_nOffset + BLOCK_SIZE && !IsSettled()) {
        const std::optional<uint64_t> chained = CHeaderReader::PreviousOffset(hi);
        if (chained == lo.m_nOffset)
            return;
        if (chained && *chained > lo.m_nOffset && *chained < bound
            && RecordsBetween(lo.m_nOffset, bound) <= WALK_RECORDS) {
            if (const std::optional<CFoundRecord> r = Noted(m_reader.ReadAt(*chained))) {
                if (isRight(*r))
                    bound = (hi = *r).m_nOffset;
                else
                    lo = *r;
                continue;
            }
        }
        const uint64_t width = bound - lo.m_nOffset;
        const uint64_t probe = ProbePoint(lo, hi, bound, towardsMoment && poorSteps < 2);
        const std::optional<CFoundRecord> r = Noted(m_reader.FindForward(probe, bound, PROBE_SCAN_BLOCKS));
        if (!r) {
            bound = probe;
        } else if (isRight(*r)) {
            hi = *r;
            bound = probe;
        } else {
            lo = *r;
        }
        // Where interpolating twice in a row did not halve the range, a plain bisection follows.
        poorSteps = 2 * (bound - lo.m_nOffset) > width ? poorSteps + 1 : 0;
    }
}

// Where to probe between lo and bound: where the moment would lie if the dates ran
// evenly over the bytes (a record is taken to lie mid-way through its second), or the
// middle.
uint64_t CRecordingLocator::ProbePoint(const CFoundRecord& lo, const CFoundRecord& hi, uint64_t bound,
                                       bool interpolate) const
{
    const uint64_t first = lo.m_nOffset + BLOCK_SIZE;
    const uint64_t last = bound - BLOCK_SIZE;
    uint64_t probe = first + (bound - first) / 2;
    if (interpolate && hi.m_nKey > lo.m_nKey) {
        const double share = (double(m_nKey - lo.m_nKey) - 0.5) / double(hi.m_nKey - lo.m_nKey);
        probe = lo.m_nOffset + uint64_t(std::clamp(share, 0.0, 1.0) * double(hi.m_nOffset - lo.m_nOffset));
    }
    return std::clamp(AlignDown(probe), first, last);
}

// Every header a search reads is remembered: the bisection's probes show where time
// runs backwards. The steps between neighbours teach the mean record length.
std::optional<CFoundRecord> CRecordingLocator::Noted(std::optional<CFoundRecord> record)
{
    if (!record)
        return record;
    const auto [at, added] = m_seen.emplace(record->m_nOffset, *record);
    if (added) {
        const auto next = std::next(at);
        m_bSetBackSeen = m_bSetBackSeen || (at != m_seen.begin() && std::prev(at)->second.m_nKey > record->m_nKey)
                      || (next != m_seen.end() && record->m_nKey > next->second.m_nKey);
    }
    const CRecordHeader& h = record->m_header;
    if (h.m_nPrevSector < h.m_nSector && h.m_nSector - h.m_nPrevSector <= MAX_RECORD_BLOCKS) {
        ++m_nRecordSamples;
        m_dRecordBlocks += (double(h.m_nSector - h.m_nPrevSector) - m_dRecordBlocks) / double(m_nRecordSamples);
    }
    return record;
}

// The first record of a stretch that is already at or past the moment; the record in
// front of it tells whether the moment fell into a gap.
void CRecordingLocator::OfferFirstOf(const CFoundRecord& record, std::optional<CFoundRecord> before)
{
    if (!before && record.m_nOffset != m_first->m_nOffset)
        before = Noted(m_reader.Previous(record));
    Offer(record, before);
}

void CRecordingLocator::Offer(const CFoundRecord& record, const std::optional<CFoundRecord>& before)
{
    if (record.m_nKey < m_nKey)
        return;
    // A record of the moment's second after one of the same second is not where its
    // stretch reaches the moment.
    if (record.m_nKey == m_nKey && !(before && before->m_nKey == m_nKey))
        m_occurrences.insert(record.m_nOffset);
    const bool better = !m_best || record.m_nKey < m_best->m_record.m_nKey
                     || (record.m_nKey == m_best->m_record.m_nKey && record.m_nOffset < m_best->m_record.m_nOffset);
    if (better)
        m_best = CCandidate{record, before};
}

bool CRecordingLocator::IsExact() const
{
    return m_best && m_best->m_record.m_nKey == m_nKey;
}

// An exact hit can only be bettered, or recorded again, where time ran backwards; a
// spent budget ends the search with what it has.
bool CRecordingLocator::IsSettled() const
{
    return (IsExact() && !m_bSetBackSeen) || IsSpent();
}

bool CRecordingLocator::IsSpent() const
{
    return m_reader.Blocks() - m_nBlocksAtStart > SEARCH_BUDGET_BLOCKS;
}

double CRecordingLocator::RecordsBetween(uint64_t from, uint64_t to) const
{
    return double(to - from) / BLOCK_SIZE / m_dRecordBlocks;
}
