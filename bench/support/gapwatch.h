#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// The longest stretch between two turns of the event loop, seen by a timer that wants to fire
// every millisecond.
class GapWatch : public QObject {
public:
    GapWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_last > m_longest) {
                m_longest = now - m_last;
                m_longestStart = m_last;
            }
            m_last = now;
        });
        m_timer.setInterval(1);
    }
    void start()
    {
        // The first stretch runs from the click to the run's first pause.
        m_longest = 0;
        m_longestStart = 0;
        m_last = 0;
        m_clock.start();
        m_timer.start();
    }
    double stopMs()
    {
        m_timer.stop();
        return m_longest / 1e6;
    }

    // Where the longest stretch began, nanoseconds after start().
    qint64 longestStartNs() const { return m_longestStart; }
    // The clock started by start().
    qint64 elapsedNs() const { return m_clock.nsecsElapsed(); }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    qint64 m_longestStart = 0;
};
