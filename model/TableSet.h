#pragma once
#include "tables/Table.h"

#include <memory>
#include <vector>

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

    TableRegistry& gridRegistry() { return m_grid; }
    TableRegistry& chartRegistry() { return m_chart; }

private:
    TableRegistry m_grid; // declared before the tables: it must outlive them
    TableRegistry m_chart;
    std::vector<std::unique_ptr<TGridTable>> m_owned;
    std::vector<QString> m_names;
    std::vector<TGridTable*> m_all;
};
