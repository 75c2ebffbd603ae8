// libFuzzer target: the graph's plot-file reader must survive any file. Built by tools/fuzz.sh;
// its corpus is replayed by the graph tests.
#include "graph/PlotModel.h"
#include "model/TableSet.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TableSet tables;
    static PlotModel model;
    tables.BoundCood->SetRowCount(3);
    ReadPlotText(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                 *tables.BoundCood, model);
    return 0;
}
