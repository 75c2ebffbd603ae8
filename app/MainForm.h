#pragma once
#include <QMainWindow>

class QMdiArea;

// The frame window: every dialog, table window and graph window is a child of its MDI area.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

private:
    QMdiArea* m_mdiArea;
};
