#include "DataDialog.h"

#include "base/Errors.h"
#include "tables/TableWindows.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <cmath>
#include <utility>

TDataDialog::TDataDialog(ProblemSession& session, MessageSink& messages, const QString& caption,
                         QWidget* parent)
    : QWidget(parent), m_session(session), m_messages(messages) {
    setWindowTitle(caption);
}

TDataDialog::~TDataDialog() {
    if (std::function<void()> closed = std::exchange(onClosed, nullptr)) closed();
}

QMdiSubWindow* TDataDialog::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TDataDialog::showIn(QMdiArea* area) {
    QMdiSubWindow* sub =
        area->addSubWindow(this, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    connect(sub, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
                if (m_closing) return;
                if (!(before & Qt::WindowActive) && (now & Qt::WindowActive)) FormActivate();
                if ((before & Qt::WindowActive) && !(now & Qt::WindowActive)) FormDeactivate();
            });
    sub->show();
    sub->adjustSize();
    keepInView(sub);
    // Activated right after it is created, whether or not the frame area makes it active.
    if (area->activeSubWindow() == sub)
        FormActivate();
    else
        area->setActiveSubWindow(sub);
    if (area->activeSubWindow() != sub) FormActivate();
}

TDataEdit* TDataDialog::addField(const FieldDef& def, QGridLayout* grid, int row) {
    auto* edit = new TDataEdit(m_messages, this);
    edit->setObjectName(QLatin1String(def.name));
    auto* label = new QLabel(this);
    edit->SetEditLabel(label);
    edit->SetCaption(def.caption);
    edit->SetUnitsString(def.unit);
    // The stored bounds are the field's own, taken as they are, like those of a loaded form.
    edit->SetLoading(true);
    edit->SetIntegerOnly(def.integer);
    edit->SetMinVal(def.lower ? *def.lower : -EntryField::DefaultMaxVal());
    edit->SetMaxVal(def.upper);
    edit->SetLoading(false);
    connect(edit, &QLineEdit::textEdited, this, &TDataDialog::edited);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    m_fields.emplace_back(def, edit);
    m_fieldOrder.push_back(edit);
    return edit;
}

TDataEdit* TDataDialog::field(const char* name) const {
    for (const auto& [def, edit] : m_fields)
        if (qstrcmp(def.name, name) == 0) return edit;
    return nullptr;
}

void TDataDialog::edited() {
    m_session.SetModified(true);
}

void TDataDialog::fixSize() {
    adjustSize();
    setFixedSize(sizeHint());
}

// ---- load and store ----

void TDataDialog::loadFields() {
    for (auto& [def, edit] : m_fields) {
        if (!def.unit.isEmpty() && def.unit != QLatin1String("deg.")) edit->SetUnits(document().UnitSystem);
        // A loaded number goes through the field's bounds: what is shown is what will be stored.
        edit->SetNumber(def.whole ? static_cast<long double>(document().*def.whole) : document().*def.real);
    }
}

void TDataDialog::storeFields() {
    for (auto& [def, edit] : m_fields) {
        long double x = 0;
        try {
            x = edit->Number();
        } catch (const EDiziOvi&) {
            continue; // cannot happen after the guard: the focused field is the only one being typed in
        }
        if (def.whole)
            document().*def.whole =
                static_cast<int32_t>(std::clamp(std::nearbyint(x), -2147483648.0L, 2147483647.0L));
        else
            document().*def.real = x;
    }
}

// ---- the three handlers ----

void TDataDialog::FormActivate() {
    if (m_returning) {
        m_returning = false;
        return;
    }
    loadFields();
    loadExtra();
}

bool TDataDialog::focusedFieldRefuses() {
    auto* focused = qobject_cast<TDataEdit*>(focusWidget());
    return focused && isAncestorOf(focused) && !focused->Validate();
}

void TDataDialog::bringBack() {
    if (QMdiSubWindow* sub = subWindow(); sub && sub->mdiArea() && sub->mdiArea()->activeSubWindow() != sub) {
        m_returning = true;
        sub->mdiArea()->setActiveSubWindow(sub);
        m_returning = false;
    }
}

bool TDataDialog::FormDeactivate() {
    if (focusedFieldRefuses()) {
        bringBack();
        return false;
    }
    storeFields();
    storeExtra();
    return true;
}

bool TDataDialog::FormClose() {
    if (focusedFieldRefuses()) return false;
    storeFields();
    storeExtra();
    storeOnClose();
    return true;
}

bool TDataDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == subWindow() && event->type() == QEvent::Close && !m_closing) {
        if (!FormClose()) {
            event->ignore();
            return true;
        }
        m_closing = true;
        // Closed from now on, though the window goes away a moment later.
        if (std::function<void()> closed = std::exchange(onClosed, nullptr)) closed();
    }
    return QWidget::eventFilter(watched, event);
}
