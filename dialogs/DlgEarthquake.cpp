#include "OptionalDialogs.h"

#include <QGridLayout>
#include <QLabel>

TDlgEarthquake::TDlgEarthquake(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, optionalmsg::kEarthquake, parent) {
    auto* grid = new QGridLayout(this);
    addField({"deHcoe", QStringLiteral("Earthquake coefficient for horizontal acceleration"), false,
              std::nullopt, 200, QString(), nullptr, &TProgramData::SeismicKh},
             grid, 0);
    grid->addWidget(new QLabel(optionalmsg::kKhNote, this), 1, 0);
    addField({"deVcoe", QStringLiteral("Earthquake coefficient for vertical acceleration"), false,
              std::nullopt, 200, QString(), nullptr, &TProgramData::SeismicKv},
             grid, 2);
    grid->addWidget(new QLabel(optionalmsg::kKvNote, this), 3, 0);
    addField({"deCav", QStringLiteral("Cavitation pressure"), false, std::nullopt, 100000000,
              QStringLiteral("F/L2^2"), nullptr, &TProgramData::CavitationPressure},
             grid, 4);
    fixSize();
}

// Only coefficients that are both zero leave the earthquake section off. A negative one (a horizontal
// acceleration toward the slope, a downward vertical one) is kept as typed: switching the section
// off for it dropped the value from the file while the dialog still showed it.
void TDlgEarthquake::storeExtra() {
    document().EquakeOn = document().SeismicKv != 0 || document().SeismicKh != 0;
}
