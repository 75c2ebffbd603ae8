#pragma once
// The dialogs of the failure-surface searches. The four circle-type ones edit one shared set of
// search parameters in the document; the block search has its own segment length, its total
// number of surfaces and the box table.
#include "DataDialog.h"

namespace searchmsg {
inline const QString kJanbu = QStringLiteral("Search by Janbu's Method");
inline const QString kBishop = QStringLiteral("Search by Bishop's Method");
inline const QString kIrregular = QStringLiteral("Search by Irregular Method");
inline const QString kSpencer = QStringLiteral("Search by Spencer's Method");
inline const QString kBlock = QStringLiteral("Search by Block Method");
inline const QString kCwHint = QStringLiteral("(Use negative values for CW limit.)");
inline const QString kCcwHint = QStringLiteral("(Use ß - 5 degrees.)");
inline const QString kInclinationHint = QStringLiteral("respect to horizontal.");
inline const QString kBlockSurfaces = QStringLiteral("Total number of surfaces to be generated");
inline const QString kBoxes = QStringLiteral("Boxes used to generate the base of central block");
inline const QString kEnterBlockData = QStringLiteral("Enter Block Data");
} // namespace searchmsg

// What differs between the circle-type dialogs: their captions.
struct CircleSearchTexts {
    QString caption;
    QString initiationPoints;
    const char* leftTerminationName;
    QString ccw, cw;
    bool spencer = false; // adds the interslice force inclination, stored first, and its hint
};

class TCircleSearchDialog : public TDataDialog {
    Q_OBJECT
public:
    TCircleSearchDialog(ProblemSession& session, MessageSink& messages, const CircleSearchTexts& texts,
                        QWidget* parent = nullptr);
};

class TDlgJanbu : public TCircleSearchDialog {
    Q_OBJECT
public:
    TDlgJanbu(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgBishop : public TCircleSearchDialog {
    Q_OBJECT
public:
    TDlgBishop(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgIrregular : public TCircleSearchDialog {
    Q_OBJECT
public:
    TDlgIrregular(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgSpencer : public TCircleSearchDialog {
    Q_OBJECT
public:
    TDlgSpencer(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

class TDlgBlock : public TDataDialog {
    Q_OBJECT
public:
    TDlgBlock(ProblemSession& session, MessageSink& messages, QWidget* parent = nullptr);
};

// The explanatory sketches, decoded from the program's resources.
QPixmap circleSearchPicture();
QPixmap blockSearchPicture();
