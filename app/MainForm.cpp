#include "MainForm.h"
#include "MenuHelpers.h"

#include "Application.h"
#include "ResultWindows.h"
#include "StartPage.h"

#include "base/Errors.h"
#include "base/FileAccess.h"
#include "base/FileNames.h"
#include "dialogs/AboutBox.h"
#include "dialogs/DlgOptions.h"
#include "dialogs/OptionalDialogs.h"
#include "model/AnalysisRun.h"
#include "model/UserExamples.h"
#include "tables/TableWindows.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

namespace {

const QList<FileFilter> kOpenFilters = {{QStringLiteral("ZovadeVoz 2014 (*.sld)"), QStringLiteral("*.sl4d")},
                                        {QStringLiteral("ZovadeVoz 3.0 (*.sld)"), QStringLiteral("*.sld")},
                                        {QStringLiteral("ZovadeVoz 2.0 (*.sld)"), QStringLiteral("*.sld")},
                                        {QStringLiteral("All Files (*.*)"), QStringLiteral("*")}};
const QList<FileFilter> kSaveFilters = {{QStringLiteral("DizirOvi 2014 (*.sl4d)"), QStringLiteral("*.sl4d")},
                                        {QStringLiteral("All Files (*.*)"), QStringLiteral("*")}};
constexpr int kOlderLayoutFilter = 3;

QString escapeMnemonic(QString text) {
    return text.replace('&', QLatin1String("&&"));
}

} // namespace

QString TMainForm::DefaultEditorPath() {
    for (const char* editor : {"gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(editor));
        if (!path.isEmpty()) return path;
    }
    const QString open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return open.isEmpty() ? QStringLiteral("xdg-open") : open;
}

TMainForm::TMainForm(ProblemSession& session, Services services, QStringList arguments, QString programFolder,
                     QWidget* parent)
    : QMainWindow(parent), m_session(session), m_services(services), m_arguments(std::move(arguments)),
      m_programFolder(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder),
      m_mdi(new QMdiArea(this)) {
    setCentralWidget(m_mdi);
    // Child windows may be larger than the frame (a table of many columns): the area scrolls.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWindowTitle(QStringLiteral("DizirOvi 2015"));
    resize(1000, 700);
    m_session.setHooks(this);
    m_tableWindows = std::make_unique<TableWindows>(
        m_mdi, this, TableWindowServices{m_services.messages, m_services.files, m_services.launcher, [this] {
                                             return EditorPath;
                                         }});
    m_session.tables().SetWindowProvider(m_tableWindows.get());
    m_history = std::make_unique<DocumentHistory>(m_session);
    // The windows show what an undo or redo put back: dialogs their fields (tables refresh themselves).
    m_history->afterRestore = [this] { reactivateUnitDialogs(); };
    // After each action of the user, what it changed becomes a step (one for a paste of many cells).
    qApp->installEventFilter(this);
    buildMenus();
    m_about = new TAboutBox(m_services.launcher, DiziroviIcon().pixmap(64, 64), this);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (w && m_graph && w->widget() == m_graph) m_graph->FormActivate();
        // A window closing is still in the list while it goes: look once it has gone.
        QTimer::singleShot(0, this, &TMainForm::updateStartPage);
    });
    // A surface picked in a drawing shows its slices.
    connect(&m_selection, &SurfaceSelection::selectedChanged, this, [this](int rank) {
        if (rank > 0) ViewSurfaceClick();
    });
    m_start = new TStartPage({[this] { FileNewClick(); }, [this] { FileOpenClick(); },
                              [this](const QString& path) { OpenReplacing(path); }},
                             m_mdi->viewport());
    m_start->hide();
    m_mdi->viewport()->installEventFilter(this);
    if (!m_services.recoveryFolder.isEmpty()) {
        m_recovery = std::make_unique<recovery::Store>(m_services.recoveryFolder);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &TMainForm::WriteRecovery);
        timer->start(30 * 1000);
    }

    // FormCreate
    setAcceptDrops(true);
    QSettings& s = m_services.settings;
    EditorPath = s.value(settingsKey(mainmsg::kWordProcessor)).toString();
    if (EditorPath.isEmpty()) EditorPath = DefaultEditorPath();
    RecentFiles = QStringList(kRecentSlots, QString());
    // The size, place and maximised state the user left the window in.
    restoreGeometry(s.value(settingsKey(mainmsg::kWindowGeometry)).toByteArray());
}

TMainForm::~TMainForm() {
    // The child windows are destroyed after this body, when the form is no longer whole: they
    // must not report back to it then.
    m_mdi->disconnect(this);
    if (m_graph) m_graph->disconnect(this);
    // The single-instance dialogs must not clear their flags in a half-destroyed frame.
    for (TDataDialog* d : std::initializer_list<TDataDialog*>{
             m_boundaryDialog, m_titleDialog, m_loadingDialog, m_earthquakeDialog, m_optionsDialog})
        if (d) d->onClosed = nullptr;
    m_session.setHooks(nullptr);
    // The table windows go with the frame; the tables stay with the session.
    m_session.tables().SetWindowProvider(nullptr);
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* form = qobject_cast<TTableForm*>(sub->widget()); form && form->table())
            form->table()->CloseWindow();
}

QString TMainForm::settingsKey(const QString& name) const {
    return mainmsg::kSettingsGroup + '/' + name;
}

void TMainForm::buildMenus() {
    buildFileMenu();
    buildEditMenu();
    buildDataMenu();
    buildOptionsMenu();
    buildComputationMenu();
    buildViewMenu();
    buildWindowMenu();
    buildHelpMenu();
}

void TMainForm::buildEditMenu() {
    QMenu* edit = addMenu(menuBar(), QStringLiteral("&Edit"), QStringLiteral("Edit1"));
    QAction* undo = addCommand(this, edit, QStringLiteral("&Undo"), QStringLiteral("EditUndo"),
                               &TMainForm::EditUndoClick);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = addCommand(this, edit, QStringLiteral("&Redo"), QStringLiteral("EditRedo"),
                               &TMainForm::EditRedoClick);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    // The items name the step they undo or redo, and are disabled when there is none.
    QUndoStack& stack = m_history->stack();
    auto follow = [undo, redo, &stack] {
        undo->setEnabled(stack.canUndo());
        undo->setText(stack.canUndo() ? QStringLiteral("&Undo %1").arg(stack.undoText())
                                      : QStringLiteral("&Undo"));
        redo->setEnabled(stack.canRedo());
        redo->setText(stack.canRedo() ? QStringLiteral("&Redo %1").arg(stack.redoText())
                                      : QStringLiteral("&Redo"));
    };
    connect(&stack, &QUndoStack::indexChanged, this, follow);
    connect(&stack, &QUndoStack::undoTextChanged, this, follow);
    follow();
    connect(edit, &QMenu::aboutToShow, this, &TMainForm::EditMenuClick);
}

void TMainForm::EditMenuClick() {
    CommitActiveChild();
    RecordStep();
}

void TMainForm::EditUndoClick() {
    // An entry still open in a window goes in first: it is what is undone.
    CommitActiveChild();
    if (m_history->Undo()) refreshCheckList();
}

void TMainForm::EditRedoClick() {
    CommitActiveChild();
    if (m_history->Redo()) refreshCheckList();
}

// An open Model Check list follows the model: it never shows an error that was mended since.
void TMainForm::refreshCheckList() {
    if (!m_check) return;
    try {
        const engine::CheckOutcome check = engine::Check(document().ProblemText(), m_programFolder);
        if (check.performed) m_check->setFindings(check.findings);
    } catch (const EDiziOvi&) {
        // A value no file can hold: the list stays until the check can read the model again.
    }
}

void TMainForm::buildFileMenu() {
    QMenu* file = addMenu(menuBar(), QStringLiteral("&File"), QStringLiteral("File1"));
    addCommand(this, file, QStringLiteral("&New"), QStringLiteral("FileNew"), &TMainForm::FileNewClick)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    addCommand(this, file, QStringLiteral("&Open..."), QStringLiteral("FileOpen"), &TMainForm::FileOpenClick)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    addCommand(this, file, QStringLiteral("&Save"), QStringLiteral("FileSave"), [this] {
        FileSaveClick();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(this, file, QStringLiteral("Save &As..."), QStringLiteral("FileSaveAs"),
               [this] { FileSaveAsClick(); });
    file->addSeparator();
    for (int i = 0; i < kRecentSlots; ++i) {
        QAction* a = file->addAction(QString());
        a->setObjectName(QStringLiteral("Recent%1").arg(i));
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, i] { MyFilePopupHandler(i); });
        m_recent[static_cast<size_t>(i)] = a;
    }
    m_recentSeparator = file->addSeparator();
    m_recentSeparator->setObjectName(QStringLiteral("N14"));
    m_recentSeparator->setVisible(false);
    addCommand(this, file, QStringLiteral("E&xit"), QStringLiteral("FileExit"), &TMainForm::FileExitClick);
    connect(file, &QMenu::aboutToShow, this, &TMainForm::FileMenuClick);
}

void TMainForm::buildOptionsMenu() {
    QMenu* options = addMenu(menuBar(), QStringLiteral("&Options"), QStringLiteral("Options1"));
    QMenu* unitsMenu = options->addMenu(QStringLiteral("&Units"));
    unitsMenu->setObjectName(QStringLiteral("OptionsUnits"));
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    const QString unitCaptions[] = {QStringLiteral("&English Units (lbs, ft)"),
                                    QStringLiteral("&SI Units (kN, m)"),
                                    QStringLiteral("&Other Units (F, L)")};
    for (int i = 0; i < 3; ++i) {
        QAction* a = unitsMenu->addAction(unitCaptions[i]);
        a->setObjectName(QStringLiteral("Units%1").arg(i + 1));
        a->setCheckable(true);
        a->setData(i + 1);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { UnitsClick(i + 1); });
        m_units[static_cast<size_t>(i)] = a;
    }
    connect(unitsMenu, &QMenu::aboutToShow, this, &TMainForm::OptionsUnitsClick);
    options->addSeparator();
    addCommand(this, options, QStringLiteral("&Text Editor"), QStringLiteral("OptionsTextEditor"),
               &TMainForm::TextEditorClick);
    connect(options, &QMenu::aboutToShow, this, &TMainForm::CommitActiveChild);
}

void TMainForm::buildComputationMenu() {
    QMenu* computation = addMenu(menuBar(), QStringLiteral("&Computation"), QStringLiteral("Computation1"));
    addCommand(this, computation, QStringLiteral("&Run Analysis"), QStringLiteral("RunAnalysis"),
               &TMainForm::RunAnalysisClick);
    computation->addSeparator();
    addCommand(this, computation, QStringLiteral("Check &Model"), QStringLiteral("CheckModel"),
               [this] { CheckModelClick(); });
    if (m_services.studies) {
        computation->addSeparator();
        addCommand(this, computation, QStringLiteral("&Probabilistic Analysis..."),
                   QStringLiteral("ProbabilisticAnalysis"), [this] { StudyClick(StudyKind::Probabilistic); });
        addCommand(this, computation, QStringLiteral("&Sensitivity Analysis..."),
                   QStringLiteral("SensitivityAnalysis"), [this] { StudyClick(StudyKind::Sensitivity); });
        addCommand(this, computation, QStringLiteral("&Back Analysis..."), QStringLiteral("BackAnalysis"),
                   [this] { StudyClick(StudyKind::Back); });
        computation->addSeparator();
    }
    addCommand(this, computation, QStringLiteral("Edit I&nput Text"), QStringLiteral("EditInputText"),
               &TMainForm::EditInputTextClick);
    addCommand(this, computation, QStringLiteral("Edit &Output Text"), QStringLiteral("EditOutputText"),
               &TMainForm::EditOutputTextClick);
    addCommand(this, computation, QStringLiteral("Error-Message Notes"), QStringLiteral("ErrorMessageNotes"),
               &TMainForm::ErrorMessageNotesClick);
    connect(computation, &QMenu::aboutToShow, this, &TMainForm::ComputationMenuClick);
}

void TMainForm::buildViewMenu() {
    QMenu* view = addMenu(menuBar(), QStringLiteral("&View"), QStringLiteral("View1"));
    addCommand(this, view, QStringLiteral("&Graphics"), QStringLiteral("ViewGraphics"),
               &TMainForm::ViewGraphicsClick)
        ->setCheckable(true);
    addCommand(this, view, QStringLiteral("&Results"), QStringLiteral("ViewResults"),
               &TMainForm::ViewResultsClick);
    addCommand(this, view, QStringLiteral("&Output Report"), QStringLiteral("ViewReport"),
               &TMainForm::ViewReportClick);
    addCommand(this, view, QStringLiteral("&Model"), QStringLiteral("ViewModel"), &TMainForm::ViewModelClick);
    addCommand(this, view, QStringLiteral("&Slices of a Surface"), QStringLiteral("ViewSurface"),
               &TMainForm::ViewSurfaceClick);
    connect(view, &QMenu::aboutToShow, this, &TMainForm::ViewMenuClick);
}

void TMainForm::buildWindowMenu() {
    QMenu* window = addMenu(menuBar(), QStringLiteral("&Window"), QStringLiteral("Window1"));
    addCommand(this, window, QStringLiteral("&Cascade"), QStringLiteral("WindowCascade"),
               &TMainForm::WindowCascadeClick);
    addCommand(this, window, QStringLiteral("&Arrange Icons"), QStringLiteral("WindowArrange"),
               &TMainForm::WindowArrangeClick);
    m_windowSeparator = window->addSeparator();
    m_windowSeparator->setObjectName(QStringLiteral("N15"));
    m_windowSeparator->setVisible(false);
    for (int i = 0; i < 50; ++i) {
        QAction* a = window->addAction(QString());
        a->setObjectName(QStringLiteral("Window%1").arg(i));
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, i] { ActivateMenuClick(i); });
        m_windows[static_cast<size_t>(i)] = a;
    }
    connect(window, &QMenu::aboutToShow, this, &TMainForm::ArrangeMenuClick);
}

QAction* TMainForm::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

QMenu* TMainForm::menu(const QString& objectName) const {
    return findChild<QMenu*>(objectName);
}

// ---- start-up ----

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

void TMainForm::FormShow() {
    if (m_shown) return;
    m_shown = true;
    QSettings& s = m_services.settings;
    if (s.status() == QSettings::NoError) {
        const QString editor = s.value(settingsKey(mainmsg::kWordProcessor)).toString();
        if (!editor.isEmpty()) EditorPath = editor;
        for (int i = 0; i < kRecentSlots; ++i)
            RecentFiles[i] = s.value(settingsKey(QStringLiteral("File%1").arg(i + 1))).toString();
    } else {
        EditorPath.clear();
        RecentFiles = QStringList(kRecentSlots, QString());
    }
    RecentCount = static_cast<int>(
        std::count_if(RecentFiles.begin(), RecentFiles.end(), [](const QString& f) { return !f.isEmpty(); }));
    OpenCommandLineFile();
    UpdateCaption();
    // Asked once the window is on the screen, over it.
    QTimer::singleShot(0, this, &TMainForm::OfferRecoveries);
}

void TMainForm::WriteRecovery() {
    if (!m_recovery) return;
    if (!IsModified()) {
        m_recovery->clear();
        return;
    }
    QByteArray text;
    try {
        text = document().ProblemText();
    } catch (const std::exception&) {
        return; // a value that cannot be written: the last recovery stays as it was
    }
    const QString original = document().FileName == kNewFileName ? QString() : document().FileName;
    QString why;
    if (m_recovery->write(text, original, &why)) {
        m_recoveryWarned = false;
    } else if (!m_recoveryWarned) {
        // Said once until a write succeeds again: the user should save rather than rely on it.
        m_recoveryWarned = true;
        m_services.messages.warning(QStringLiteral("Unsaved changes cannot be kept against a crash: %1\r\r"
                                                   "Save the problem to keep them.")
                                        .arg(why));
    }
}

void TMainForm::OfferRecoveries() {
    if (!m_recovery) return;
    for (const recovery::Entry& e : recovery::Orphans(m_services.recoveryFolder)) {
        const QString what = e.originalPath.isEmpty() ? QStringLiteral("a new problem")
                                                      : QDir::toNativeSeparators(e.originalPath);
        const QString text =
            QStringLiteral(
                "DizirOvi ended without closing while %1 had changes that were not saved (kept %2).\r\r"
                "Restore them now, discard them, or decide at the next start?")
                .arg(what, QLocale().toString(e.saved.toLocalTime(), QLocale::ShortFormat));
        switch (m_services.messages.choose(text, {QStringLiteral("&Restore"), QStringLiteral("&Discard"),
                                                  QStringLiteral("Decide &Later")})) {
        case MessageSink::Answer::Cancel: continue;
        case MessageSink::Answer::No: recovery::Discard(e); continue;
        case MessageSink::Answer::Yes: break;
        }
        if (!MayReplaceDocument() || !ChildWindowsClosed()) return;
        QString failure;
        replaceDocument(TProgramData::CreateFromFile(m_session, e.problemFile, true, nullptr, &failure));
        if (!failure.isEmpty()) {
            m_services.messages.warning(readmsg::shown(e.problemFile, failure));
            replaceDocument(TProgramData::Create(m_session));
            UpdateCaption();
            return; // kept for a look at the file
        }
        // The document of the original file, changed: saving it goes through the usual save.
        document().FileName = e.originalPath.isEmpty() ? kNewFileName : e.originalPath;
        SetModified(true);
        m_history->MarkUnsaved(); // no undo leads back to what its file holds
        adoptPlotFile();
        UpdateCaption();
        ViewModelClick();
        WriteRecovery(); // this instance's now, before the old one goes
        recovery::Discard(e);
        return; // one document at a time: the others wait for the next start
    }
}

void TMainForm::FormActivate() {
    m_session.tables().BoundCood->Comments = mainmsg::kBoundaryComments;
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::OpenCommandLineFile() {
    if (!m_arguments.isEmpty()) {
        QString name = m_arguments.first();
        // Only the file's own name decides, so "./dam" or "../work/dam" still gain the extension.
        if (!QFileInfo(name).fileName().contains('.')) name += QStringLiteral(".sl4d");
        if (QFileInfo(name).isFile()) {
            // The working directory moves later (opening other files, Error-Message Notes): every
            // name the document keeps is absolute.
            name = QFileInfo(name).absoluteFilePath();
            QString failure;
            replaceDocument(TProgramData::CreateFromFile(m_session, name, true, nullptr, &failure));
            adoptPlotFile();
            ViewModelClick();
            // Said over the window once it is on the screen (this runs while it is first shown),
            // naming the file: nothing else on the screen says which file it was.
            if (!failure.isEmpty())
                QTimer::singleShot(0, this, [this, text = readmsg::shown(name, failure)] {
                    m_services.messages.warning(text);
                });
            return;
        }
    }
    replaceDocument(TProgramData::Create(m_session));
}

// ---- document ----

bool TMainForm::CommitActiveChild() {
    if (m_mdi->subWindowList().isEmpty()) return true;
    if (QMdiSubWindow* active = m_mdi->currentSubWindow())
        if (auto* child = dynamic_cast<CommittingChild*>(active->widget())) return child->storeToDocument();
    return true;
}

// ---- Data menu ----

void TMainForm::CloseChildWindows() {
    m_mdi->closeAllSubWindows();
}

// Closing stores each window's values in the document. A window that refuses (an entry the user has
// not corrected) keeps the document open too: its values would otherwise go into the next one.
bool TMainForm::ChildWindowsClosed() {
    CloseChildWindows();
    return m_mdi->subWindowList().isEmpty();
}

QString TMainForm::DialogFolder() const {
    if (m_session.document().FileName != kNewFileName)
        return QFileInfo(m_session.document().FileName).absolutePath();
    return examples::DefaultUserFolder();
}

void TMainForm::UpdateCaption() {
    setWindowTitle(mainmsg::kCaptionPrefix + filenames::DisplayName(document().FileName));
    updateStartPage();
    WriteRecovery(); // a new document, a save or a change of name: the recovery follows at once
}

void TMainForm::replaceDocument(std::unique_ptr<TProgramData> successor) {
    m_session.adopt(std::move(successor));
    // Another document: nothing of the last one's history applies to it.
    if (m_history) m_history->Reset();
}

void TMainForm::adoptPlotFile() {
    const QString plot = filenames::changeExtension(document().FileName, QStringLiteral(".sl4p"));
    if (QFileInfo::exists(plot)) document().PlotFileName = plot;
    m_selection.load(engine::resultFile(document().FileName));
}

// ---- file commands ----

bool TMainForm::QuerySaveChanges() {
    if (!IsModified()) return true;
    switch (m_services.messages.question(mainmsg::kSaveChanges)) {
    case MessageSink::Answer::Cancel: return false;
    case MessageSink::Answer::No: return true;
    case MessageSink::Answer::Yes: break;
    }
    // The user asked for the changes to be kept: a failed save stops the command as a cancelled
    // one does, instead of dropping them.
    return FileSaveClick() == SaveOutcome::Saved;
}

bool TMainForm::MayReplaceDocument() {
    return CommitActiveChild() && QuerySaveChanges();
}

void TMainForm::FileNewClick() {
    if (!MayReplaceDocument() || !ChildWindowsClosed()) return;
    replaceDocument(TProgramData::Create(m_session));
    UpdateCaption();
    document().PlotFileName.clear();
    m_selection.load(QString());
}

void TMainForm::FileOpenClick() {
    if (!MayReplaceDocument()) return;
    auto choice = m_services.files.open(QStringLiteral("Open"), kOpenFilters, OpenFilterIndex,
                                        QStringLiteral("sld"), DialogFolder());
    if (!choice || !ChildWindowsClosed()) return;
    OpenFilterIndex = choice->filterIndex;
    OpenFileName(QFileInfo(choice->path).absoluteFilePath());
}

void TMainForm::OpenFileName(const QString& name) {
    const QString path = QFileInfo(name).absoluteFilePath();
    if (!opensAsFile(path)) return;
    QDir::setCurrent(QFileInfo(path).absolutePath());
    replaceDocument(TProgramData::CreateFromFile(m_session, path, OpenFilterIndex != kOlderLayoutFilter,
                                                 &m_services.messages));
    UpdateCaption();
    adoptPlotFile();
    UpdatePrevFile(path);
    ViewModelClick();
}

SaveOutcome TMainForm::writeDocument(QString* failure) {
    // A save by its shortcut opens no menu: the entry still open in a window goes in first. An entry
    // the window refuses stops the save (and a run): the file would not hold what the user sees.
    if (!CommitActiveChild()) return SaveOutcome::Cancelled;
    try {
        RecordStep();
        // A file that already holds exactly this problem is left as it is: a run of an unchanged
        // problem does not make it look newer than its results.
        QFile onDisk(document().FileName);
        const bool same = !IsModified() && !document().Incomplete && onDisk.open(QIODevice::ReadOnly) &&
                          onDisk.size() < (qint64{16} << 20) && onDisk.readAll() == document().ProblemText();
        if (same)
            SetModified(false);
        else
            document().SaveToFile();
        m_history->MarkSaved();
        document().Incomplete = false;
        WriteRecovery(); // saved: nothing left to recover
        return SaveOutcome::Saved;
    } catch (const EDiziOvi& e) {
        if (failure)
            *failure = e.message();
        else
            m_services.messages.error(e.message());
        return SaveOutcome::Failed;
    }
}

SaveOutcome TMainForm::FileSaveClick(QString* failure) {
    // A never-saved document, an older-layout file and a file read only in part are never
    // written over in place.
    if (document().FileName == kNewFileName ||
        filenames::extension(document().FileName).toLower() == QLatin1String(".sld") || document().Incomplete)
        return FileSaveAsClick(failure);
    return writeDocument(failure);
}

SaveOutcome TMainForm::FileSaveAsClick(QString* failure) {
    if (!CommitActiveChild()) return SaveOutcome::Cancelled;
    // A never-saved problem is proposed in the folder the dialogs start in, not the launch folder.
    QString proposed = document().FileName == kNewFileName ? QDir(DialogFolder()).filePath(kNewFileName)
                                                           : document().FileName;
    if (filenames::extension(proposed).toLower() == QLatin1String(".sld"))
        proposed = filenames::changeExtension(proposed, QStringLiteral(".sl4d"));
    const QString title = QStringLiteral("Save %1 As").arg(filenames::DisplayName(document().FileName));
    // The dialog completes a bare name with the current layout's extension, so what it saves is
    // never taken for the older layout.
    SaveOutcome outcome = SaveOutcome::Cancelled;
    if (auto chosen = m_services.files.save(title, proposed, kSaveFilters, QStringLiteral("sl4d"))) {
        document().FileName = QFileInfo(*chosen).absoluteFilePath();
        UpdateCaption();
        outcome = writeDocument(failure);
        document().PlotFileName.clear();
    }
    CloseChildWindows();
    return outcome;
}

void TMainForm::FileExitClick() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!MayReplaceDocument() || !ChildWindowsClosed()) {
        event->ignore();
        return;
    }
    UpdateRegistry();
    m_services.settings.setValue(settingsKey(mainmsg::kWindowGeometry), saveGeometry());
    m_services.settings.sync();
    if (m_recovery) m_recovery->clear(); // closed normally: kept or dropped as the user said
    event->accept();
}

QString TMainForm::RecentShownName(const QString& path) const {
    const QString prefix = QDir::currentPath() + '/';
    const qsizetype at = path.indexOf(prefix);
    return at < 0 ? path : path.mid(at + prefix.size());
}

void TMainForm::FileMenuClick() {
    CommitActiveChild();
    for (int i = 0; i < kRecentSlots; ++i) {
        QAction* a = m_recent[static_cast<size_t>(i)];
        a->setVisible(i < RecentCount);
        if (i < RecentCount)
            a->setText(
                QStringLiteral("&%1 %2").arg(i + 1).arg(escapeMnemonic(RecentShownName(RecentFiles[i]))));
    }
    m_recentSeparator->setVisible(RecentCount > 0);
}

void TMainForm::MyFilePopupHandler(int slot) {
    OpenReplacing(RecentFiles.value(slot));
}

void TMainForm::OpenReplacing(const QString& path) {
    if (opensAsFile(path) && MayReplaceDocument() && ChildWindowsClosed()) OpenFileName(path);
}

// A file that cannot be opened at all is no document: the open one stays, instead of an empty
// problem under the missing file's name that a later Save As would put in its place. A recent entry
// whose file is gone leaves the list.
bool TMainForm::opensAsFile(const QString& path) {
    QFile file;
    QString why;
    if (fileaccess::openForReading(file, path, why)) return true;
    QString text =
        QStringLiteral("The problem file %1 cannot be opened: %2\r\rThe open problem stays as it is.")
            .arg(QDir::toNativeSeparators(path), why);
    if (!QFileInfo::exists(path) && RecentFiles.contains(path)) {
        RecentFiles.removeAll(path);
        RecentFiles.resize(kRecentSlots);
        RecentCount = static_cast<int>(std::count_if(RecentFiles.begin(), RecentFiles.end(),
                                                     [](const QString& f) { return !f.isEmpty(); }));
        UpdateRegistry();
        updateStartPage();
        text += QStringLiteral(" It is taken off the recent files.");
    }
    m_services.messages.warning(text);
    return false;
}

// The start page while there is nothing to edit yet: no window open on an untouched new problem.
void TMainForm::updateStartPage() {
    const bool show =
        m_mdi->subWindowList().isEmpty() && document().FileName == kNewFileName && !IsModified();
    if (show) {
        m_start->setFiles(examples::DefaultUserFolder(), RecentFiles);
        m_start->setGeometry(m_mdi->viewport()->rect());
        m_start->raise();
    }
    m_start->setVisible(show);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_mdi->viewport() && event->type() == QEvent::Resize)
        m_start->setGeometry(m_mdi->viewport()->rect());
    const QEvent::Type type = event->type();
    // Ctrl+Z in a text field undoes its typing; with nothing typed to undo it undoes the last step
    // of the document, as it does anywhere else (a cell's editor is open whenever a table has focus).
    if (type == QEvent::ShortcutOverride)
        if (auto* edit = qobject_cast<QLineEdit*>(watched)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool undo = key->matches(QKeySequence::Undo) && !edit->isUndoAvailable();
            const bool redo =
                (key->matches(QKeySequence::Redo) || key->keyCombination() == (Qt::CTRL | Qt::Key_Y)) &&
                !edit->isRedoAvailable();
            if (undo || redo) {
                event->ignore();
                return true;
            }
        }
    if ((type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease || type == QEvent::Drop) &&
        !m_recordPending) {
        m_recordPending = true;
        QTimer::singleShot(0, this, [this] {
            m_recordPending = false;
            if (RecordStep()) refreshCheckList();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::UpdatePrevFile(const QString& path) {
    if (RecentFiles.first() == path) return;
    // The path moves to the front; the slots before its old place move down one, and when it was
    // not in the list the oldest entry drops out. Empty slots keep their places.
    RecentFiles.removeAll(path);
    RecentFiles.prepend(path);
    RecentFiles.resize(kRecentSlots);
    UpdateRegistry();
    RecentCount = static_cast<int>(
        std::count_if(RecentFiles.begin(), RecentFiles.end(), [](const QString& f) { return !f.isEmpty(); }));
}

void TMainForm::UpdateRegistry() {
    QSettings& s = m_services.settings;
    s.setValue(settingsKey(mainmsg::kWordProcessor), EditorPath);
    for (int i = 0; i < kRecentSlots; ++i)
        s.setValue(settingsKey(QStringLiteral("File%1").arg(i + 1)), RecentFiles[i]);
    s.sync();
}

void TMainForm::HandleDroppedFiles(const QStringList& paths) {
    if (paths.isEmpty() || !opensAsFile(QFileInfo(paths.first()).absoluteFilePath()) ||
        !MayReplaceDocument() || !ChildWindowsClosed())
        return;
    const QString path = QFileInfo(paths.first()).absoluteFilePath();
    QDir::setCurrent(QFileInfo(path).absolutePath());
    replaceDocument(TProgramData::CreateFromFile(m_session, path, true, &m_services.messages));
    adoptPlotFile();
    UpdateCaption();
    ViewModelClick();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    HandleDroppedFiles(paths);
}

// ---- Units and Window ----

void TMainForm::OptionsUnitsClick() {
    for (int i = 0; i < 3; ++i) m_units[static_cast<size_t>(i)]->setChecked(i + 1 == document().UnitSystem);
}

void TMainForm::UnitsClick(int unitSystem) {
    // An entry a window refuses is in neither unit system: it must be corrected first.
    if (!CommitActiveChild()) return;
    const int before = document().UnitSystem;
    document().SetUnitSystem(unitSystem);
    // The values were converted: closing without saving must not lose that silently.
    if (document().UnitSystem != before) SetModified(true);
}

void TMainForm::ArrangeMenuClick() {
    CommitActiveChild();
    const QList<QMdiSubWindow*> children = m_mdi->subWindowList(QMdiArea::CreationOrder);
    for (int i = 0; i < 50; ++i) {
        QAction* a = m_windows[static_cast<size_t>(i)];
        a->setVisible(i < children.size());
        if (i < children.size()) a->setText(escapeMnemonic(children[i]->windowTitle()));
    }
    m_windowSeparator->setVisible(!children.isEmpty());
}

void TMainForm::ActivateMenuClick(int index) {
    const QList<QMdiSubWindow*> children = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (index < 0 || index >= children.size()) return;
    QMdiSubWindow* w = children[index];
    w->showNormal();
    m_mdi->setActiveSubWindow(w);
    w->raise();
}

void TMainForm::WindowCascadeClick() {
    // Each window keeps its own size (a table window's shows whole cells, and the frame area's
    // cascade shrank them to title bars); only the places step down and right from the corner.
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    int k = 0;
    QMdiSubWindow* last = nullptr;
    for (QMdiSubWindow* w : windows) {
        if (w->isMinimized() || !w->isVisible()) continue;
        if (w->isMaximized()) w->showNormal();
        const int step = w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w) + 4;
        w->move(k * step, k * step);
        w->raise();
        last = w;
        ++k;
    }
    if (last) m_mdi->setActiveSubWindow(last);
}

void TMainForm::WindowArrangeClick() {
    // Minimised children line up along the bottom edge of the frame.
    int x = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized()) continue;
        w->move(x, m_mdi->viewport()->height() - w->height());
        x += w->width();
    }
}

// ---- Computation ----

bool TMainForm::CheckModelClick(bool onlyWhenWrong) {
    if (!onlyWhenWrong && !CommitActiveChild()) return false; // a run commits before it checks
    QByteArray text;
    try {
        text = document().ProblemText();
    } catch (const EDiziOvi&) {
        return true; // a value no file can hold: the save before the run says which
    }
    const engine::CheckOutcome check = engine::Check(text, m_programFolder);
    if (!check.performed) {
        // Without the engine's check the run itself still refuses what is wrong.
        if (!onlyWhenWrong)
            m_services.messages.warning(QStringLiteral("The model could not be checked: %1.").arg(check.why));
        return true;
    }
    const int errors = errorCount(check.findings);
    if (onlyWhenWrong && errors == 0) {
        if (m_check) m_check->setFindings(check.findings); // an open list stays true
        return true;
    }
    if (!m_check) m_check = new TCheckWindow([this](const ModelFinding& f) { OpenPlace(f.section, f.item); });
    m_check->setFindings(check.findings);
    showChild(m_check, QSize(720, 320));
    return errors == 0;
}

void TMainForm::OpenPlace(const QString& section, int item) {
    const TableSet& t = m_session.tables();
    struct Place {
        const char* section;
        const char* action;
        TGridTable* table;
    };
    const Place places[] = {{"lines", "DataBoundary", t.BoundCood},
                            {"soils", "DataSoil", t.SoilData},
                            {"water", "DataWater", t.WaterSurfaceSet},
                            {"loads", "DataSurcharge", t.SurchargeLoad},
                            {"earthquake", "DataEarthquake", nullptr},
                            {"tiebacks", "DataTiebacks", t.TiebackCoord},
                            {"limits", "DataLimits", t.limit},
                            {"reinforcement", "DataReinforcement", t.ReinEarthLayerSet}};
    TGridTable* table = nullptr;
    bool opened = false;
    for (const Place& p : places)
        if (section == QLatin1String(p.section)) {
            // A boundary line's row is in the coordinate table, which its dialog only opens.
            if (p.table == t.BoundCood && item > 0)
                t.BoundCood->ShowWindow();
            else
                action(QLatin1String(p.action))->trigger();
            table = p.table;
            opened = true;
            break;
        }
    const int method = document().SearchMethod;
    if (!opened && (section == QLatin1String("search") || section == QLatin1String("surface")) &&
        method >= 1 && method <= 6) {
        searchItem(method)->trigger();
        table =
            method == search::UserSurface ? t.FailSurface : (method == search::Block ? t.BoxCoord : nullptr);
    }
    // The row itself, in whichever window shows that table now.
    if (table && item > 0)
        for (TTableForm* form : m_mdi->findChildren<TTableForm*>())
            if (form->table() == table) form->goToRow(item - 1);
}

void TMainForm::RunAnalysisClick() {
    WriteRecovery(); // the engine runs in this process: what is unsaved is kept before it starts
    TAnalysisRun run(m_session, m_services.messages, m_programFolder);
    TAnalysisRun::Hooks hooks;
    // The run reports a failed save in its own words.
    hooks.save = [this](QString& why) { return FileSaveClick(&why); };
    // The check's errors stop the run with all of them listed, not the first alone.
    hooks.check = [this] {
        // The entry still open in a window is part of what is checked (and then saved).
        if (!CommitActiveChild()) return false;
        if (CheckModelClick(true)) return true;
        m_services.messages.warning(checkmsg::runStopped(errorCount(m_check->findings())));
        return false;
    };
    hooks.busy = [](bool on) {
        if (on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    // With the runner beside the program the engine runs in a process of its own: the window goes on,
    // shows how far the run has come and can stop it.
    if (const QString runner = engine::childRunner(m_programFolder); !runner.isEmpty())
        hooks.runner = [this, runner](const QString& problem) { return runWatched(runner, problem); };
    const auto outcome = run.Run(hooks);
    // What the engine said, in the window: its summary whenever it wrote a result file.
    refreshRunWindows(outcome && (outcome->kind == engine::RunOutcome::Kind::Computed ||
                                  outcome->kind == engine::RunOutcome::Kind::NotPerformed));
}

engine::RunOutcome TMainForm::runWatched(const QString& runner, const QString& problem) {
    QProgressDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Run Analysis"));
    dialog.setLabelText(QStringLiteral("Starting the analysis..."));
    dialog.setCancelButtonText(QStringLiteral("&Cancel"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, 0); // busy until the engine says how many trials there are
    m_runProgress = &dialog;
    struct Seen {
        qint64 done = 0, total = 0;
        double best = 0;
    } seen;
    QElapsedTimer clock;
    clock.start();
    // The dialog follows at its own pace: the run's reports arrive as fast as the engine makes them.
    QTimer show;
    connect(&show, &QTimer::timeout, &dialog, [&] {
        const qint64 s = clock.elapsed() / 1000;
        const QString elapsed = QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
        if (seen.total <= 0) {
            dialog.setLabelText(QStringLiteral("Analysing %1...\n\nElapsed time: %2")
                                    .arg(QFileInfo(problem).fileName(), elapsed));
            return;
        }
        const QLocale locale;
        dialog.setLabelText(
            QStringLiteral("Trials: %1 of %2\nBest factor of safety so far: %3\nElapsed time: %4")
                .arg(locale.toString(seen.done), locale.toString(seen.total),
                     seen.best > 0 ? QString::number(seen.best, 'f', 3) : QStringLiteral("none yet"),
                     elapsed));
        if (dialog.maximum() != 1000) dialog.setRange(0, 1000);
        dialog.setValue(static_cast<int>(1000 * std::min(seen.done, seen.total) / seen.total));
    });
    show.start(100);
    engine::ChildWatch watch;
    watch.progress = [&seen](qint64 done, qint64 total, double best) { seen = {done, total, best}; };
    watch.cancelled = [&dialog] { return dialog.wasCanceled(); };
    dialog.show();
    const engine::RunOutcome outcome = engine::RunInChild(runner, problem, watch);
    m_runProgress = nullptr;
    return outcome;
}

void TMainForm::StudyClick(StudyKind kind) {
    if (!m_services.studies) return;
    CommitActiveChild();
    m_services.studies(kind, StudyContext{m_session, m_services.messages, m_services.files,
                                          engine::childRunner(m_programFolder),
                                          [this] { return FileSaveClick() == SaveOutcome::Saved; },
                                          [this](QWidget* w, QSize size) { showChild(w, size); }});
}

void TMainForm::openInEditor(const QString& file) {
    startEditor(m_services.launcher, m_services.messages, EditorPath, file);
}

void TMainForm::EditInputTextClick() {
    openInEditor(document().FileName);
}

void TMainForm::EditOutputTextClick() {
    openInEditor(engine::outputFile(document().FileName));
}

void TMainForm::ErrorMessageNotesClick() {
    QDir::setCurrent(m_programFolder);
    openInEditor(QDir(m_programFolder).filePath(runmsg::kErrorNotes));
}

void TMainForm::ComputationMenuClick() {
    CommitActiveChild();
    const bool output = QFileInfo::exists(engine::outputFile(document().FileName));
    action(QStringLiteral("EditInputText"))->setEnabled(QFileInfo::exists(document().FileName));
    action(QStringLiteral("EditOutputText"))->setEnabled(output);
    action(QStringLiteral("ErrorMessageNotes"))->setEnabled(output);
}

// ---- View ----

void TMainForm::ViewMenuClick() {
    QAction* graphics = action(QStringLiteral("ViewGraphics"));
    graphics->setEnabled(!document().PlotFileName.isEmpty() && QFileInfo::exists(document().PlotFileName));
    graphics->setChecked(GraphOpen);
    action(QStringLiteral("ViewResults"))
        ->setEnabled(QFileInfo::exists(engine::resultFile(document().FileName)));
    action(QStringLiteral("ViewReport"))
        ->setEnabled(QFileInfo::exists(engine::outputFile(document().FileName)));
}

QMdiSubWindow* TMainForm::showChild(QWidget* child, const QSize& size) {
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    const bool created = !sub;
    if (created) {
        sub = m_mdi->addSubWindow(child);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->resize(size);
    }
    sub->setWindowTitle(child->windowTitle());
    sub->show();
    if (created) keepInView(sub);
    m_mdi->setActiveSubWindow(sub);
    sub->raise();
    child->setFocus();
    return sub;
}

void TMainForm::ViewResultsClick() {
    if (!m_results) m_results = new TResultsWindow;
    m_results->showResultFile(engine::resultFile(document().FileName));
    showChild(m_results, QSize(560, 480));
}

void TMainForm::ViewModelClick() {
    // A window closed a moment ago (a new document closes them all) is gone, though not yet deleted.
    if (m_model && m_model->isHidden()) m_model = nullptr;
    if (!m_model)
        m_model = new TModelWindow(m_session, m_services.messages, m_services.files,
                                   [this](const ModelPlace& place) { OpenPlace(place.section, place.item); });
    m_model->setSelection(&m_selection);
    showChild(m_model, QSize(860, 560));
}

void TMainForm::ViewSurfaceClick() {
    if (m_surface && m_surface->isHidden()) m_surface = nullptr;
    if (!m_surface) {
        m_surface = new TSurfaceWindow(m_selection, m_services.messages, m_services.files);
        // Closing the slices lets the surface go in the drawings too.
        connect(m_surface, &QObject::destroyed, &m_selection, [this] { m_selection.select(0); });
    }
    m_surface->problemFile = document().FileName;
    QMdiSubWindow* drawing = m_mdi->activeSubWindow();
    const bool created = !m_surface->parentWidget();
    QMdiSubWindow* sub = showChild(m_surface, QSize(760, 420));
    // Below or beside the drawing it was picked in, when there is room: the marked slice stays in view.
    if (created && drawing && drawing != sub) {
        const QRect d = drawing->geometry(), room = m_mdi->viewport()->rect();
        if (d.bottom() + sub->height() < room.bottom())
            sub->move(d.left(), d.bottom() + 1);
        else if (d.right() + sub->width() < room.right())
            sub->move(d.right() + 1, d.top());
        else // over the drawing's lower part, where the legend and the axes are, not the slope's middle
            sub->move(std::max(0, room.right() - sub->width()), std::max(0, room.bottom() - sub->height()));
    }
}

void TMainForm::ViewReportClick() {
    auto fresh = m_report ? nullptr : std::make_unique<TReportWindow>();
    TReportWindow* window = m_report ? m_report.data() : fresh.get();
    QString why;
    if (!window->load(engine::outputFile(document().FileName), why)) {
        m_services.messages.warning(why);
        return;
    }
    if (fresh) m_report = fresh.release(); // the sub-window owns it from here
    showChild(m_report, QSize(760, 560));
}

// After a run the windows that show its files show the new ones, or go when there are none.
void TMainForm::refreshRunWindows(bool showResults) {
    const QString result = engine::resultFile(document().FileName);
    const QString report = engine::outputFile(document().FileName);
    auto close = [](QWidget* w) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget())) sub->close();
    };
    if (QFileInfo::exists(result) && (showResults || m_results))
        ViewResultsClick();
    else if (m_results && !QFileInfo::exists(result))
        close(m_results);
    if (m_report) {
        QString why;
        if (!QFileInfo::exists(report) || !m_report->load(report, why)) close(m_report);
    }
    m_selection.load(result);
    if (m_model) m_model->Reload();
    // The graph draws the new plot file; without one it would show results that are gone.
    if (m_graph) {
        if (QFileInfo::exists(engine::plotFile(document().FileName)))
            m_graph->Reload();
        else
            close(m_graph);
    }
}

void TMainForm::ViewGraphicsClick() {
    const QString plot = engine::plotFile(document().FileName);
    if (QFileInfo::exists(plot)) document().PlotFileName = plot;
    const bool created = !GraphOpen;
    if (created) {
        m_graph = new TfrmGraph(m_graphState, document(), m_services.messages, m_services.files);
        QMdiSubWindow* sub = m_mdi->addSubWindow(m_graph);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowTitle(m_graph->windowTitle());
        sub->resize(812, 631);
        m_graph->setSelection(&m_selection);
        connect(m_graph, &QObject::destroyed, this, [this] {
            GraphOpen = false;
            m_graph = nullptr;
        });
        GraphOpen = true;
    }
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(m_graph->parentWidget());
    if (sub) {
        sub->show();
        if (created) keepInView(sub);
        m_mdi->setActiveSubWindow(sub);
        sub->raise();
    }
    action(QStringLiteral("ViewGraphics"))->setChecked(GraphOpen);
}
