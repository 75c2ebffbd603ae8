// Reading and writing the largest problem the tables allow.
#include "model/ProgramData.h"
#include "tables/ColumnTypes.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fillAll(TGridTable& t, int rows) {
    t.SetRowCount(rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < t.ColumnCount(); ++c)
            if (t.Column(c)->Kind() == ColumnKind::Float) t.Column(c)->SetFloat(r, 1000.0L / (r + c + 3));
}

void largestProblem(ProblemSession& s) {
    TProgramData& d = s.document();
    TableSet& t = s.tables();
    fillAll(*t.BoundCood, 100);
    fillAll(*t.SoilData, 50);
    for (int i = 0; i < 50; ++i) fillAll(*t.SoilData->Cell(7, i).Table(), 20);
    d.WaterOn = d.LoadsOn = d.EquakeOn = d.LimitsOn = d.TiesOn = d.ReinfOn = true;
    d.ReinfLayersOn = 1;
    fillAll(*t.WaterSurfaceSet, 30);
    for (int i = 0; i < 30; ++i) fillAll(*t.WaterSurfaceSet->Cell(0, i).Table(), 20);
    fillAll(*t.SurchargeLoad, 10);
    fillAll(*t.limit, 50);
    fillAll(*t.TiebackCoord, 15);
    fillAll(*t.ReinEarthLayerSet, 50);
    for (int i = 0; i < 50; ++i) fillAll(*t.ReinEarthLayerSet->Cell(0, i).Table(), 30);
    d.SearchMethod = search::Block;
    d.BlockOn = true;
    fillAll(*t.BoxCoord, 17);
}

void BM_ReadLargestProblem(benchmark::State& state) {
    QTemporaryDir dir;
    ProblemSession session;
    largestProblem(session);
    session.document().FileName = dir.filePath("large.sl4d");
    session.document().SaveToFile();
    const QString name = session.document().FileName;
    for (auto _ : state) {
        session.adopt(TProgramData::CreateFromFile(session, name, true, nullptr));
        benchmark::DoNotOptimize(session.document().Title);
    }
}
BENCHMARK(BM_ReadLargestProblem)->Unit(benchmark::kMillisecond);

void BM_WriteLargestProblem(benchmark::State& state) {
    QTemporaryDir dir;
    ProblemSession session;
    largestProblem(session);
    session.document().FileName = dir.filePath("large.sl4d");
    for (auto _ : state) session.document().SaveToFile();
}
BENCHMARK(BM_WriteLargestProblem)->Unit(benchmark::kMillisecond);

} // namespace
