#pragma once
// The surface picked in the graph or the model view: its factor by every method and its slices, in a
// table that copies to the clipboard as tab-separated text and exports as CSV. Choosing a row marks
// that slice in the drawings; the slice under the mouse there is chosen here.
#include "SurfaceQuery.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class FileChooser;
class MessageSink;

namespace surfacemsg {
inline const QString kCaption = QStringLiteral("Surface");
inline const QString kNone =
    QStringLiteral("Click a surface in the graph or the model view to see its slices.");
} // namespace surfacemsg

class TSurfaceWindow : public QWidget {
    Q_OBJECT
public:
    TSurfaceWindow(SurfaceSelection& selection, MessageSink& messages, FileChooser& files,
                   QWidget* parent = nullptr);
    ~TSurfaceWindow() override;

    void CopyClick();
    void ExportClick();
    // Shows the slices with the base forces of the method at `index` of the list.
    void ChooseMethod(int index);

    QLabel* heading() const { return m_heading; }
    QComboBox* methodBox() const { return m_methods; }
    QTableWidget* table() const { return m_table; }
    QString problemFile; // the exported file is proposed beside it
    const std::optional<SliceTable>& shown() const { return m_shown; }

private:
    void followSelection();
    void followSlice();

    // The selection may go first when the program closes: the window never reaches it then.
    QPointer<SurfaceSelection> m_selection;
    MessageSink& m_messages;
    FileChooser& m_files;
    QLabel* m_heading;
    QComboBox* m_methods;
    QTableWidget* m_table;
    QPushButton* m_copy;
    QPushButton* m_export;
    int m_rank = 0;
    bool m_marking = false; // the table's row follows the drawing: no mark back
    std::optional<SliceTable> m_shown;
};
