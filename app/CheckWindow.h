#pragma once
// The model check's findings in a list: what, where, and a double-click that opens the table or
// dialog it is in.
#include "model/ModelCheck.h"

#include <QWidget>
#include <functional>

class QLabel;
class QTreeWidget;

class TCheckWindow : public QWidget {
public:
    explicit TCheckWindow(std::function<void(const ModelFinding&)> open, QWidget* parent = nullptr);
    void setFindings(const QList<ModelFinding>& findings);
    QTreeWidget* list() const { return m_list; }
    QString summary() const;
    const QList<ModelFinding>& findings() const { return m_findings; }

private:
    std::function<void(const ModelFinding&)> m_open;
    QList<ModelFinding> m_findings;
    QLabel* m_summary;
    QTreeWidget* m_list;
};
