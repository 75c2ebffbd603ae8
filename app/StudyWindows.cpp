#include "StudyWindows.h"

#include "base/FileAccess.h"
#include "base/FileNames.h"
#include "base/UserInteraction.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

const char* const kDistributions[] = {"normal", "lognormal", "uniform", "triangular"};

double cell(const TGridTable& t, int column, int row) {
    return static_cast<double>(t.Cell(column, row).GetFloat());
}

QString number(double v) {
    return QString::number(v, 'g', 6);
}

// A study's output beside it: "slope.study.json" gives "slope.study.results.json".
QString output(const QString& study, const QString& suffix) {
    QString base = study;
    if (base.endsWith(QLatin1String(".json"))) base.chop(5);
    return base + suffix;
}

QChartView* chartView(QChart* chart, QWidget* parent) {
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

QValueAxis* axis(QChart* chart, const QString& title, Qt::Alignment where, QAbstractSeries* series) {
    auto* a = new QValueAxis;
    a->setTitleText(title);
    chart->addAxis(a, where);
    series->attachAxis(a);
    return a;
}

} // namespace

std::vector<StudyCandidate> studyCandidates(const ProblemSession& session) {
    std::vector<StudyCandidate> out;
    const TableSet& t = session.tables();
    const TProgramData& d = session.document();
    const std::pair<const char*, int> soilProperties[] = {
        {"cohesion", 2}, {"phi", 3}, {"moist-weight", 0}, {"saturated-weight", 1}};
    for (int r = 0; r < t.SoilData->RowCount(); ++r)
        for (const auto& [property, column] : soilProperties)
            out.push_back({QStringLiteral("soil %1 %2").arg(r + 1).arg(QLatin1String(property)),
                           QJsonObject{{"soil", r + 1}, {"property", QLatin1String(property)}},
                           cell(*t.SoilData, column, r)});
    if (d.EquakeOn) {
        out.push_back(
            {QStringLiteral("kh"), QJsonObject{{"property", "kh"}}, static_cast<double>(d.SeismicKh)});
        out.push_back(
            {QStringLiteral("kv"), QJsonObject{{"property", "kv"}}, static_cast<double>(d.SeismicKv)});
    }
    if (d.WaterOn)
        for (int w = 0; w < t.WaterSurfaceSet->RowCount(); ++w)
            out.push_back({QStringLiteral("water %1 offset").arg(w + 1),
                           QJsonObject{{"water", w + 1}, {"property", "offset"}}, 0});
    if (d.LoadsOn)
        for (int r = 0; r < t.SurchargeLoad->RowCount(); ++r)
            out.push_back({QStringLiteral("load %1 intensity").arg(r + 1),
                           QJsonObject{{"load", r + 1}, {"property", "intensity"}},
                           cell(*t.SurchargeLoad, 2, r)});
    if (d.TiesOn)
        for (int r = 0; r < t.TiebackCoord->RowCount(); ++r)
            out.push_back({QStringLiteral("tieback %1 force").arg(r + 1),
                           QJsonObject{{"tieback", r + 1}, {"property", "force"}},
                           cell(*t.TiebackCoord, 3, r)});
    return out;
}

std::optional<StudyResults> readStudyResults(const QString& studyPath, QString& error) {
    StudyResults r;
    QFile results(output(studyPath, QStringLiteral(".results.json")));
    QFile samples(output(studyPath, QStringLiteral(".samples.csv")));
    if (!results.open(QIODevice::ReadOnly) || !samples.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The study's results could not be read beside %1.").arg(studyPath);
        return std::nullopt;
    }
    r.results = QJsonDocument::fromJson(results.readAll()).object();
    samples.readLine(); // the heading
    while (!samples.atEnd()) {
        const QByteArray line = samples.readLine().trimmed();
        bool ok = false;
        const double fs = line.mid(line.lastIndexOf(',') + 1).toDouble(&ok);
        if (ok) r.factors.push_back(fs);
    }
    if (r.results.isEmpty()) {
        error = QStringLiteral("The study's results beside %1 are damaged.").arg(studyPath);
        return std::nullopt;
    }
    return r;
}

Histogram histogram(const std::vector<double>& values) {
    Histogram h;
    if (values.empty()) return h;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    const int bins = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(values.size()))), 10, 50);
    const double width = *hi > *lo ? (*hi - *lo) / bins : 1.0;
    for (int i = 0; i <= bins; ++i) h.edges.push_back(*lo + i * width);
    h.counts.assign(static_cast<size_t>(bins), 0);
    for (double v : values)
        ++h.counts[static_cast<size_t>(std::clamp(static_cast<int>((v - *lo) / width), 0, bins - 1))];
    return h;
}

// ---- the results ----

TStudyResults::TStudyResults(const StudyResults& r, MessageSink& messages, FileChooser& files,
                             QWidget* parent)
    : QWidget(parent), m_messages(messages), m_files(files) {
    setWindowTitle(studymsg::kResultsCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    const QJsonObject s = r.results.value("summary").toObject();
    const QJsonArray interval = s.value("pf95").toArray();
    m_summary = new QLabel(
        QStringLiteral(
            "%1 samples, %2. Mean factor of safety %3, standard deviation %4. Probability of failure %5 "
            "(95 %: %6 to %7); reliability index %8 (normal), %9 (lognormal).")
            .arg(s.value("samples").toInt())
            .arg(r.results.value("method").toString())
            .arg(number(s.value("mean").toDouble()), number(s.value("sd").toDouble()),
                 number(s.value("pf").toDouble()), number(interval.at(0).toDouble()),
                 number(interval.at(1).toDouble()), number(s.value("betaNormal").toDouble()),
                 number(s.value("betaLognormal").toDouble())),
        this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs, 1);

    // The histogram of the factors, with the line FS = 1.
    const Histogram h = histogram(r.factors);
    auto* bars = new QLineSeries;
    bars->setName(QStringLiteral("samples"));
    int highest = 0;
    for (size_t i = 0; i < h.counts.size(); ++i) {
        bars->append(h.edges[i], 0);
        bars->append(h.edges[i], h.counts[i]);
        bars->append(h.edges[i + 1], h.counts[i]);
        bars->append(h.edges[i + 1], 0);
        highest = std::max(highest, h.counts[i]);
    }
    auto* failure = new QLineSeries;
    failure->setName(QStringLiteral("FS = 1 (Pf %1)").arg(number(s.value("pf").toDouble())));
    failure->append(1, 0);
    failure->append(1, highest);
    failure->setColor(Qt::red);
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Factor of safety"));
    chart->addSeries(bars);
    chart->addSeries(failure);
    QValueAxis* x = axis(chart, QStringLiteral("Factor of safety"), Qt::AlignBottom, bars);
    failure->attachAxis(x);
    QValueAxis* y = axis(chart, QStringLiteral("Samples"), Qt::AlignLeft, bars);
    failure->attachAxis(y);
    y->setRange(0, std::max(1, highest));
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    if (!h.edges.empty()) x->setRange(std::min(h.edges.front(), 0.95), std::max(h.edges.back(), 1.05));
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Histogram"));

    // The cumulative distribution.
    std::vector<double> sorted = r.factors;
    std::sort(sorted.begin(), sorted.end());
    auto* cdf = new QLineSeries;
    cdf->setName(QStringLiteral("P(FS <= x)"));
    for (size_t i = 0; i < sorted.size(); ++i)
        cdf->append(sorted[i], static_cast<double>(i + 1) / static_cast<double>(sorted.size()));
    chart = new QChart;
    chart->setTitle(QStringLiteral("Cumulative distribution"));
    chart->addSeries(cdf);
    axis(chart, QStringLiteral("Factor of safety"), Qt::AlignBottom, cdf);
    axis(chart, QStringLiteral("Probability"), Qt::AlignLeft, cdf)->setRange(0, 1);
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Cumulative"));

    // The convergence of the mean and of Pf with the number of samples.
    auto* mean = new QLineSeries;
    mean->setName(QStringLiteral("mean factor of safety"));
    auto* pf = new QLineSeries;
    pf->setName(QStringLiteral("probability of failure"));
    for (const QJsonValue& v : r.results.value("convergence").toArray()) {
        const QJsonObject p = v.toObject();
        mean->append(p.value("samples").toDouble(), p.value("mean").toDouble());
        pf->append(p.value("samples").toDouble(), p.value("pf").toDouble());
    }
    chart = new QChart;
    chart->setTitle(QStringLiteral("Convergence"));
    chart->addSeries(mean);
    chart->addSeries(pf);
    auto* samplesAxis = new QLogValueAxis;
    samplesAxis->setTitleText(QStringLiteral("Samples"));
    samplesAxis->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(samplesAxis, Qt::AlignBottom);
    mean->attachAxis(samplesAxis);
    pf->attachAxis(samplesAxis);
    axis(chart, QStringLiteral("Mean factor of safety"), Qt::AlignLeft, mean);
    axis(chart, QStringLiteral("Probability of failure"), Qt::AlignRight, pf);
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Convergence"));

    auto* exportButton = new QPushButton(QStringLiteral("&Export Chart..."), this);
    connect(exportButton, &QPushButton::clicked, this, &TStudyResults::ExportClick);
    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    resize(760, 560);
}

void TStudyResults::ExportClick() {
    auto* view = qobject_cast<QChartView*>(m_tabs->currentWidget());
    if (!view) return;
    const QString proposed = filenames::changeExtension(
        problemFile, QStringLiteral("-%1.png").arg(m_tabs->tabText(m_tabs->currentIndex()).toLower()));
    const auto chosen = m_files.save(QStringLiteral("Export Chart"), proposed,
                                     {{QStringLiteral("PNG image (*.png)"), QStringLiteral("*.png")},
                                      {QStringLiteral("PDF page (*.pdf)"), QStringLiteral("*.pdf")}},
                                     QStringLiteral("png"));
    if (!chosen) return;
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QString why;
    if (chosen->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        QPdfWriter pdf(&bytes);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                      QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
        QPainter p(&pdf);
        view->render(&p);
    } else {
        view->grab().save(&bytes, "PNG");
    }
    if (bytes.data().isEmpty() || !fileaccess::writeWhole(*chosen, bytes.data(), why))
        m_messages.error(QStringLiteral("The chart could not be written to %1.\r\r%2").arg(*chosen, why));
}

// ---- the dialog ----

TStudyDialog::TStudyDialog(ProblemSession& session, MessageSink& messages, QString runner,
                           std::function<bool()> save, std::function<void(const StudyResults&)> show,
                           QWidget* parent)
    : QWidget(parent), m_session(session), m_messages(messages), m_runner(std::move(runner)),
      m_save(std::move(save)), m_show(std::move(show)), m_candidates(studyCandidates(session)) {
    setWindowTitle(studymsg::kCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("Uncertain inputs (normal and lognormal: mean and standard deviation; "
                                  "uniform: minimum and maximum; triangular: minimum, mode, maximum):"),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_table = new QTableWidget(0, 5, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Distribution"),
                                        QStringLiteral("Mean / Min"), QStringLiteral("SD / Mode"),
                                        QStringLiteral("Max")});
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(m_table, 1);
    auto* rows = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&Add Variable"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove Variable"), this);
    connect(add, &QPushButton::clicked, this, &TStudyDialog::AddVariableClick);
    connect(remove, &QPushButton::clicked, this, &TStudyDialog::RemoveVariableClick);
    rows->addWidget(add);
    rows->addWidget(remove);
    rows->addStretch(1);
    layout->addLayout(rows);
    auto* form = new QFormLayout;
    m_samples = new QSpinBox(this);
    m_samples->setRange(10, 1000000);
    m_samples->setValue(1000);
    m_seed = new QSpinBox(this);
    m_seed->setRange(1, 1000000000);
    m_seed->setValue(1);
    m_sampling = new QComboBox(this);
    m_sampling->addItems({QStringLiteral("Latin hypercube"), QStringLiteral("Monte Carlo")});
    m_mode = new QComboBox(this);
    m_mode->addItems(
        {QStringLiteral("Full search for every sample"), QStringLiteral("Critical surface at the means")});
    form->addRow(QStringLiteral("&Samples:"), m_samples);
    form->addRow(QStringLiteral("S&eed:"), m_seed);
    form->addRow(QStringLiteral("Sa&mpling:"), m_sampling);
    form->addRow(QStringLiteral("M&ode:"), m_mode);
    layout->addLayout(form);
    auto* run = new QPushButton(QStringLiteral("R&un"), this);
    connect(run, &QPushButton::clicked, this, [this] { RunClick(); });
    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    bar->addWidget(run);
    layout->addLayout(bar);
    if (!m_candidates.empty()) {
        addRow(0);                              // the first soil's cohesion
        if (m_candidates.size() > 1) addRow(1); // and its friction angle
    }
    resize(720, 420);
}

void TStudyDialog::addRow(int candidate) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto* variable = new QComboBox(m_table);
    for (const StudyCandidate& c : m_candidates) variable->addItem(c.name);
    variable->setCurrentIndex(candidate);
    auto* distribution = new QComboBox(m_table);
    for (const char* d : kDistributions) distribution->addItem(QLatin1String(d));
    m_table->setCellWidget(row, 0, variable);
    m_table->setCellWidget(row, 1, distribution);
    // A first guess the engineer edits: the value in the document, a tenth of it as the spread.
    const double v = m_candidates[static_cast<size_t>(candidate)].value;
    m_table->setItem(row, 2, new QTableWidgetItem(number(v)));
    m_table->setItem(row, 3, new QTableWidgetItem(number(v != 0 ? std::fabs(v) / 10 : 0.1)));
    m_table->setItem(row, 4, new QTableWidgetItem(QString()));
}

void TStudyDialog::AddVariableClick() {
    if (m_candidates.empty()) return;
    addRow(std::min(m_table->rowCount(), static_cast<int>(m_candidates.size()) - 1));
}

void TStudyDialog::RemoveVariableClick() {
    const int row = m_table->currentRow() >= 0 ? m_table->currentRow() : m_table->rowCount() - 1;
    if (row >= 0) m_table->removeRow(row);
}

QString TStudyDialog::studyPath() const {
    return filenames::changeExtension(m_session.document().FileName, QStringLiteral(".study.json"));
}

std::optional<QJsonObject> TStudyDialog::studyJson(QString& why) const {
    QJsonArray variables;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const auto* variable = qobject_cast<QComboBox*>(m_table->cellWidget(r, 0));
        const auto* distribution = qobject_cast<QComboBox*>(m_table->cellWidget(r, 1));
        if (!variable || !distribution || variable->currentIndex() < 0) continue;
        QJsonObject v = m_candidates[static_cast<size_t>(variable->currentIndex())].target;
        const QString kind = distribution->currentText();
        v.insert("distribution", kind);
        auto value = [&](int column, const char* key) {
            bool ok = false;
            const QString text =
                m_table->item(r, column) ? m_table->item(r, column)->text().trimmed() : QString();
            const double x = QLocale::c().toDouble(text, &ok);
            if (!ok || !std::isfinite(x)) {
                why = QStringLiteral("Row %1: \"%2\" is no number for %3.")
                          .arg(r + 1)
                          .arg(text, QLatin1String(key));
                return false;
            }
            v.insert(QLatin1String(key), x);
            return true;
        };
        const bool spread = kind == QLatin1String("normal") || kind == QLatin1String("lognormal");
        const bool ok = spread ? value(2, "mean") && value(3, "sd")
                               : value(2, "min") && value(4, "max") &&
                                     (kind != QLatin1String("triangular") || value(3, "mode"));
        if (!ok) return std::nullopt;
        variables.append(v);
    }
    if (variables.isEmpty()) {
        why = QStringLiteral("The study has no variable.");
        return std::nullopt;
    }
    return QJsonObject{
        {"problem", QFileInfo(m_session.document().FileName).fileName()},
        {"analysis", "probabilistic"},
        {"variables", variables},
        {"sampling", QLatin1String(m_sampling->currentIndex() == 0 ? "latin-hypercube" : "monte-carlo")},
        {"samples", m_samples->value()},
        {"seed", m_seed->value()},
        {"mode", QLatin1String(m_mode->currentIndex() == 0 ? "search" : "surface")}};
}

bool TStudyDialog::RunClick() {
    if (m_runner.isEmpty()) {
        m_messages.warning(studymsg::kNoRunner);
        return false;
    }
    QString why;
    const auto json = studyJson(why);
    if (!json) {
        m_messages.warning(why);
        return false;
    }
    // The study reads the problem file: what the window shows is saved first.
    if (!m_save()) return false;
    const QString path = studyPath();
    if (!fileaccess::writeWhole(path, QJsonDocument(*json).toJson(), why)) {
        m_messages.error(QStringLiteral("The study could not be written to %1.\r\r%2").arg(path, why));
        return false;
    }
    QProcess child;
    child.start(m_runner, {QStringLiteral("study"), path});
    QProgressDialog progress(QStringLiteral("Running %1 samples...").arg(m_samples->value()),
                             QStringLiteral("&Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    QEventLoop loop;
    QTimer poll;
    connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (progress.wasCanceled()) child.terminate(); // the study stops and writes nothing
    });
    poll.start(50);
    if (child.state() != QProcess::NotRunning) loop.exec();
    child.waitForFinished(5000);
    progress.close();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        if (!progress.wasCanceled())
            m_messages.warning(QStringLiteral("The study did not run.\r\r%1")
                                   .arg(QString::fromLocal8Bit(child.readAllStandardError()).trimmed()));
        return false;
    }
    const auto results = readStudyResults(path, why);
    if (!results) {
        m_messages.error(why);
        return false;
    }
    if (m_show) m_show(*results);
    return true;
}
