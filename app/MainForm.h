#pragma once
#include "CheckWindow.h"
#include "ResultWindows.h"
#include "StartPage.h"
#include "base/UserInteraction.h"
#include "dialogs/DlgSlopeBoundary.h"

#include "format/Release.h"
#include "graph/FrmGraph.h"
#include "graph/ModelWindow.h"
#include "graph/SurfaceWindow.h"
#include "model/AnalysisRun.h"
#include "model/DocumentHistory.h"
#include "model/ProgramData.h"
#include "model/Recovery.h"
#include <QDate>

#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>
#include <array>

class QAction;

class QActionGroup;
class QMdiArea;
class QMenu;

class QSettings;

// The documents the Help menu opens, beside the program.
namespace helpfiles {
inline constexpr char kContents[] = "DIZIROVI2015.html";
inline constexpr char kUsersManual[] = "DIZIROVI2015UsersManual.pdf";
inline constexpr char kTechnicalManual[] = "DIZIROVI2015TechnicalManual.pdf";
inline constexpr char kTechnical[] = "Technical.sh";
// The desktop says nothing when it cannot open a document, so the program does.
inline const QString kMissing =
    QStringLiteral("The file \"%1\" was not found. Reinstall the program to restore it.");
inline const QString kNoProgram = QStringLiteral("No program on this computer could open \"%1\".");
} // namespace helpfiles

class TAboutBox;
class ProblemSession;
class TDlgEarthquake;
class TDlgLoading;
class TDlgOptions;
class TdlgTitle;

namespace mainmsg {
inline const QString kCaptionPrefix = QStringLiteral("DizirOvi %1 - ").arg(QLatin1String(release::kVersion));
inline const QString kSaveChanges = QStringLiteral("Do you want to save any changes?");
inline const QString kSettingsGroup = QLatin1String(release::kVersion);
inline const QString kWordProcessor = QStringLiteral("Word Processor");
inline const QString kWindowGeometry = QStringLiteral("Main Window");
inline const QString kBoundaryComments = QStringLiteral(
    "Up to 100 boundary lines can be defined.\rEach boundary line is defined from left to right.\r"
    "Boundary lines should be ordered so that each boundary\rline is defined before all underlying boundary "
    "lines.\r"
    "The soil number is the soil type immediately underying the boundary\rline. The slope should slide from "
    "the "
    "right side to the left side.");
} // namespace mainmsg

// Studies of the open problem (Computation menu). Their windows chart with Qt Charts, which only the
// program and the studies' tests load, so they live in a library of their own that the program hands
// in as an opener; without one the menu offers no study.
enum class StudyKind { Probabilistic, Sensitivity, Back };
struct StudyContext {
    ProblemSession& session;
    MessageSink& messages;
    FileChooser& files;
    QString runner;                            // dizirovi-cli beside the program; none: none there
    std::function<bool()> save;                // saves the document; false: not saved
    std::function<void(QWidget*, QSize)> show; // shows a window of the program's
};
using StudyOpener = std::function<void(StudyKind, const StudyContext&)>;

// The frame window: menus, the child windows of its MDI area, the document's file commands and
// the settings kept per user.
class TMainForm : public QMainWindow, private DocumentHooks {
    Q_OBJECT
public:
    struct Services {
        MessageSink& messages;
        FileChooser& files;
        Launcher& launcher;
        QSettings& settings; // opened on the organisation's and application's settings
        // Where unsaved work is kept against a crash (recovery::DefaultFolder()); none: not kept.
        QString recoveryFolder = {};
        StudyOpener studies = {};
    };

    // `programFolder` holds the engine library and its notes (the executable's folder).
    TMainForm(ProblemSession& session, Services services, QStringList arguments,
              QString programFolder = QString(), QWidget* parent = nullptr);
    ~TMainForm() override;

    // Start-up steps; FormShow runs once, on the first show.
    void FormShow();
    void FormActivate();

    ProblemSession& session() { return m_session; }
    TProgramData& document() { return m_session.document(); }
    QMdiArea* mdiArea() const { return m_mdi; }

    bool IsModified() const { return m_session.IsModified(); }
    void SetModified(bool modified) { m_session.SetModified(modified); }
    bool CommitActiveChild(); // false when the active window refuses its entry
    void CloseChildWindows();
    bool ChildWindowsClosed();
    void UpdateCaption();

    // File commands.
    bool QuerySaveChanges();
    // Before New, Open, a recent file, a drop or Exit: the active window's entry goes into the
    // document, then the user is asked about unsaved changes. The windows are closed only after
    // this, when the command goes on (ChildWindowsClosed): Cancel leaves them as they were.
    bool MayReplaceDocument();
    // Where the Open and Save dialogs start: the current problem's folder, else the user's examples.
    QString DialogFolder() const;
    void FileNewClick();
    void FileOpenClick();
    void OpenFileName(const QString& path);
    // A failed save is shown as an error, or, when `failure` is given, only said there.
    SaveOutcome FileSaveClick(QString* failure = nullptr);
    SaveOutcome FileSaveAsClick(QString* failure = nullptr);
    void FileExitClick();
    void FileMenuClick();
    void MyFilePopupHandler(int slot);
    // Opens `path` in place of the document, asking first as the recent-file commands do.
    void OpenReplacing(const QString& path);
    TStartPage* startPage() const { return m_start; }

    // Recovery: the document's unsaved changes written to this instance's recovery file (removed
    // when there are none), and, at start, the recoveries of programs that ended without closing.
    void WriteRecovery();
    void OfferRecoveries();
    const recovery::Store* recoveryStore() const { return m_recovery.get(); }
    void UpdatePrevFile(const QString& path);
    void UpdateRegistry();
    void OpenCommandLineFile();
    void HandleDroppedFiles(const QStringList& paths);
    QString RecentShownName(const QString& path) const;

    // Edit menu: undo and redo of the user's changes, one action a step.
    void EditUndoClick();
    void EditRedoClick();
    void EditMenuClick();
    // Makes what the last action changed a step of the history (after each mouse or key action).
    bool RecordStep() { return m_history->Record(); }
    void refreshCheckList();
    DocumentHistory& history() { return *m_history; }

    // Computation menu.
    void RunAnalysisClick();
    // A study of the problem: its dialog (which runs it) and then its charts.
    void StudyClick(StudyKind kind);
    // The progress of the run going on (none between runs): its Cancel stops the run.
    QProgressDialog* runProgress() const { return m_runProgress; }
    // The model check: every finding of the engine's check in a list (also before each run, whose
    // errors stop it). False when the check found errors.
    bool CheckModelClick(bool onlyWhenWrong = false);
    TCheckWindow* checkWindow() const { return m_check; }
    void EditInputTextClick();
    void EditOutputTextClick();
    void ErrorMessageNotesClick();
    void ComputationMenuClick();
    const QString& ProgramFolder() const { return m_programFolder; }

    // View menu.
    void ViewMenuClick();
    void ViewGraphicsClick();
    // The last run's outcome and report inside the window (the same files Edit Output Text opens).
    void ViewResultsClick();
    void ViewReportClick();
    TResultsWindow* resultsWindow() const { return m_results; }
    TReportWindow* reportWindow() const { return m_report; }
    // The model drawn while it is entered; opens with every document read.
    void ViewModelClick();
    TModelWindow* modelWindow() const { return m_model; }
    // The surface picked in the graph or the model view, its factors and slices.
    void ViewSurfaceClick();
    TSurfaceWindow* surfaceWindow() const { return m_surface; }
    SurfaceSelection& surfaceSelection() { return m_selection; }
    // Opens the table or dialog where `section`'s row `item` is entered (the model check's words),
    // with that row current.
    void OpenPlace(const QString& section, int item);
    bool GraphOpen = false;
    TfrmGraph* graphWindow() const { return m_graph; }
    GraphState& graphState() { return m_graphState; }

    // Data menu.
    void DataMenuClick();
    void searchmethodClick();
    void TitleClick();
    void SoilPropertiesClick();
    void SlopeBoundaryClick();
    void TextEditorClick();
    // The search items by method code (1 user surface ... 6 Spencer).
    void SearchItemClick(int code);
    QAction* searchItem(int code) const { return m_searchItems[static_cast<size_t>(code - 1)]; }

    // Help menu.
    void AboutClick();
    TAboutBox* aboutBox() const { return m_about; }
    // The address that asks the maker's page for a newer release, dated `today`.
    static QString UpdateQuery(const QDate& today);
    std::function<QDate()> Today = [] { return QDate::currentDate(); };

    // Units and Window menus.
    void OptionsUnitsClick();
    void UnitsClick(int unitSystem);
    void ArrangeMenuClick();
    void ActivateMenuClick(int index);
    void WindowCascadeClick();
    void WindowArrangeClick();

    QString EditorPath;
    static constexpr int kRecentSlots = 10;
    QStringList RecentFiles; // always ten slots, the most recent first; an empty slot is ""
    int RecentCount = 0;
    int OpenFilterIndex = 1; // the open dialog's filter, last chosen

    QAction* action(const QString& objectName) const;
    QAction* recentAction(int i) const { return m_recent[static_cast<size_t>(i)]; }
    QAction* windowAction(int i) const { return m_windows[static_cast<size_t>(i)]; }
    QAction* unitsAction(int system) const { return m_units[static_cast<size_t>(system - 1)]; }
    QMenu* menu(const QString& objectName) const;

    static QString DefaultEditorPath();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void updateStartPage();
    bool opensAsFile(const QString& path);

private:
    void closeChildWindows() override { CloseChildWindows(); }
    void reactivateUnitDialogs() override;
    void buildMenus();
    void buildFileMenu();
    void buildEditMenu();
    void buildDataMenu();
    void buildSearchMenu(QMenu* data);
    void showNew(TDataDialog* dialog);
    template <class D, class Make> void showSingle(QPointer<D>& slot, Make make);
    void openBeside(const QString& name);
    void openUrl(const QUrl& url);
    void buildOptionsMenu();
    void buildComputationMenu();
    void buildViewMenu();
    void buildWindowMenu();
    void buildHelpMenu();
    void replaceDocument(std::unique_ptr<TProgramData> successor);
    void adoptPlotFile();
    SaveOutcome writeDocument(QString* failure);
    void openInEditor(const QString& file);
    engine::RunOutcome runWatched(const QString& runner, const QString& problem);
    QMdiSubWindow* showChild(QWidget* child, const QSize& size);
    void refreshRunWindows(bool showResults);
    QString settingsKey(const QString& name) const;

    ProblemSession& m_session;
    Services m_services;
    QStringList m_arguments;
    QString m_programFolder;
    QMdiArea* m_mdi;
    bool m_shown = false;
    std::array<QAction*, kRecentSlots> m_recent{};
    std::array<QAction*, 50> m_windows{};
    std::array<QAction*, 3> m_units{};
    QAction* m_recentSeparator = nullptr; // N14
    QAction* m_windowSeparator = nullptr; // N15
    GraphState m_graphState;
    TfrmGraph* m_graph = nullptr;
    std::array<QAction*, 6> m_searchItems{}; // by search-method code 1 to 6
    std::unique_ptr<TableWindowProvider> m_tableWindows;
    // Single-instance windows: open while set.
    TStartPage* m_start = nullptr;
    std::unique_ptr<recovery::Store> m_recovery;
    std::unique_ptr<DocumentHistory> m_history;
    bool m_recordPending = false;
    QPointer<QProgressDialog> m_runProgress;
    bool m_recoveryWarned = false;
    QPointer<TResultsWindow> m_results;
    QPointer<TCheckWindow> m_check;
    QPointer<TReportWindow> m_report;
    QPointer<TModelWindow> m_model;
    QPointer<TSurfaceWindow> m_surface;
    SurfaceSelection m_selection;
    QPointer<TDlgSlopeBoundary> m_boundaryDialog;
    QPointer<TdlgTitle> m_titleDialog;
    QPointer<TDlgLoading> m_loadingDialog;
    QPointer<TDlgEarthquake> m_earthquakeDialog;
    QPointer<TDlgOptions> m_optionsDialog;
    TAboutBox* m_about = nullptr;
};
