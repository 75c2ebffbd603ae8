#pragma once
// Options > Text Editor: the program that shows the problem file, the report and the notes.
#include "DataDialog.h"

#include <functional>

class QLineEdit;

namespace optionsmsg {
inline const QString kCaption = QStringLiteral("Name of Text Editor Program");
inline const QString kLabel = QStringLiteral("&Text Editor:");
inline const QString kBrowse = QStringLiteral("&Browse...");
} // namespace optionsmsg

class TDlgOptions : public TDataDialog {
    Q_OBJECT
public:
    // The setting is read and written through `editorPath` and `setEditorPath`; it is no
    // document data, so nothing marks the document changed.
    TDlgOptions(ProblemSession& session, MessageSink& messages, FileChooser& files,
                std::function<QString()> editorPath, std::function<void(const QString&)> setEditorPath,
                QWidget* parent = nullptr);
    QLineEdit* edit() const { return m_edit; }
    void BrowseClick();

protected:
    void loadExtra() override;
    void storeExtra() override;

private:
    FileChooser& m_files;
    std::function<QString()> m_get;
    std::function<void(const QString&)> m_set;
    QLineEdit* m_edit;
};
