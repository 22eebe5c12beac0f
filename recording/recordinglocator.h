#pragma once

#include "recording/headerreader.h"
#include "recording/recordingprobe.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Where a moment lies in a recording.
struct CLocateResult {
    enum class EStatus { Found, AfterEnd, NoRecords };
    EStatus m_status = EStatus::NoRecords;
    CFoundRecord m_record;  // Found: the record to show
    // The moment falls between two records more than a second apart: m_timeBefore is
    // the date-time of the record in front of the moment, m_record the one after it.
    bool m_bGap = false;
    CDateTime m_timeBefore;
    // The moment was recorded more than once, in stretches a set-back of the clock
    // divides: the header offset of each such stretch's first record of that second,
    // in file order (the first is m_record). Empty when the moment is recorded once or
    // not at all.
    std::vector<uint64_t> m_occurrences;
};

// "no recording between 14:02:10 and 14:05:00; showing 14:05:00" for a moment in a
// gap (the dates too when the two records are of different days); empty otherwise.
std::string LocateGapText(const CLocateResult& result);
// "this time occurs twice; showing the first; Shift+Enter for the second" (or "3
// times", ...) for a moment recorded more than once; empty otherwise.
std::string LocateTwiceText(const CLocateResult& result);

// Finds the record to show for a date and time without reading the recording from its
// start: a bisection over byte offsets by the dates in the headers, reading a few
// blocks at each probe, that ends on two neighbouring records with the moment between
// their dates. On a recording whose time only runs forward that is the first record in
// forward-play order dated at or after the moment.
//
// Recorders' clocks get set back. Where the probes see time run backwards, the
// stretch between them is split at the set-back (a bisection for it, a linear scan of
// the records once the stretch is short) and each part is searched on its own; the
// answer is then the record with the earliest date at or after the moment among those
// found, the first in the file among equals (a moment recorded twice lands on the
// first time round). Every search also probes the whole recording a few times for
// set-backs, so that a moment recorded again in a later stretch is named as such
// (m_occurrences). A set-back that no probe sees goes unnoticed: the answer is still
// a record at or after the moment whose predecessor lies before it. Garbage between records, headers with impossible dates and blocks
// that cannot be read are passed over as the playback engine passes over them.
//
// Searches only the records between the first and the last record the probe found.
// Window thread (or any one thread); it reads through a file of its own.
class CRecordingLocator {
public:
    explicit CRecordingLocator(const CRecordingFacts& facts);

    bool Open(const std::string& path);
    const std::string& ErrorText() const { return m_reader.ErrorText(); }

    CLocateResult Locate(const CDateTime& moment);
    // The first record at or after `offset`, else the last one before it; a few block
    // reads at most.
    std::optional<CFoundRecord> RecordNear(uint64_t offset);

    const CHeaderReader& Reader() const { return m_reader; }

private:
    struct CCandidate {
        CFoundRecord m_record;
        std::optional<CFoundRecord> m_before;
    };

    bool FindEnds();
    void SearchStretch(const CFoundRecord& a, const CFoundRecord& b, std::optional<CFoundRecord> beforeA);
    void SplitAtSetBack(const CFoundRecord& a, const CFoundRecord& b, const std::optional<CFoundRecord>& beforeA);
    void ScanLinearly(const CFoundRecord& a, const CFoundRecord& b, const std::optional<CFoundRecord>& beforeA);
    void RevisitSetBacks(uint64_t from, uint64_t to);
    void Survey();
    void Narrow(CFoundRecord& lo, CFoundRecord& hi, bool towardsMoment);
    uint64_t ProbePoint(const CFoundRecord& lo, const CFoundRecord& hi, uint64_t bound, bool interpolate) const;
    std::optional<CFoundRecord> Noted(std::optional<CFoundRecord> record);
    void OfferFirstOf(const CFoundRecord& record, std::optional<CFoundRecord> before);
    void Offer(const CFoundRecord& record, const std::optional<CFoundRecord>& before);
    bool IsExact() const;
    bool IsSettled() const;
    bool IsSpent() const;
    double RecordsBetween(uint64_t from, uint64_t to) const;

    const CRecordingFacts m_facts;
    CHeaderReader m_reader;
    std::optional<CFoundRecord> m_first, m_last;
    double m_dRecordBlocks = 17;  // mean record length seen so far, in blocks
    uint64_t m_nRecordSamples = 0;

    // One search.
    uint64_t m_nKey = 0;
    std::optional<CCandidate> m_best;
    std::set<uint64_t> m_occurrences; // first records of the moment's second, one per stretch
    std::map<uint64_t, CFoundRecord> m_seen; // every header the search read, by offset
    uint64_t m_nBlocksAtStart = 0;
    int m_nStretches = 0;
    bool m_bSetBackSeen = false; // two headers read show time running backwards
};
