#include "SearchDialogs.h"

TDlgSpencer::TDlgSpencer(ProblemSession& session, MessageSink& messages, QWidget* parent)
    : TCircleSearchDialog(session, messages,
                          {searchmsg::kSpencer, QStringLiteral("Initiation Points "), "deXLt",
                           QStringLiteral("Counterclockwise limit"),
                           QStringLiteral("Clockwise limit (negative value)"), true},
                          parent) {}
