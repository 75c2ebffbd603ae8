#include "SearchDialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

namespace {

constexpr long double kLongRange = 100000000; // initiation x
constexpr long double kRange = 100000;

QLabel* note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setEnabled(true);
    return label;
}

} // namespace

QPixmap circleSearchPicture() {
    return QPixmap(QStringLiteral(":/pictures/circle-search.png"));
}

QPixmap blockSearchPicture() {
    return QPixmap(QStringLiteral(":/pictures/block-search.jpg"));
}

TCircleSearchDialog::TCircleSearchDialog(ProblemSession& session, MessageSink& messages,
                                         const CircleSearchTexts& t, QWidget* parent)
    : TDataDialog(session, messages, t.caption, parent) {
    auto* grid = new QGridLayout;
    int row = 0;
    // The order of the list is the order of storing: Spencer's inclination goes first.
    if (t.spencer) {
        addField({"deAng", QStringLiteral("Approximate interslice force inclination, "), false, std::nullopt,
                  100, QStringLiteral("deg."), nullptr, &TProgramData::InterSliceAngle},
                 grid, 11);
        grid->addWidget(note(searchmsg::kInclinationHint, this), 12, 0);
    }
    const FieldDef shared[] = {
        {"deIP", t.initiationPoints, true, 1, 100, QString(), &TProgramData::InitiationPoints, nullptr},
        {"deSP", QStringLiteral("Surfaces generated per initiation point"), true, 1, 100, QString(),
         &TProgramData::SurfacesPerPoint, nullptr},
        {"deXLi", QStringLiteral("Left initiation X-coordinate, XL,i "), false, std::nullopt, kLongRange,
         QStringLiteral("L2"), nullptr, &TProgramData::InitLeftX},
        {"deXRi", QStringLiteral("Right initiation X-coordinate, XR,i"), false, std::nullopt, kLongRange,
         QStringLiteral("L2"), nullptr, &TProgramData::InitRightX},
        {t.leftTerminationName, QStringLiteral("Left termination X-coordination, XL,t"), false, std::nullopt,
         kRange, QStringLiteral("L2"), nullptr, &TProgramData::TermLeftX},
        {"deXRt", QStringLiteral("Right termination X-coordinate, XR,t"), false, std::nullopt, kRange,
         QStringLiteral("L2"), nullptr, &TProgramData::TermRightX},
        {"deMinEl", QStringLiteral("Minimum elevation"), false, std::nullopt, kRange, QStringLiteral("L2"),
         nullptr, &TProgramData::MinElevation},
        {"deSL", QStringLiteral("Segment length"), false, std::nullopt, kRange, QStringLiteral("L2"), nullptr,
         &TProgramData::SegmentLength},
        {"deCCW", t.ccw, false, std::nullopt, kRange, QStringLiteral("deg."), nullptr,
         &TProgramData::CcwLimit},
        {"deCW", t.cw, false, std::nullopt, kRange, QStringLiteral("deg."), nullptr, &TProgramData::CwLimit},
    };
    for (const FieldDef& def : shared) addField(def, grid, row++);
    if (!t.spencer) {
        grid->addWidget(note(searchmsg::kCwHint, this), row++, 1);
        grid->addWidget(note(searchmsg::kCcwHint, this), row++, 1);
    }
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(circleSearchPicture());
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(picture, 0, Qt::AlignTop);
    fixSize();
}
