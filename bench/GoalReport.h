// What the goal benchmarks share: the table that prints each figure beside its goal, a log that counts
// the complaints of the code under measurement, clocks, and a measurement run in a forked child so that
// its peak memory is its own.
#pragma once

#include <log4cpp/Appender.hh>
#include <log4cpp/AppenderSkeleton.hh>
#include <log4cpp/Category.hh>
#include <log4cpp/LoggingEvent.hh>
#include <log4cpp/Priority.hh>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace bench {

// Seconds of wall time and of this process's CPU time.
inline double WallSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

inline double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The process's resident-set high-water mark, in kilobytes.
inline long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double Median(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

// Every warning and error logged while it lives is counted and shown on stderr (the first few of them);
// lines below WARN are not formatted at all. The code under measurement must not complain about the
// synthetic world.
class ComplaintLog : public log4cpp::AppenderSkeleton {
public:
    ComplaintLog() : log4cpp::AppenderSkeleton("bench-complaints")
    {
        log4cpp::Category& root = log4cpp::Category::getRoot();
        root.removeAllAppenders();
        root.setPriority(log4cpp::Priority::WARN);
        root.addAppender(this);  // the category owns it from here on
    }
    static int32_t Count() { return count_; }
    static void Reset() { count_ = 0; }

    void close() override {}
    bool requiresLayout() const override { return false; }
    void setLayout(log4cpp::Layout*) override {}

protected:
    void _append(const log4cpp::LoggingEvent& event) override
    {
        // A benchmark may open the root category to DEBUG to write the program's log as it does.
        if (event.priority > log4cpp::Priority::WARN) return;
        if (++count_ <= 5) std::cerr << "  logged: " << event.categoryName << ": " << event.message << "\n";
    }

private:
    static inline int32_t count_ = 0;
};

// Rows of figures with their goals: "at most" a limit (or, for a row without a limit, a figure shown for
// information). Printed as one table, each goal MET or NOT MET; NotMet counts the rows over their limit.
class GoalTable {
public:
    explicit GoalTable(std::string title) : title_(std::move(title)) {}

    void AtMost(const std::string& what, double measured, double limit, const std::string& unit, int decimals = 2)
    {
        rows_.push_back({what, measured, limit, true, unit, decimals});
    }
    void Info(const std::string& what, double measured, const std::string& unit, int decimals = 2)
    {
        rows_.push_back({what, measured, 0.0, false, unit, decimals});
    }

    int Goals() const
    {
        return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.hasLimit; }));
    }

    int NotMet() const
    {
        return static_cast<int>(
            std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.hasLimit && r.measured > r.limit; }));
    }

    void Print() const
    {
        std::printf("\n%s\n", title_.c_str());
        std::printf("  %-52s %16s %16s %10s  %s\n", "figure", "measured", "goal", "ratio", "verdict");
        for (const Row& row : rows_) {
            const std::string measured = Format(row.measured, row.decimals) + " " + row.unit;
            if (!row.hasLimit) {
                std::printf("  %-52s %16s %16s %10s  %s\n", row.what.c_str(), measured.c_str(), "-", "-", "-");
                continue;
            }
            const std::string goal = "<= " + Format(row.limit, row.decimals) + " " + row.unit;
            const std::string ratio = row.limit > 0.0 ? Format(row.measured / row.limit, 2) + " x"
                                                      : (row.measured > 0.0 ? "inf" : "0 x");
            std::printf("  %-52s %16s %16s %10s  %s\n", row.what.c_str(), measured.c_str(), goal.c_str(),
                        ratio.c_str(), row.measured <= row.limit ? "MET" : "NOT MET");
        }
        std::fflush(stdout);
    }

private:
    struct Row {
        std::string what;
        double measured;
        double limit;
        bool hasLimit;
        std::string unit;
        int decimals;
    };
    static std::string Format(double value, int decimals)
    {
        char text[64];
        std::snprintf(text, sizeof(text), "%.*f", decimals, value);
        return text;
    }

    std::string title_;
    std::vector<Row> rows_;
};

// Keeps this process, and the children it forks from now on, on the processor it is running on. On a
// virtual machine the processors can run at different speeds (a busy neighbour on the host), so two
// measurements compared with each other must run on the same one. False when the kernel refuses.
inline bool PinToCurrentCpu()
{
    const int cpu = sched_getcpu();
    if (cpu < 0) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

// Runs work in a forked child and hands back the record it filled (a plain struct), with the child's
// resident-set growth over its state at the fork in peakGrowthKb. False when the child failed.
template <typename Record>
bool RunInChild(const std::function<bool(Record&)>& work, Record& record, long& peakGrowthKb)
{
    static_assert(std::is_trivially_copyable<Record>::value, "the record crosses a pipe");
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        close(fds[0]);
        // A forked child starts its high-water mark at its resident set of the moment.
        const long before = PeakRssKb();
        struct {
            Record record;
            long growth;
            bool ok;
        } out{};
        out.ok = work(out.record);
        out.growth = PeakRssKb() - before;
        const ssize_t written = write(fds[1], &out, sizeof(out));
        close(fds[1]);
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(written == static_cast<ssize_t>(sizeof(out)) ? 0 : 1);
    }
    close(fds[1]);
    struct {
        Record record;
        long growth;
        bool ok;
    } in{};
    size_t got = 0;
    while (got < sizeof(in)) {
        const ssize_t n = read(fds[0], reinterpret_cast<char*>(&in) + got, sizeof(in) - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != sizeof(in) || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !in.ok) return false;
    record = in.record;
    peakGrowthKb = in.growth;
    return true;
}

}  // namespace bench
