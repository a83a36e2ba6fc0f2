// Runs the random use of the main window for a range of seeds over one or
// more table sizes, offscreen, and prints each run's outcome; a failing
// run prints its seed, the command that replays it, and its steps.
//
//   quorbel-randomuse --seed 1 --seeds 20 --size 2000x8,60x40 --steps 500
//   quorbel-randomuse --seed 7 --items 2000 --dims 8 --steps 500 --skip 0-40,57
#include "support/RandomUse.h"

#include "platform/Application.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool ParseSizes(const QString& Text, std::vector<std::pair<int, int>>& Sizes)
{
    for (const QString& size : Text.split(u',', Qt::SkipEmptyParts)) {
        bool itemsOk = false, dimsOk = false;
        const int items = size.section(u'x', 0, 0).toInt(&itemsOk);
        const int dims = size.section(u'x', 1).toInt(&dimsOk);
        if (!itemsOk || !dimsOk || items < 1 || dims < 1)
            return false;
        Sizes.emplace_back(items, dims);
    }
    return !Sizes.empty();
}

int Fail(const QString& Text)
{
    std::fprintf(stderr, "%s\n", Text.toLocal8Bit().constData());
    return 2;
}

QtMessageHandler gStandardHandler = nullptr;

// The offscreen platform's notes on what it cannot do drown the runs' lines.
void QuietOffscreen(QtMsgType Type, const QMessageLogContext& Context, const QString& Message)
{
    if (!Message.startsWith(QLatin1String("This plugin does not support")))
        gStandardHandler(Type, Context, Message);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);
    gStandardHandler = qInstallMessageHandler(QuietOffscreen);
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorbel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Random use of the main window"));
    parser.addHelpOption();
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("First seed."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption seeds(QStringLiteral("seeds"), QStringLiteral("Number of seeds."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption items(QStringLiteral("items"), QStringLiteral("Data items."), QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption dims(QStringLiteral("dims"), QStringLiteral("Dimensions."), QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption sizes(QStringLiteral("size"), QStringLiteral("Table sizes, items x dimensions: 2000x8,60x40."),
                                   QStringLiteral("list"));
    const QCommandLineOption steps(QStringLiteral("steps"), QStringLiteral("Steps per run."), QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption skip(QStringLiteral("skip"), QStringLiteral("Steps not run: 3,7,10-12."), QStringLiteral("list"));
    const QCommandLineOption avoid(QStringLiteral("avoid"), QStringLiteral("Actions never chosen."), QStringLiteral("names"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QStringLiteral("Seconds a step may take."),
                                     QStringLiteral("s"), QStringLiteral("300"));
    const QCommandLineOption trace(QStringLiteral("trace"), QStringLiteral("Print each step as it runs."));
    const QCommandLineOption report(QStringLiteral("report"), QStringLiteral("Print the steps of clean runs too."));
    parser.addOptions({seed, seeds, items, dims, sizes, steps, skip, avoid, timeout, trace, report});
    parser.process(app);

    TRandomUseOptions options;
    options.Steps = parser.value(steps).toInt();
    options.Avoid = parser.value(avoid).split(u',', Qt::SkipEmptyParts);
    options.StepTimeoutSeconds = parser.value(timeout).toInt();
    options.Trace = parser.isSet(trace);
    if (parser.isSet(skip) && !ParseStepList(parser.value(skip), options.Skip))
        return Fail(QStringLiteral("--skip takes step numbers and ranges: 3,7,10-12"));
    std::vector<std::pair<int, int>> tables;
    if (parser.isSet(sizes) ? !ParseSizes(parser.value(sizes), tables)
                            : !ParseSizes(parser.value(items) + u'x' + parser.value(dims), tables))
        return Fail(QStringLiteral("table sizes are items x dimensions: 2000x8,60x40"));

    const QTemporaryDir pending;
    int failed = 0;
    const uint64_t first = parser.value(seed).toULongLong();
    for (uint64_t s = first; s < first + parser.value(seeds).toULongLong(); ++s) {
        for (const auto& [itemCount, dimCount] : tables) {
            options.Seed = s;
            options.Items = itemCount;
            options.Dims = dimCount;
            QElapsedTimer clock;
            clock.start();
            const TRandomUseRun run = RunRandomUse(pending.path() + u'/', options);
            QStringList tally;
            for (auto it = run.Tally.cbegin(); it != run.Tally.cend(); ++it)
                tally << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
            std::printf("seed %llu, %d x %d, %lld steps: %s in %.1f s (%s)\n", (unsigned long long)s, itemCount, dimCount,
                        (long long)run.Steps.size() - 1,
                        run.Clean() ? "clean" : "FAILED", clock.elapsed() / 1000.0, tally.join(u',').toLocal8Bit().constData());
            if (!run.Clean() || parser.isSet(report))
                std::printf("%s\n", RandomUseReport(options, run).toLocal8Bit().constData());
            std::fflush(stdout);
            failed += !run.Clean();
        }
    }
    return failed ? 1 : 0;
}
