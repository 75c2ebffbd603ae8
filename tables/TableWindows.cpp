#include "TableWindows.h"

#include "TableChart.h"

#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

void keepInView(QMdiSubWindow* sub) {
    QMdiArea* area = sub->mdiArea();
    if (!area) return;
    const QRect view = area->viewport()->rect();
    const QRect at = sub->geometry();
    const int x = std::max(0, std::min(at.x(), view.width() - at.width()));
    const int y = std::max(0, std::min(at.y(), view.height() - at.height()));
    if (x != at.x() || y != at.y()) sub->move(x, y);
}

TableWindows::TableWindows(QMdiArea* area, QWidget* dialogParent, TableWindowServices services)
    : m_area(area), m_dialogParent(dialogParent), m_services(std::move(services)) {}

void TableWindows::show(TGridTable& table, bool modal) {
    if (table.VisibleColumnCount() == 0) return;
    if (auto* open = dynamic_cast<TTableForm*>(table.Window())) {
        QWidget* frame = open->frame();
        frame->show();
        frame->raise();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(frame); sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
        else
            frame->activateWindow();
        return;
    }
    TTableForm* form = nullptr;
    if (auto* chart = dynamic_cast<TGridTableChart*>(&table))
        form = new TTableChartForm(*chart, m_services, modal);
    else
        form = new TTableForm(table, m_services, modal);
    form->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* parent = qobject_cast<QWidget*>(table.FormParent)) {
        // Embedded: no border of its own, at the parent's top-left corner.
        form->setParent(parent);
        form->move(0, 0);
        form->open();
        form->show();
    } else if (modal || !m_area) {
        auto* dialog = new QDialog(m_dialogParent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setModal(modal);
        form->setParent(dialog);
        form->open();
        dialog->show();
    } else {
        QMdiSubWindow* sub = m_area->addSubWindow(form);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->showNormal();
        form->open();
        m_area->setActiveSubWindow(sub);
        keepInView(sub);
    }
}
