#pragma once
#include "tables/Table.h"

#include <memory>
#include <vector>

// Columns of the problem's tables (see resources/tables.def), named where the files and the graph
// reach them.
namespace cols {
namespace boundary {
constexpr int kLeftX = 0, kLeftY = 1, kRightX = 2, kRightY = 3, kSoil = 4;
}
namespace soil {
constexpr int kMoistWeight = 0, kPoreConstant = 5, kPiezometricSurface = 6, kAnisotropy = 7;
}
namespace anisotropy {
constexpr int kDirectionLimit = 0, kIntercept = 1, kFrictionAngle = 2;
}
// WaterSurfaceSet and ReinEarthLayerSet: one nested table per row.
constexpr int kNested = 0;
namespace point { // Piezometric, FailSurface
constexpr int kX = 0, kY = 1;
}
namespace surcharge {
constexpr int kLeftX = 0, kInclination = 3;
}
namespace limit {
constexpr int kLeftX = 0, kRightY = 3;
}
namespace tieback {
constexpr int kSurface = 0, kX = 1, kY = 2, kFreeLength = 6;
}
namespace layer { // ReinEarthData
constexpr int kX = 0, kInclinationFactor = 3;
}
namespace box {
constexpr int kLeftX = 0, kSideLength = 4;
}
} // namespace cols

// The problem's tables, built from their definitions; they live as long as the main window.
class TableSet {
public:
    TableSet(); // from the bundled definitions
    explicit TableSet(const QString& definitions);
    ~TableSet();

    TGridTableChart* BoundCood = nullptr;
    TGridTable* SoilData = nullptr;
    TGridTable* Anisotropy = nullptr;
    TGridTable* WaterSurfaceSet = nullptr;
    TGridTable* Piezometric = nullptr;
    TGridTable* PiezoData = nullptr;
    TGridTable* SurchargeLoad = nullptr;
    TGridTable* limit = nullptr;
    TGridTable* TiebackCoord = nullptr;
    TGridTable* ReinEarthLayerSet = nullptr;
    TGridTable* ReinEarthData = nullptr;
    TGridTable* FailSurface = nullptr;
    TGridTable* BoxCoord = nullptr;

    // Every table of the set, chart table included, in definition order.
    const std::vector<TGridTable*>& all() const { return m_all; }
    TGridTable* byName(const QString& name) const;
    QString nameOf(const TGridTable* table) const;

    // Injected by the user interface; nested tables reach it through their registry.
    void SetWindowProvider(TableWindowProvider* provider) {
        m_grid.SetWindowProvider(provider);
        m_chart.SetWindowProvider(provider);
    }

    TableRegistry& gridRegistry() { return m_grid; }
    TableRegistry& chartRegistry() { return m_chart; }

private:
    TableRegistry m_grid; // declared before the tables: it must outlive them
    TableRegistry m_chart;
    std::vector<std::unique_ptr<TGridTable>> m_owned;
    std::vector<QString> m_names;
    std::vector<TGridTable*> m_all;
};
