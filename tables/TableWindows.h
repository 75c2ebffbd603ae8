#pragma once
// Shows tables in windows: a subwindow of the frame's MDI area, a modal dialog, or embedded in the
// table's FormParent. The application installs one for its tables.
#include "TableFormController.h"

class QMdiArea;
class QMdiSubWindow;

// Moves a new subwindow wholly into the visible part of its area when it fits there: the area
// places new windows where they overlap the others least, even partly outside what the user sees.
void keepInView(QMdiSubWindow* sub);

class TableWindows : public TableWindowProvider {
public:
    // `area` holds the ordinary windows (none: they become windows of their own); `dialogParent`
    // owns the modal ones.
    TableWindows(QMdiArea* area, QWidget* dialogParent, TableWindowServices services);
    void show(TGridTable& table, bool modal) override;

private:
    QMdiArea* m_area;
    QWidget* m_dialogParent;
    TableWindowServices m_services;
};
