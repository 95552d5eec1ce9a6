#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <functional>

class Database;

// Benchmarks at several sizes side by side. The program is started once per size (as a
// child of itself, so that each size's memory figures are its own); each child prints its
// figures, and the parent prints one table:
//
//   figure | 10,000 | 100,000 | 1,000,000 | growth | bare SQLite | target
//
// where growth is the last size's figure over the one before it, and "bare SQLite" is the
// same reads or writes done with SQLite's own interface (or the library's own C
// interface) in the same run, at the last size. Each figure is the smallest of a few runs.
//
// Command line: [--sizes 10000,100000,1000000] [--runs 3]. The database of each size is
// made by the child in a temporary folder and removed when it ends.
namespace Bench {

struct SizeRun {
    int size = 0;
    int runs = 3;
};

// Runs `one` for every size (each in a child process) and prints the table. Returns the
// process's exit code. In a child it runs `one` for the size it was given.
int bySize(int argc, char** argv, const QString& title, const std::function<void(const SizeRun&)>& one);

// A figure of the current size (a child prints it for the parent).
void figure(const QString& name, double value, const QString& unit, const QString& target = QString());
// The bare SQLite (or C library) figure for the same work as the figure called name.
void bare(const QString& name, double value);
// A line of information (shown under the table).
void note(const QString& text);

// Milliseconds of the fastest of `runs` runs of fn; setup (untimed) runs before each, and
// the disk is given what is pending before the clock starts.
double fastest(int runs, const std::function<void()>& fn, const std::function<void()>& setup = {});
inline double ms(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Peak resident memory of this process so far (VmHWM), in MB.
double peakMB();

// Fills a sensor (created when missing) with count readings one minute apart from
// 2020-01-01, six gauges and a temperature, all marked for the time charts, every
// hundredth for the length charts, written as a logger import writes them (marked as
// changed), through SQLite's own interface. Returns the milliseconds it took.
double fillMinutes(Database& db, const QString& id, int count, bool stacked = true);

}  // namespace Bench
