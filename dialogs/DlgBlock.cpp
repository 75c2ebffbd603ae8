#include "SearchDialogs.h"

#include "model/TableSet.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TDlgBlock::TDlgBlock(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TDataDialog(session, messages, searchmsg::kBlock, parent) {
    auto* grid = new QGridLayout;
    addField({"deQL", QStringLiteral("Segment length "), false, std::nullopt, 100000000, QStringLiteral("L2"),
              nullptr, &TProgramData::BlockSegmentLength},
             grid, 0);
    TDataEdit* surfaces = addField({"deSP", QStringLiteral("Total number of surfaces  to be generated"), true,
                                    1, 100, QString(), &TProgramData::SurfacesPerPoint, nullptr},
                                   grid, 1);
    // This field's label is a text of its own, not the field's caption.
    QLabel* label = surfaces->EditLabel();
    surfaces->SetEditLabel(nullptr);
    label->setText(searchmsg::kBlockSurfaces);
    label->setBuddy(surfaces);
    grid->addWidget(new QLabel(searchmsg::kBoxes, this), 2, 0);
    auto* boxes = new QPushButton(searchmsg::kEnterBlockData, this);
    boxes->setObjectName(QStringLiteral("btnSect"));
    connect(boxes, &QPushButton::clicked, this, [this] { this->session().tables().BoxCoord->ShowWindow(); });
    grid->addWidget(boxes, 2, 1);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(blockSearchPicture());
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    fixSize();
}
