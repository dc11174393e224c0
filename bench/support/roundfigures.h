#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Figures of a program measured in rounds alternating with its floor, so that both see the same
// machine: best and median of the wall time and of the processor time.
class RoundFigures {
public:
    void add(double seconds, double processorSeconds)
    {
        m_wall.push_back(seconds);
        m_processor.push_back(processorSeconds);
    }
    double best() const { return *std::min_element(m_wall.begin(), m_wall.end()); }
    double median() const { return medianOf(m_wall); }
    double bestProcessor() const
    {
        return *std::min_element(m_processor.begin(), m_processor.end());
    }
    double medianProcessor() const { return medianOf(m_processor); }
    bool empty() const { return m_wall.empty(); }

    // "best 0.048 s, median 0.051 s (processor best 0.060 s, median 0.062 s)".
    void print(const char* what) const
    {
        std::printf("%-28s best %.3f s, median %.3f s (processor: best %.3f s, median %.3f s)\n",
            what, best(), median(), bestProcessor(), medianProcessor());
    }
    // The ratio of this to floor by both measures, against its goal.
    void printRatio(const char* what, const RoundFigures& floor, double goal) const
    {
        std::printf("%-28s best %.2f, median %.2f (goal: at most %.2g by both)\n", what,
            best() / floor.best(), median() / floor.median(), goal);
    }

private:
    static double medianOf(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }

    std::vector<double> m_wall;
    std::vector<double> m_processor;
};
