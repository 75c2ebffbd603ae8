#include "SearchDialogs.h"

TDlgIrregular::TDlgIrregular(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TCircleSearchDialog(session, messages,
                          {searchmsg::kIrregular, QStringLiteral("Number of Initiation Points "), "deXLT",
                           QStringLiteral("CCW limit"), QStringLiteral("CW limit")},
                          parent) {}
