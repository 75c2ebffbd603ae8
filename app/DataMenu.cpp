// The Data menu and Options > Text Editor: the windows in which the problem is entered.
#include "MainForm.h"
#include "MenuHelpers.h"

#include "dialogs/DlgOptions.h"
#include "dialogs/OptionalDialogs.h"
#include "dialogs/SearchDialogs.h"
#include "model/TableSet.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <array>

void TMainForm::buildDataMenu() {
    QMenu* data = addMenu(menuBar(), QStringLiteral("Da&ta"), QStringLiteral("Data1"));
    addCommand(this, data, QStringLiteral("&Title"), QStringLiteral("DataTitle"), &TMainForm::TitleClick);
    data->addSeparator();
    addCommand(this, data, QStringLiteral("Slope &Boundary Lines"), QStringLiteral("DataBoundary"),
               &TMainForm::SlopeBoundaryClick);
    addCommand(this, data, QStringLiteral("&Soil Properties"), QStringLiteral("DataSoil"),
               &TMainForm::SoilPropertiesClick);
    addCommand(this, data, QStringLiteral("Water Surface(s)"), QStringLiteral("DataWater"),
               [this] { showNew(new TDlgPiezometric(m_session, m_services.messages)); });
    data->addSeparator();
    QMenu* loads = data->addMenu(QStringLiteral("Surcharge and Earthquake Loading (optional)"));
    addCommand(this, loads, QStringLiteral("Surcharge Loading"), QStringLiteral("DataSurcharge"), [this] {
        showSingle(m_loadingDialog, [this] { return new TDlgLoading(m_session, m_services.messages); });
    })->setCheckable(true);
    addCommand(this, loads, QStringLiteral("Earthquake Loading"), QStringLiteral("DataEarthquake"), [this] {
        showSingle(m_earthquakeDialog, [this] { return new TDlgEarthquake(m_session, m_services.messages); });
    })->setCheckable(true);
    addCommand(this, data, QStringLiteral("Trial Surface Limits (optional)"), QStringLiteral("DataLimits"),
               [this] { showNew(new TDlgLimits(m_session, m_services.messages)); });
    addCommand(this, data, QStringLiteral("Tiebacks (optional)"), QStringLiteral("DataTiebacks"),
               [this] { showNew(new TDlgTieback(m_session, m_services.messages)); });
    addCommand(this, data, QStringLiteral("Sets of &Reinforced Earth Layers (optional)"),
               QStringLiteral("DataReinforcement"),
               [this] { showNew(new TDlgReinEarth(m_session, m_services.messages)); });
    data->addSeparator();
    buildSearchMenu(data);
    data->addSeparator();
    connect(data, &QMenu::aboutToShow, this, &TMainForm::DataMenuClick);
}

void TMainForm::buildSearchMenu(QMenu* data) {
    QMenu* searches = data->addMenu(QStringLiteral("Failure Surface Search Controls"));
    searches->setObjectName(QStringLiteral("searchmethod"));
    const std::pair<const char*, const char*> items[] = {
        {"User-Defined Failure Surface", "DataUserSurface"},
        {"Circular Failure Surface Searched by Janbu's Method", "DataJanbu"},
        {"Circular Failure Surface Searched by Bishop's Method", "DataBishop"},
        {"Irregular failure Surface Search", "DataIrregular"},
        {"Block Search Method (random method)", "DataBlock"},
        {"Spencer's Method", "DataSpencer"}};
    for (int code = 1; code <= 6; ++code) {
        QAction* a =
            addCommand(this, searches, QLatin1String(items[code - 1].first),
                       QLatin1String(items[code - 1].second), [this, code] { SearchItemClick(code); });
        a->setCheckable(true);
        m_searchItems[static_cast<size_t>(code - 1)] = a;
    }
    connect(searches, &QMenu::aboutToShow, this, &TMainForm::searchmethodClick);
}

// ---- windows ----

void TMainForm::showNew(TDataDialog* dialog) {
    dialog->showIn(m_mdi);
}

// A single-instance window: created when its flag is clear, else brought forward.
template <class D, class Make> void TMainForm::showSingle(QPointer<D>& slot, Make make) {
    if (slot && !slot->isClosing()) {
        m_mdi->setActiveSubWindow(slot->subWindow());
        return;
    }
    slot = make();
    slot->onClosed = [&slot] { slot = nullptr; };
    slot->showIn(m_mdi);
}

void TMainForm::TitleClick() {
    showSingle(m_titleDialog, [this] { return new TdlgTitle(m_session, m_services.messages); });
}

void TMainForm::SlopeBoundaryClick() {
    showSingle(m_boundaryDialog, [this] { return new TDlgSlopeBoundary(m_session, m_services.messages); });
}

void TMainForm::SoilPropertiesClick() {
    m_session.tables().SoilData->ShowWindow();
}

void TMainForm::TextEditorClick() {
    showSingle(m_optionsDialog, [this] {
        return new TDlgOptions(
            m_session, m_services.messages, m_services.files, [this] { return EditorPath; },
            [this](const QString& path) { EditorPath = path; });
    });
}

// A unit switch refits the boundary preview and reloads the editor's name. Every other open dialog
// shows its numbers converted: each stored what it showed before the switch (the active one when
// the menu opened, the others when they were left), and would otherwise store them again, unconverted.
void TMainForm::reactivateUnitDialogs() {
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (auto* d = dynamic_cast<TDataDialog*>(sub->widget());
            d && d != m_boundaryDialog.data() && d != m_optionsDialog.data())
            d->reloadFields();
    if (m_boundaryDialog) m_boundaryDialog->FormActivate();
    if (m_optionsDialog) m_optionsDialog->FormActivate();
}

// ---- check marks ----

void TMainForm::DataMenuClick() {
    CommitActiveChild();
    action(QStringLiteral("DataSurcharge"))->setChecked(document().LoadsOn);
    action(QStringLiteral("DataEarthquake"))->setChecked(document().EquakeOn);
    searchmethodClick();
}

void TMainForm::searchmethodClick() {
    for (int code = 1; code <= static_cast<int>(m_searchItems.size()); ++code)
        m_searchItems[static_cast<size_t>(code - 1)]->setChecked(document().SearchMethod == code);
}

// Each search item: set its flag and the method, open the method's window, clear the flags of the
// methods it excludes, then the check marks.
void TMainForm::SearchItemClick(int code) {
    TProgramData& d = document();
    bool* const flags[] = {&d.UserSurfaceOn, &d.JanbuOn, &d.BishopOn,
                           &d.IrregularOn,   &d.BlockOn, &d.SpencerOn};
    // Another method is a change of the problem: New, Open and Exit must ask before dropping it.
    auto state = [&] {
        std::array<bool, 7> s{};
        for (size_t i = 0; i < 6; ++i) s[i] = *flags[i];
        s[6] = d.SearchMethod == code;
        return s;
    };
    const auto before = state();
    *flags[code - 1] = true;
    d.SearchMethod = code;
    switch (code) {
    case 1: m_session.tables().FailSurface->ShowWindow(); break;
    case 2: showNew(new TDlgJanbu(m_session, m_services.messages)); break;
    case 3: showNew(new TDlgBishop(m_session, m_services.messages)); break;
    case 4: showNew(new TDlgIrregular(m_session, m_services.messages)); break;
    case 5: showNew(new TDlgBlock(m_session, m_services.messages)); break;
    case 6: showNew(new TDlgSpencer(m_session, m_services.messages)); break;
    default: break;
    }
    switch (code) {
    case 2: d.BishopOn = false; break;
    case 3: d.JanbuOn = d.SpencerOn = false; break;
    case 4: d.JanbuOn = d.BishopOn = d.SpencerOn = d.BlockOn = false; break;
    case 5: d.JanbuOn = d.BishopOn = d.SpencerOn = false; break;
    case 6: d.JanbuOn = d.BishopOn = d.BlockOn = false; break;
    default: break;
    }
    if (state() != before) SetModified(true);
    searchmethodClick();
}
