#include "ProgramData.h"

#include "base/Units.h"

ProblemSession::ProblemSession() {
    m_document = TProgramData::Create(*this);
}

ProblemSession::~ProblemSession() = default;

void ProblemSession::adopt(std::unique_ptr<TProgramData> successor) {
    std::unique_ptr<TProgramData> outgoing = std::move(m_document);
    m_document = std::move(successor);
}

bool ProblemSession::IsModified() const {
    if (m_modified) return true;
    for (const TGridTable* t : m_tables.all())
        if (t->IsChanged()) return true;
    return false;
}

void ProblemSession::SetModified(bool modified) {
    m_modified = modified;
    if (!modified)
        for (TGridTable* t : m_tables.all()) t->SetChanged(false);
}

std::unique_ptr<TProgramData> TProgramData::Create(ProblemSession& session) {
    session.hooks().closeChildWindows();
    auto doc = std::make_unique<TProgramData>(session);
    doc->UnitSystem = units::kEnglish;
    doc->SetUnitSystem(units::kEnglish);
    for (TGridTable* t : session.tables().all()) {
        t->SetRowCount(0);
        t->SetRowCount(t->MinRows());
    }
    session.SetModified(false);
    return doc;
}

void TProgramData::SetUnitSystem(int n) {
    n = units::clampSystem(n);
    // The document's fields convert by the same factors as the tables' columns of their category
    // (the entry fields show them in these categories). Factors of their own (3.2808416666666667
    // back, not the reciprocal of 0.3048 forward; 224.8089 against 224.8089237) made every switch
    // back and forth drift, and ranges drift away from the geometry they were set against.
    const long double length = UnitFactor(UnitSystem, n, QStringLiteral("L2"));
    const long double pressure = UnitFactor(UnitSystem, n, QStringLiteral("F/L2^2"));
    const long double weight = UnitFactor(UnitSystem, n, QStringLiteral("F/L2^3"));
    for (long double* v : {&InitLeftX, &InitRightX, &TermLeftX, &TermRightX, &MinElevation, &SegmentLength,
                           &BlockSegmentLength})
        *v = units::convert(*v, length);
    CavitationPressure = units::convert(CavitationPressure, pressure);
    WaterUnitWeight = units::convert(WaterUnitWeight, weight);
    UnitSystem = n;
    for (TGridTable* t : m_session.tables().all()) t->SetUnits(n);
    m_session.hooks().reactivateUnitDialogs();
}
