#include "TableSet.h"

#include "base/Errors.h"
#include "tables/TableDefinitions.h"

TableSet::TableSet() : TableSet(BundledTableDefinitions()) {}

TableSet::TableSet(const QString& definitions) {
    for (const TableDefinition& d : ParseTableDefinitions(definitions)) {
        m_owned.push_back(BuildTable(d, m_grid, m_chart));
        m_names.push_back(d.name);
        m_all.push_back(m_owned.back().get());
    }
    auto need = [this](const char* name) {
        TGridTable* t = byName(QLatin1String(name));
        if (!t) throw ETableError(QStringLiteral("Table definitions: table %1 is missing").arg(name));
        return t;
    };
    BoundCood = dynamic_cast<TGridTableChart*>(need("BoundCood"));
    if (!BoundCood) throw ETableError(QStringLiteral("Table definitions: BoundCood must be a chart table"));
    SoilData = need("SoilData");
    Anisotropy = need("Anisotropy");
    WaterSurfaceSet = need("WaterSurfaceSet");
    Piezometric = need("Piezometric");
    PiezoData = need("PiezoData");
    SurchargeLoad = need("SurchargeLoad");
    limit = need("limit");
    TiebackCoord = need("TiebackCoord");
    ReinEarthLayerSet = need("ReinEarthLayerSet");
    ReinEarthData = need("ReinEarthData");
    FailSurface = need("FailSurface");
    BoxCoord = need("BoxCoord");
}

TableSet::~TableSet() {
    // Tables holding nested copies go first, while the templates still exist.
    while (!m_owned.empty()) m_owned.pop_back();
}

TGridTable* TableSet::byName(const QString& name) const {
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name) return m_all[i];
    return nullptr;
}

QString TableSet::nameOf(const TGridTable* table) const {
    for (size_t i = 0; i < m_all.size(); ++i)
        if (m_all[i] == table) return m_names[i];
    return {};
}
