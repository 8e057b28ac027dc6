#pragma once
// Commands of framecatch-bench. A bench_*.cpp file registers each of its commands with
//   FC_BENCH_COMMAND(gif, "gif --frames DIR --out FILE.gif [...]", RunGif);
// where RunGif(const QStringList& args) returns the process exit code. Every command ends its
// output with one line of key=value figures.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace bench {

using TCommand = std::function<int(const QStringList& args)>;

struct TRegistrar {
    TRegistrar(const char* name, const char* usage, TCommand run);
};

// Value of "--name VALUE" in args, or fallback.
QString Option(const QStringList& args, const QString& name, const QString& fallback = {});
bool Flag(const QStringList& args, const QString& name);
// Positional arguments (those not starting with "--" and not the value of an option).
QStringList Positional(const QStringList& args, const QStringList& valueOptions);

double MedianMs(std::vector<double> samples);

} // namespace bench

#define FC_BENCH_CONCAT2(a, b) a##b
#define FC_BENCH_CONCAT(a, b) FC_BENCH_CONCAT2(a, b)
#define FC_BENCH_COMMAND(name, usage, fn)                                                          \
    static ::bench::TRegistrar FC_BENCH_CONCAT(fc_bench_registrar_, name)(#name, usage, fn)
