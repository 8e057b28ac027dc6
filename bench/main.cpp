#include "bench/bench_registry.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

namespace {

struct TEntry {
    std::string Usage;
    TCommand Run;
};

std::map<std::string, TEntry>& Commands() {
    static std::map<std::string, TEntry> commands;
    return commands;
}

} // namespace

TRegistrar::TRegistrar(const char* name, const char* usage, TCommand run) {
    Commands()[name] = {usage, std::move(run)};
}

QString Option(const QStringList& args, const QString& name, const QString& fallback) {
    const int i = int(args.indexOf(name));
    return (i >= 0 && i + 1 < args.size()) ? args[i + 1] : fallback;
}

bool Flag(const QStringList& args, const QString& name) {
    return args.contains(name);
}

QStringList Positional(const QStringList& args, const QStringList& valueOptions) {
    QStringList out;
    for (int i = 0; i < args.size(); ++i) {
        if (valueOptions.contains(args[i])) {
            ++i;
            continue;
        }
        if (!args[i].startsWith(QStringLiteral("--")))
            out << args[i];
    }
    return out;
}

double MedianMs(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

} // namespace bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    auto& commands = bench::Commands();
    if (args.isEmpty() || !commands.count(args.front().toStdString())) {
        std::fprintf(stderr, "usage: framecatch-bench COMMAND [OPTIONS]\n");
        for (const auto& [name, entry] : commands)
            std::fprintf(stderr, "  framecatch-bench %s\n", entry.Usage.c_str());
        return 2;
    }
    const std::string name = args.takeFirst().toStdString();
    return commands[name].Run(args);
}
