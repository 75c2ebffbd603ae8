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
    long double a = 0, b = 0;
    if (UnitSystem == units::kEnglish && n == units::kSI) {
        a = 0.3048L;
        b = 0.004448222468060651L;
    } else if (UnitSystem == units::kSI && n == units::kEnglish) {
        a = 3.2808416666666667L;
        b = 224.8089L;
    }
    if (a != 0) {
        for (long double* length : {&InitLeftX, &InitRightX, &TermLeftX, &TermRightX, &MinElevation,
                                    &SegmentLength, &BlockSegmentLength})
            *length *= a;
        CavitationPressure *= b / (a * a);
        WaterUnitWeight *= b / (a * a * a);
    }
    UnitSystem = n;
    for (TGridTable* t : m_session.tables().all()) t->SetUnits(n);
    m_session.hooks().reactivateUnitDialogs();
}
