// How far work over a measured tree has come, in files and bytes, told to
// its progress after every file and every block of a file.
#pragma once
#include "files/TreeListing.h"

class CTreeTally {
public:
    CTreeTally(const CWorkProgress& progress, const TreeSize& total)
        : m_progress(progress), m_nTotal(total.bytes + total.files * FILE_WEIGHT) {}

    // False: the work is asked to stop.
    bool AddBytes(ULONGLONG bytes)
    {
        m_nDone += bytes;
        return Report();
    }
    bool AddFile()
    {
        m_nDone += FILE_WEIGHT;
        return Report();
    }

private:
    // Besides its bytes, a file costs about as much as this much data to
    // open, create and close.
    static const ULONGLONG FILE_WEIGHT = 16384;

    bool Report() const { return m_progress.Report(m_nTotal ? static_cast<double>(m_nDone) / m_nTotal : 1.0); }

    CWorkProgress m_progress;
    ULONGLONG m_nTotal;
    ULONGLONG m_nDone = 0;
};
