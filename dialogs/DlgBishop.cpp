#include "SearchDialogs.h"

TDlgBishop::TDlgBishop(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TCircleSearchDialog(session, messages,
                          {searchmsg::kBishop, QStringLiteral("Initiation Points "), "deXLt",
                           QStringLiteral("Counterclockwise direction limit"),
                           QStringLiteral("Clockwise limit (negative value)")},
                          parent) {}
