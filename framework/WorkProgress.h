// How far a piece of work has come, told by the work as it goes, and whether
// it is asked to stop: the one progress type of every long copy, walk,
// export and import, and of the jobs that run them.
//
// The work reports after every small step (a key, a value, a block of a
// file), so that the progress moves and a request to stop is seen within
// moments, wherever the work is. Reports are cheap; the receiver throttles.
#pragma once
#include <functional>
#include <memory>

class CWorkProgress {
public:
    // Hears done, from 0 to 1, of the whole; false asks the work to stop.
    typedef std::function<bool(double done)> Sink;

    // Hears nothing and never asks to stop.
    CWorkProgress() = default;
    explicit CWorkProgress(Sink sink) : m_sink(std::make_shared<const Sink>(std::move(sink))) {}

    // done of this part, from 0 to 1. False: stop (the work then fails,
    // with what a failure leaves).
    bool Report(double done) const
    {
        if (!m_sink)
            return true;
        double clipped = done < 0 ? 0 : done > 1 ? 1 : done;
        return (*m_sink)(m_from + clipped * m_share) || !m_bStoppable;
    }
    bool operator()(double done) const { return Report(done); }
    // Somebody hears: work may skip what it reckons only for the report.
    explicit operator bool() const { return m_sink != nullptr; }

    // The share [from, from + share) of this part, as a part of its own.
    CWorkProgress Part(double from, double share) const
    {
        CWorkProgress part(*this);
        part.m_from = m_from + from * m_share;
        part.m_share = share * m_share;
        return part;
    }
    // Reports as this one but never asks to stop: for work that must not be
    // left half done (a live key or a file half written).
    CWorkProgress Unstoppable() const
    {
        CWorkProgress part(*this);
        part.m_bStoppable = false;
        return part;
    }

private:
    std::shared_ptr<const Sink> m_sink;
    double m_from = 0;
    double m_share = 1;
    bool m_bStoppable = true;
};
