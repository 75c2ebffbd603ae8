// libFuzzer target: text pasted into the boundary-line window, as the clipboard delivers it, goes
// into the boundary table line by line: any text must leave a table within its limits.
#include "base/Errors.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"
#include "tables/ChartData.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ProblemSession session;
    TGridTable& table = *session.tables().BoundCood;
    table.SetRowCount(3);
    const chartdata::RowActions actions{[&table] { table.AddRowGroup(); },
                                        [&table](int row) { table.DeleteRowGroup(row); }};
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    int taken = 0;
    try {
        taken = chartdata::importLines(table, chartdata::clipboardLines(text), actions).taken;
    } catch (const EAssignError&) {
        return 0; // a value the column refuses stops the import, as it must
    }
    if (taken > table.MaxRows || (taken > 0 && table.RowCount() != std::max(taken, table.MinRows())))
        __builtin_trap();
    return 0;
}
