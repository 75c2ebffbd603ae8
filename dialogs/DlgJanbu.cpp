#include "SearchDialogs.h"

TDlgJanbu::TDlgJanbu(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TCircleSearchDialog(session, messages,
                          {searchmsg::kJanbu, QStringLiteral("Initiation Points "), "deXLt",
                           QStringLiteral("Counterclockwise limit"), QStringLiteral("Clockwise limit")},
                          parent) {}
