// Reading and writing a data file of 100,000 records by 20 variables,
// against a bare parse of the same file by the XML parser. Two kinds of
// values: short ones (three decimals) and full ones (15 significant digits).
#include "QuorData/QuorDataSrcXML.h"
#include "support/TestTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cmath>
#include <map>
#include <memory>
#include <random>

namespace {

constexpr int Dims = 20;
constexpr int Points = 100000;

// The tests' table with random values, short or full, in place of its
// integers.
struct TBenchTable : TTestTable {
    explicit TBenchTable(bool full)
        : TTestTable(Dims, Points, false, QStringLiteral("Dimension "), QStringLiteral("Item "))
    {
        std::mt19937_64 random(230003);
        std::uniform_real_distribution<double> value(-1000.0, 1000.0);
        for (int p = 0; p < Points; ++p)
            for (int d = 0; d < Dims; ++d) {
                const double v = value(random);
                Values.SetCell(d, p, TVariant(full ? v : std::round(v * 1000) / 1000));
            }
        Load();
    }
};

// One written file per kind of value, made once.
QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString FileOf(bool full)
{
    static std::map<bool, QString> files;
    auto it = files.find(full);
    if (it == files.end()) {
        TBenchTable table(full);
        const QString path = Folder().filePath(full ? QStringLiteral("full.xml") : QStringLiteral("short.xml"));
        WriteXMLFile(path, table.Data);
        it = files.emplace(full, path).first;
    }
    return it->second;
}

void BM_Write(benchmark::State& state)
{
    const bool full = state.range(0) != 0;
    TBenchTable table(full);
    const QString path = Folder().filePath(QStringLiteral("written.xml"));
    for (auto _ : state)
        WriteXMLFile(path, table.Data);
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(path).size());
}

// What the reader is measured against: the same file, read whole into a
// buffer the parser works on in place, with the default options, as the
// reader does.
void BM_BareParse(benchmark::State& state)
{
    const QString path = FileOf(state.range(0) != 0);
    const QByteArray name = QFile::encodeName(path);
    for (auto _ : state) {
        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_file(name.constData());
        benchmark::DoNotOptimize(result);
        if (!result)
            state.SkipWithError("parse failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(path).size());
}

// The three grids the main window reads from a file.
void BM_ReadGrids(benchmark::State& state)
{
    const QString path = FileOf(state.range(0) != 0);
    for (auto _ : state) {
        TXMLFile file;
        if (!file.Open(path))
            state.SkipWithError("no data");
        TXMLDataSrc values;
        values.Load(file);
        TXMLTextSrc names, labels;
        names.LoadNames(file);
        labels.LoadLabels(file);
        benchmark::DoNotOptimize(values.RowCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(path).size());
}

// The steps of reading on their own: parsing and counting; the values,
// which read the labels in the same pass (and free those of the pass
// before, which no label grid took); the labels read from the records.
void BM_Open(benchmark::State& state)
{
    const QString path = FileOf(state.range(0) != 0);
    for (auto _ : state) {
        TXMLFile file;
        if (!file.Open(path))
            state.SkipWithError("no data");
    }
}

void BM_LoadValues(benchmark::State& state)
{
    TXMLFile file;
    if (!file.Open(FileOf(state.range(0) != 0)))
        state.SkipWithError("no data");
    // The second argument: the threads (0: as many as the reader takes).
    const int threads = int(state.range(1));
    for (auto _ : state) {
        TXMLDataSrc values;
        values.Load(file, threads);
        benchmark::DoNotOptimize(values.RowCount());
    }
}

void BM_LoadLabels(benchmark::State& state)
{
    TXMLFile file;
    if (!file.Open(FileOf(state.range(0) != 0)))
        state.SkipWithError("no data");
    for (auto _ : state) {
        TXMLTextSrc labels;
        labels.LoadLabels(file);
        benchmark::DoNotOptimize(labels.ColCount());
    }
}

// A file whose first column holds a distinct text in every record, each
// registered as a text that is no number.
QString DistinctTextsFile()
{
    static const QString path = [] {
        const QString name = Folder().filePath(QStringLiteral("texts.xml"));
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write("<QuorbelData><data><variables><realvariable name=\"a\"/><realvariable name=\"b\"/>"
                   "</variables><records>\n");
        for (int p = 0; p < Points; ++p)
            file.write(QByteArrayLiteral("<record label=\"Item\"> t") + QByteArray::number(p) + " 1 </record>\n");
        file.write("</records></data></QuorbelData>\n");
        return name;
    }();
    return path;
}

void BM_LoadDistinctTexts(benchmark::State& state)
{
    TXMLFile file;
    if (!file.Open(DistinctTextsFile()))
        state.SkipWithError("no data");
    for (auto _ : state) {
        TXMLDataSrc values;
        values.Load(file);
        benchmark::DoNotOptimize(values.NotNumbers(0).Count());
    }
}

// The stored properties, which are read by opening the file again.
void BM_ReadAttributes(benchmark::State& state)
{
    const bool full = state.range(0) != 0;
    const QString path = FileOf(full);
    TBenchTable table(full);
    for (auto _ : state)
        ReadXMLAttributes(path, table.Data);
}

} // namespace

BENCHMARK(BM_Write)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGrids)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadValues)->ArgsProduct({{0, 1}, {1, 0}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLabels)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDistinctTexts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAttributes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
