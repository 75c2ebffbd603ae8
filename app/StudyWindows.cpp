#include "StudyWindows.h"

#include "base/FileAccess.h"
#include "base/FileNames.h"
#include "base/UserInteraction.h"
#include "graph/ModelScene.h"
#include "graph/PlotModel.h"
#include "model/ProgramData.h"
#include "model/TableSet.h"
#include "tables/ColumnTypes.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

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

// The value axis spans every point of the series, with a margin; from `floor` when one is given.
void fitValues(QValueAxis* axis, const QList<QAbstractSeries*>& series,
               std::optional<double> floor = std::nullopt, std::optional<double> ceiling = std::nullopt) {
    double lo = 1e300, hi = -1e300;
    for (QAbstractSeries* s : series)
        if (auto* xy = qobject_cast<QXYSeries*>(s))
            for (const QPointF& p : xy->points()) {
                lo = std::min(lo, p.y());
                hi = std::max(hi, p.y());
            }
    if (lo > hi) return;
    const double margin = 0.05 * (hi - lo) + 1e-3;
    axis->setRange(floor ? *floor : lo - margin, hi + margin);
    axis->applyNiceNumbers();
    if (floor && axis->min() < *floor) axis->setMin(*floor);
    if (ceiling && axis->max() > *ceiling) axis->setMax(*ceiling);
}

// A chart exported is laid out at this size whatever the window's (which may be small or hidden), and
// drawn as vectors scaled to the target.
const QSizeF kExportSize(1000, 625);

void renderChart(QChart& chart, QPainter& p, const QRectF& target) {
    const QSizeF shown = chart.size();
    chart.resize(kExportSize);
    p.setRenderHint(QPainter::Antialiasing);
    chart.scene()->render(&p, target, QRectF(chart.pos(), kExportSize));
    chart.resize(shown);
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
    if (!results.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The study's results could not be read beside %1.").arg(studyPath);
        return std::nullopt;
    }
    r.results = QJsonDocument::fromJson(results.readAll()).object();
    if (r.results.isEmpty()) {
        error = QStringLiteral("The study's results beside %1 are damaged.").arg(studyPath);
        return std::nullopt;
    }
    if (r.analysis() != QLatin1String("probabilistic")) return r;
    QFile samples(output(studyPath, QStringLiteral(".samples.csv")));
    if (!samples.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The study's samples could not be read beside %1.").arg(studyPath);
        return std::nullopt;
    }
    samples.readLine(); // the heading
    while (!samples.atEnd()) {
        const QByteArray line = samples.readLine().trimmed();
        bool ok = false;
        const double fs = line.mid(line.lastIndexOf(',') + 1).toDouble(&ok);
        if (ok) r.factors.push_back(fs);
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

std::vector<TornadoRow> tornadoRows(const QJsonObject& sensitivity) {
    std::vector<TornadoRow> rows;
    const QJsonValue base = sensitivity.value(QLatin1String("atMeans"));
    if (!base.isDouble()) return rows;
    for (const QJsonValue& v : sensitivity.value(QLatin1String("sweeps")).toArray()) {
        const QJsonObject sweep = v.toObject();
        const QJsonArray fs = sweep.value(QLatin1String("fs")).toArray();
        if (fs.isEmpty() || !fs.first().isDouble() || !fs.last().isDouble()) continue;
        rows.push_back({sweep.value(QLatin1String("variable")).toString(),
                        fs.first().toDouble() - base.toDouble(), fs.last().toDouble() - base.toDouble(),
                        sweep.value(QLatin1String("swing")).toDouble()});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TornadoRow& a, const TornadoRow& b) { return a.swing < b.swing; });
    return rows;
}

TStudyResults::TStudyResults(const StudyResults& r, MessageSink& messages, FileChooser& files,
                             QWidget* parent)
    : QWidget(parent), m_messages(messages), m_files(files) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);
    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs, 1);
    if (r.analysis() == QLatin1String("sensitivity")) {
        setWindowTitle(studymsg::kSensitivityCaption + studymsg::kResultsSuffix);
        addSensitivity(r.results);
    } else if (r.analysis() == QLatin1String("back")) {
        setWindowTitle(studymsg::kBackCaption + studymsg::kResultsSuffix);
        addBack(r.results);
    } else {
        setWindowTitle(studymsg::kCaption + studymsg::kResultsSuffix);
        addProbabilistic(r);
    }
    auto* exportButton = new QPushButton(QStringLiteral("&Export Chart..."), this);
    connect(exportButton, &QPushButton::clicked, this, &TStudyResults::ExportClick);
    connect(m_tabs, &QTabWidget::currentChanged, exportButton, [this, exportButton] {
        const QWidget* shown = m_tabs->currentWidget();
        exportButton->setEnabled(qobject_cast<const QChartView*>(shown) ||
                                 (shown && shown->objectName() == QLatin1String("LowestSample")));
    });
    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    resize(760, 560);
}

void TStudyResults::addProbabilistic(const StudyResults& r) {
    const QJsonObject s = r.results.value("summary").toObject();
    const QJsonArray interval = s.value("pf95").toArray();
    m_summary->setText(
        QStringLiteral(
            "%1 samples, %2. Mean factor of safety %3, standard deviation %4. Probability of failure %5 "
            "(95 %: %6 to %7); reliability index %8 (normal), %9 (lognormal).")
            .arg(s.value("samples").toInt())
            .arg(r.results.value("method").toString())
            .arg(number(s.value("mean").toDouble()), number(s.value("sd").toDouble()),
                 number(s.value("pf").toDouble()), number(interval.at(0).toDouble()),
                 number(interval.at(1).toDouble()), number(s.value("betaNormal").toDouble()),
                 number(s.value("betaLognormal").toDouble())));

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
    // The axes hold every point (the first few samples stray far); a probability starts at 0.
    fitValues(axis(chart, QStringLiteral("Mean factor of safety"), Qt::AlignLeft, mean), {mean});
    fitValues(axis(chart, QStringLiteral("Probability of failure"), Qt::AlignRight, pf), {pf}, 0.0, 1.0);
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Convergence"));
}

void TStudyResults::addSensitivity(const QJsonObject& r) {
    const QJsonValue base = r.value(QLatin1String("atMeans"));
    const std::vector<TornadoRow> rows = tornadoRows(r);
    QString text = base.isDouble()
                       ? QStringLiteral("Factor of safety with every variable at its mean: %1 (%2).")
                             .arg(number(base.toDouble()), r.value("method").toString())
                       : QStringLiteral("No factor of safety with every variable at its mean (%1).")
                             .arg(r.value("method").toString());
    if (!rows.empty())
        text += QStringLiteral(" The factor swings most with %1: by %2.")
                    .arg(rows.back().variable, number(rows.back().swing));
    m_summary->setText(text);

    // The spider plot: the factor against each variable's place in its sweep, so variables of any unit
    // share one axis.
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Factor of safety over each variable's range"));
    QValueAxis* x = nullptr;
    QValueAxis* y = nullptr;
    for (const QJsonValue& v : r.value(QLatin1String("sweeps")).toArray()) {
        const QJsonObject sweep = v.toObject();
        const QJsonArray values = sweep.value(QLatin1String("values")).toArray();
        const QJsonArray fs = sweep.value(QLatin1String("fs")).toArray();
        auto* line = new QLineSeries;
        line->setName(QStringLiteral("%1 (%2 to %3)")
                          .arg(sweep.value(QLatin1String("variable")).toString(),
                               number(values.first().toDouble()), number(values.last().toDouble())));
        line->setPointsVisible(true);
        const qsizetype n = std::min(values.size(), fs.size());
        for (qsizetype i = 0; i < n; ++i)
            if (fs.at(i).isDouble()) line->append(n > 1 ? 100.0 * i / (n - 1) : 50, fs.at(i).toDouble());
        chart->addSeries(line);
        if (!x) {
            x = axis(chart, QStringLiteral("Place in the variable's range (%)"), Qt::AlignBottom, line);
            x->setRange(0, 100);
            y = axis(chart, QStringLiteral("Factor of safety"), Qt::AlignLeft, line);
        } else {
            line->attachAxis(x);
            line->attachAxis(y);
        }
    }
    if (y) fitValues(y, chart->series());
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Spider"));

    // The tornado chart: each variable's change of the factor at both ends of its range.
    auto* lowEnd = new QBarSet(QStringLiteral("at the low end"));
    auto* highEnd = new QBarSet(QStringLiteral("at the high end"));
    QStringList names;
    double reach = 0;
    for (const TornadoRow& row : rows) {
        *lowEnd << row.low;
        *highEnd << row.high;
        names << row.variable;
        reach = std::max({reach, std::fabs(row.low), std::fabs(row.high)});
    }
    auto* bars = new QHorizontalBarSeries;
    bars->append(lowEnd);
    bars->append(highEnd);
    chart = new QChart;
    chart->setTitle(QStringLiteral("Swing of the factor of safety"));
    chart->addSeries(bars);
    auto* categories = new QBarCategoryAxis;
    categories->append(names);
    chart->addAxis(categories, Qt::AlignLeft);
    bars->attachAxis(categories);
    QValueAxis* change =
        axis(chart,
             base.isDouble() ? QStringLiteral("Change from %1 at the means").arg(number(base.toDouble()))
                             : QStringLiteral("Change of the factor of safety"),
             Qt::AlignBottom, bars);
    change->setRange(-std::max(reach, 1e-3) * 1.1, std::max(reach, 1e-3) * 1.1);
    change->applyNiceNumbers();
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Tornado"));
}

void TStudyResults::addBack(const QJsonObject& r) {
    const QString variable = r.value(QLatin1String("variable")).toString();
    const double target = r.value(QLatin1String("target")).toDouble();
    if (r.value(QLatin1String("bracketed")).toBool())
        m_summary->setText(
            QStringLiteral("%1 = %2 gives a factor of safety of %3 (%4; target %5), found in %6 "
                           "iterations.")
                .arg(variable, number(r.value("value").toDouble()), number(r.value("fs").toDouble()),
                     r.value("method").toString(), number(target))
                .arg(r.value("iterations").toInt()));
    else
        m_summary->setText(r.value(QLatin1String("message")).toString());

    // The values the root finder tried, in order, and the target line.
    const QJsonArray steps = r.value(QLatin1String("steps")).toArray();
    auto* tried = new QScatterSeries;
    tried->setName(QStringLiteral("values tried"));
    tried->setMarkerSize(9);
    auto* path = new QLineSeries;
    path->setName(QStringLiteral("in the order tried"));
    double lo = 1e300, hi = -1e300;
    auto* table = new QTableWidget(static_cast<int>(steps.size()), 3, m_tabs);
    table->setHorizontalHeaderLabels({QStringLiteral("Step"), variable, QStringLiteral("Factor of safety")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QJsonArray step = steps.at(i).toArray();
        const double x = step.at(0).toDouble(), fs = step.at(1).toDouble();
        tried->append(x, fs);
        path->append(x, fs);
        lo = std::min(lo, x);
        hi = std::max(hi, x);
        const int row = static_cast<int>(i);
        table->setItem(row, 0, new QTableWidgetItem(QString::number(i + 1)));
        table->setItem(row, 1, new QTableWidgetItem(number(x)));
        table->setItem(row, 2, new QTableWidgetItem(number(fs)));
    }
    auto* goal = new QLineSeries;
    goal->setName(QStringLiteral("target %1").arg(number(target)));
    goal->setColor(Qt::red);
    if (lo <= hi) {
        goal->append(lo, target);
        goal->append(hi, target);
    }
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Factor of safety against %1").arg(variable));
    chart->addSeries(path);
    chart->addSeries(tried);
    chart->addSeries(goal);
    QValueAxis* x = axis(chart, variable, Qt::AlignBottom, path);
    QValueAxis* y = axis(chart, QStringLiteral("Factor of safety"), Qt::AlignLeft, path);
    for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(tried), static_cast<QAbstractSeries*>(goal)}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // Room around the ends of the range and the factors, so no marker sits on a frame.
    if (lo < hi) x->setRange(lo - 0.03 * (hi - lo), hi + 0.03 * (hi - lo));
    fitValues(y, chart->series());
    m_tabs->addTab(chartView(chart, m_tabs), QStringLiteral("Root Finder"));
    m_tabs->addTab(table, QStringLiteral("Iterations"));
}

void TStudyResults::addLowestSample(const QImage& drawing, const QString& caption) {
    m_lowest = drawing;
    auto* page = new QWidget(m_tabs);
    auto* layout = new QVBoxLayout(page);
    auto* text = new QLabel(caption, page);
    text->setWordWrap(true);
    auto* picture = new QLabel(page);
    picture->setPixmap(QPixmap::fromImage(drawing.scaledToWidth(700, Qt::SmoothTransformation)));
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    layout->addWidget(picture, 1);
    page->setObjectName(QStringLiteral("LowestSample"));
    m_tabs->addTab(page, QStringLiteral("Lowest Sample"));
}

std::optional<std::pair<QImage, QString>> lowestSampleDrawing(const ProblemSession& session,
                                                              const QJsonObject& results) {
    const QJsonObject lowest = results.value(QLatin1String("lowest")).toObject();
    const QJsonArray surface = lowest.value(QLatin1String("surface")).toArray();
    if (surface.size() < 2) return std::nullopt;
    PlotModel plot;
    PolyLine& line = plot.CriticalSurfaces[0];
    line.count = static_cast<int32_t>(std::min<qsizetype>(surface.size(), plotformat::kSurfacePoints));
    for (int i = 0; i < line.count; ++i)
        line.points[static_cast<size_t>(i)] = {surface.at(i).toArray().at(0).toDouble(),
                                               surface.at(i).toArray().at(1).toDouble()};
    plot.FactorOfSafety = lowest.value(QLatin1String("fs")).toDouble();
    const QJsonArray centre = lowest.value(QLatin1String("centre")).toArray();
    if (centre.size() == 2) {
        plot.CentreX = centre.at(0).toDouble();
        plot.CentreY = centre.at(1).toDouble();
        plot.Radius = lowest.value(QLatin1String("radius")).toDouble();
    }
    plot.Loaded = true;
    const ModelScene scene = BuildModelScene(session.document(), session.tables(), &plot);
    QStringList inputs;
    const QJsonArray names = results.value(QLatin1String("variables")).toArray();
    const QJsonArray values = lowest.value(QLatin1String("inputs")).toArray();
    for (qsizetype i = 0; i < std::min(names.size(), values.size()); ++i)
        inputs << QStringLiteral("%1 %2").arg(names.at(i).toString(), number(values.at(i).toDouble()));
    return std::pair{
        ModelPicture::Render(scene, 1.0, 900, 500, 2),
        QStringLiteral("Sample %1 (%2) has the lowest factor of safety, %3; its critical surface:")
            .arg(lowest.value(QLatin1String("sample")).toInt())
            .arg(inputs.join(QStringLiteral(", ")), number(plot.FactorOfSafety))};
}

void TStudyResults::ExportClick() {
    auto* view = qobject_cast<QChartView*>(m_tabs->currentWidget());
    const bool drawing = !view && m_tabs->currentWidget() &&
                         m_tabs->currentWidget()->objectName() == QLatin1String("LowestSample");
    if (!view && !drawing) return;
    const QString proposed = filenames::changeExtension(
        problemFile,
        QStringLiteral("-%1.png").arg(m_tabs->tabText(m_tabs->currentIndex()).toLower().replace(' ', '-')));
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
        const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));
        // The chart keeps the export's proportions within the page.
        if (drawing) {
            const QSizeF size = QSizeF(m_lowest.size()).scaled(page.size(), Qt::KeepAspectRatio);
            p.drawImage(QRectF(QPointF(0, 0), size), m_lowest);
        } else {
            const double fit =
                std::min(page.width() / kExportSize.width(), page.height() / kExportSize.height());
            renderChart(*view->chart(), p, QRectF(QPointF(0, 0), kExportSize * fit));
        }
    } else if (drawing) {
        m_lowest.save(&bytes, "PNG");
    } else {
        QImage image((kExportSize * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        renderChart(*view->chart(), p, QRectF(QPointF(0, 0), QSizeF(image.size())));
        p.end();
        image.save(&bytes, "PNG");
    }
    if (bytes.data().isEmpty() || !fileaccess::writeWhole(*chosen, bytes.data(), why))
        m_messages.error(QStringLiteral("The chart could not be written to %1.\r\r%2").arg(*chosen, why));
}

// ---- the dialog ----

namespace {

QString caption(StudyKind kind) {
    switch (kind) {
    case StudyKind::Sensitivity: return studymsg::kSensitivityCaption;
    case StudyKind::Back: return studymsg::kBackCaption;
    case StudyKind::Probabilistic: break;
    }
    return studymsg::kCaption;
}

QLineEdit* numberField(const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setMaximumWidth(160);
    return field;
}

// A number typed in a field, or nothing (and why, naming the field).
std::optional<double> fieldNumber(const QLineEdit* field, const QString& name, QString& why) {
    bool ok = false;
    const double x = QLocale::c().toDouble(field->text().trimmed(), &ok);
    if (ok && std::isfinite(x)) return x;
    why = QStringLiteral("\"%1\" is no number for %2.").arg(field->text().trimmed(), name);
    return std::nullopt;
}

} // namespace

TStudyDialog::TStudyDialog(StudyKind kind, ProblemSession& session, MessageSink& messages, QString runner,
                           std::function<bool()> save, std::function<void(const StudyResults&)> show,
                           QWidget* parent)
    : QWidget(parent), m_kind(kind), m_session(session), m_messages(messages), m_runner(std::move(runner)),
      m_save(std::move(save)), m_show(std::move(show)), m_candidates(studyCandidates(session)) {
    setWindowTitle(caption(kind));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    if (kind != StudyKind::Back) buildVariables(layout);
    auto* form = new QFormLayout;
    switch (kind) {
    case StudyKind::Probabilistic:
        m_samples = new QSpinBox(this);
        m_samples->setRange(10, 1000000);
        m_samples->setValue(1000);
        m_seed = new QSpinBox(this);
        m_seed->setRange(1, 1000000000);
        m_seed->setValue(1);
        m_sampling = new QComboBox(this);
        m_sampling->addItems({QStringLiteral("Latin hypercube"), QStringLiteral("Monte Carlo")});
        form->addRow(QStringLiteral("&Samples:"), m_samples);
        form->addRow(QStringLiteral("S&eed:"), m_seed);
        form->addRow(QStringLiteral("Sa&mpling:"), m_sampling);
        break;
    case StudyKind::Sensitivity:
        m_points = new QSpinBox(this);
        m_points->setRange(2, 101);
        m_points->setValue(7);
        m_k = new QDoubleSpinBox(this);
        m_k->setRange(0.1, 6);
        m_k->setSingleStep(0.5);
        m_k->setValue(2);
        form->addRow(QStringLiteral("&Points per variable:"), m_points);
        form->addRow(QStringLiteral("Normal and lognormal: mean +- &k standard deviations, k:"), m_k);
        break;
    case StudyKind::Back:
        m_solveFor = new QComboBox(this);
        for (const StudyCandidate& c : m_candidates) m_solveFor->addItem(c.name);
        m_low = numberField(QString(), this);
        m_high = numberField(QString(), this);
        m_target = numberField(QStringLiteral("1"), this);
        form->addRow(QStringLiteral("Solve &for:"), m_solveFor);
        form->addRow(QStringLiteral("Between (&low):"), m_low);
        form->addRow(QStringLiteral("and (&high):"), m_high);
        form->addRow(QStringLiteral("&Target factor of safety:"), m_target);
        connect(m_solveFor, &QComboBox::currentIndexChanged, this, &TStudyDialog::solveForChanged);
        solveForChanged();
        break;
    }
    m_mode = new QComboBox(this);
    m_mode->addItems(
        {QStringLiteral("Full search for every analysis"), QStringLiteral("Critical surface at the means")});
    form->addRow(QStringLiteral("M&ode:"), m_mode);
    layout->addLayout(form);
    auto* run = new QPushButton(QStringLiteral("R&un"), this);
    connect(run, &QPushButton::clicked, this, [this] { RunClick(); });
    auto* bar = new QHBoxLayout;
    bar->addStretch(1);
    bar->addWidget(run);
    layout->addLayout(bar);

    // The study kept beside the problem fills the dialog. A first sensitivity study takes the variables
    // of the probabilistic one; any other new one starts from the first soil.
    auto readObject = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                              : QJsonObject();
    };
    if (const QJsonObject own = readObject(studyPath()); !own.isEmpty()) {
        load(own);
    } else if (m_kind == StudyKind::Sensitivity) {
        const QJsonObject probabilistic = readObject(
            filenames::changeExtension(m_session.document().FileName, QStringLiteral(".study.json")));
        for (const QJsonValue& v : probabilistic.value(QLatin1String("variables")).toArray())
            if (const int c = candidateFor(v.toObject()); c >= 0) addRow(c, v.toObject());
    }
    if (m_table && m_table->rowCount() == 0 && !m_candidates.empty()) {
        addRow(0);                              // the first soil's cohesion
        if (m_candidates.size() > 1) addRow(1); // and its friction angle
    }
    resize(880, 420);
}

void TStudyDialog::buildVariables(QLayout* layout) {
    auto* intro =
        new QLabel(QStringLiteral("Uncertain inputs (normal and lognormal: mean and standard deviation; "
                                  "uniform: minimum and maximum; triangular: minimum, mode, maximum; any of "
                                  "them cut off below Lower and above Upper when given):"),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_table = new QTableWidget(0, 7, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Distribution"),
                                        QStringLiteral("Mean / Min"), QStringLiteral("SD / Mode"),
                                        QStringLiteral("Max"), QStringLiteral("Lower"),
                                        QStringLiteral("Upper")});
    // The numbers take little room; the variable's name (up to "soil 12 saturated-weight") the rest.
    m_table->horizontalHeader()->setDefaultSectionSize(76);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(m_table);
    auto* rows = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("&Add Variable"), this);
    auto* remove = new QPushButton(QStringLiteral("&Remove Variable"), this);
    connect(add, &QPushButton::clicked, this, &TStudyDialog::AddVariableClick);
    connect(remove, &QPushButton::clicked, this, &TStudyDialog::RemoveVariableClick);
    rows->addWidget(add);
    rows->addWidget(remove);
    rows->addStretch(1);
    static_cast<QBoxLayout*>(layout)->addLayout(rows);
}

int TStudyDialog::candidateFor(const QJsonObject& variable) const {
    for (size_t c = 0; c < m_candidates.size(); ++c) {
        const QJsonObject& t = m_candidates[c].target;
        bool same = true;
        for (auto k = t.begin(); k != t.end(); ++k) same = same && variable.value(k.key()) == k.value();
        if (same) return static_cast<int>(c);
    }
    return -1;
}

void TStudyDialog::addRow(int candidate, const QJsonObject& entered) {
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto* variable = new QComboBox(m_table);
    for (const StudyCandidate& c : m_candidates) variable->addItem(c.name);
    variable->setCurrentIndex(candidate);
    auto* distribution = new QComboBox(m_table);
    for (const char* d : kDistributions) distribution->addItem(QLatin1String(d));
    m_table->setCellWidget(row, 0, variable);
    m_table->setCellWidget(row, 1, distribution);
    if (entered.isEmpty()) {
        // A first guess the engineer edits: the value in the document, a tenth of it as the spread.
        const double v = m_candidates[static_cast<size_t>(candidate)].value;
        m_table->setItem(row, 2, new QTableWidgetItem(number(v)));
        m_table->setItem(row, 3, new QTableWidgetItem(number(v != 0 ? std::fabs(v) / 10 : 0.1)));
        for (const int column : {4, 5, 6}) m_table->setItem(row, column, new QTableWidgetItem(QString()));
        return;
    }
    const QString kind = entered.value(QLatin1String("distribution")).toString();
    distribution->setCurrentText(kind);
    const bool spread = kind == QLatin1String("normal") || kind == QLatin1String("lognormal");
    auto text = [&](const char* key) {
        const QJsonValue v = entered.value(QLatin1String(key));
        return v.isDouble() ? number(v.toDouble()) : QString();
    };
    m_table->setItem(row, 2, new QTableWidgetItem(text(spread ? "mean" : "min")));
    m_table->setItem(row, 3, new QTableWidgetItem(text(spread ? "sd" : "mode")));
    m_table->setItem(row, 4, new QTableWidgetItem(spread ? QString() : text("max")));
    m_table->setItem(row, 5, new QTableWidgetItem(text("lower")));
    m_table->setItem(row, 6, new QTableWidgetItem(text("upper")));
}

void TStudyDialog::load(const QJsonObject& study) {
    m_loaded = study;
    const QJsonArray variables = study.value(QLatin1String("variables")).toArray();
    if (m_table)
        for (const QJsonValue& v : variables) {
            const int c = candidateFor(v.toObject());
            if (c >= 0) addRow(c, v.toObject());
        }
    if (m_samples) m_samples->setValue(study.value(QLatin1String("samples")).toInt(m_samples->value()));
    if (m_seed) m_seed->setValue(study.value(QLatin1String("seed")).toInt(m_seed->value()));
    if (m_sampling && study.value(QLatin1String("sampling")).toString() == QLatin1String("monte-carlo"))
        m_sampling->setCurrentIndex(1);
    if (study.value(QLatin1String("mode")).toString() == QLatin1String("surface")) m_mode->setCurrentIndex(1);
    const QJsonObject sweep = study.value(QLatin1String("sensitivity")).toObject();
    if (m_points) m_points->setValue(sweep.value(QLatin1String("points")).toInt(m_points->value()));
    if (m_k) m_k->setValue(sweep.value(QLatin1String("k")).toDouble(m_k->value()));
    const QJsonObject back = study.value(QLatin1String("back")).toObject();
    if (m_solveFor) {
        const int which = back.value(QLatin1String("variable")).toInt(-1);
        const int c =
            which >= 0 && which < variables.size() ? candidateFor(variables.at(which).toObject()) : -1;
        if (c >= 0) m_solveFor->setCurrentIndex(c);
        for (auto [field, key] : {std::pair{m_low, "low"}, {m_high, "high"}, {m_target, "target"}})
            if (back.value(QLatin1String(key)).isDouble())
                field->setText(number(back.value(QLatin1String(key)).toDouble()));
    }
}

void TStudyDialog::solveForChanged() {
    const int c = m_solveFor->currentIndex();
    if (c < 0) return;
    // A range to start from: a friction angle over what soils have, any other value from a tenth to three
    // times what the document holds (an offset of a water surface by 5 length units either way).
    const StudyCandidate& v = m_candidates[static_cast<size_t>(c)];
    const QString property = v.target.value(QLatin1String("property")).toString();
    double low = v.value / 10, high = v.value * 3;
    if (property == QLatin1String("phi")) {
        low = 1;
        high = 50;
    } else if (property == QLatin1String("offset")) {
        low = -5;
        high = 5;
    } else if (v.value <= 0) {
        low = 0;
        high = 1;
    }
    m_low->setText(number(low));
    m_high->setText(number(high));
}

void TStudyDialog::AddVariableClick() {
    if (m_candidates.empty() || !m_table) return;
    addRow(std::min(m_table->rowCount(), static_cast<int>(m_candidates.size()) - 1));
}

void TStudyDialog::RemoveVariableClick() {
    if (!m_table) return;
    const int row = m_table->currentRow() >= 0 ? m_table->currentRow() : m_table->rowCount() - 1;
    if (row >= 0) m_table->removeRow(row);
}

QString TStudyDialog::studyPath() const {
    const char* suffix = m_kind == StudyKind::Sensitivity ? ".sensitivity.json"
                         : m_kind == StudyKind::Back      ? ".back.json"
                                                          : ".study.json";
    return filenames::changeExtension(m_session.document().FileName, QLatin1String(suffix));
}

std::optional<QJsonArray> TStudyDialog::variablesJson(QString& why) const {
    QJsonArray variables;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const auto* variable = qobject_cast<QComboBox*>(m_table->cellWidget(r, 0));
        const auto* distribution = qobject_cast<QComboBox*>(m_table->cellWidget(r, 1));
        if (!variable || !distribution || variable->currentIndex() < 0) continue;
        QJsonObject v = m_candidates[static_cast<size_t>(variable->currentIndex())].target;
        const QString kind = distribution->currentText();
        v.insert("distribution", kind);
        // A number in a column; an empty cell where the entry is optional (the bounds) gives none.
        auto value = [&](int column, const char* key, bool optional = false) {
            bool ok = false;
            const QString text =
                m_table->item(r, column) ? m_table->item(r, column)->text().trimmed() : QString();
            if (optional && text.isEmpty()) return true;
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
        if (!ok || !value(5, "lower", true) || !value(6, "upper", true)) return std::nullopt;
        variables.append(v);
    }
    if (variables.isEmpty()) {
        why = QStringLiteral("The study has no variable.");
        return std::nullopt;
    }
    return variables;
}

std::optional<QJsonObject> TStudyDialog::studyJson(QString& why) const {
    // What the dialog does not edit (a method, correlations) is kept from the study file it read.
    QJsonObject study = m_loaded;
    study.insert("problem", QFileInfo(m_session.document().FileName).fileName());
    study.insert("mode", QLatin1String(m_mode->currentIndex() == 0 ? "search" : "surface"));
    switch (m_kind) {
    case StudyKind::Probabilistic:
    case StudyKind::Sensitivity: {
        const auto variables = variablesJson(why);
        if (!variables) return std::nullopt;
        // Correlations name variables by their place: they hold only while the variables are the ones read.
        if (study.value(QLatin1String("variables")) != *variables)
            study.remove(QLatin1String("correlations"));
        study.insert("variables", *variables);
        if (m_kind == StudyKind::Probabilistic) {
            study.insert("analysis", "probabilistic");
            study.insert("sampling",
                         QLatin1String(m_sampling->currentIndex() == 0 ? "latin-hypercube" : "monte-carlo"));
            study.insert("samples", m_samples->value());
            study.insert("seed", m_seed->value());
        } else {
            study.insert("analysis", "sensitivity");
            study.insert("sensitivity", QJsonObject{{"points", m_points->value()}, {"k", m_k->value()}});
        }
        break;
    }
    case StudyKind::Back: {
        if (m_solveFor->currentIndex() < 0) {
            why = QStringLiteral("The problem has nothing to solve for.");
            return std::nullopt;
        }
        const auto low = fieldNumber(m_low, QStringLiteral("the low end"), why);
        const auto high = low ? fieldNumber(m_high, QStringLiteral("the high end"), why) : std::nullopt;
        const auto target = high ? fieldNumber(m_target, QStringLiteral("the target"), why) : std::nullopt;
        if (!target) return std::nullopt;
        // The one variable, at the document's value (the root finder sets it); every other input as
        // the document holds it.
        const StudyCandidate& c = m_candidates[static_cast<size_t>(m_solveFor->currentIndex())];
        QJsonObject v = c.target;
        v.insert("distribution", "normal");
        v.insert("mean", c.value);
        v.insert("sd", 0);
        study.remove(QLatin1String("correlations"));
        study.insert("analysis", "back");
        study.insert("variables", QJsonArray{v});
        study.insert("back",
                     QJsonObject{{"variable", 0}, {"low", *low}, {"high", *high}, {"target", *target}});
        break;
    }
    }
    return study;
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
    const QString path = studyPath();
    if (m_loaded.isEmpty() && QFileInfo::exists(path) &&
        m_messages.question(
            QStringLiteral("%1 is not a study this dialog can read. Replace it?").arg(path)) !=
            MessageSink::Answer::Yes)
        return false;
    // The study reads the problem file: what the window shows is saved first.
    if (!m_save()) return false;
    if (!fileaccess::writeWhole(path, QJsonDocument(*json).toJson(), why)) {
        m_messages.error(QStringLiteral("The study could not be written to %1.\r\r%2").arg(path, why));
        return false;
    }
    m_loaded = *json;
    // A refused study writes no results: what lies there then is an earlier run's.
    const QString resultsFile = output(path, QStringLiteral(".results.json"));
    const QDateTime before = QFileInfo(resultsFile).lastModified();
    QProcess child;
    child.start(m_runner, {QStringLiteral("study"), path, QStringLiteral("--progress-lines")});
    QProgressDialog progress(QStringLiteral("Running the %1...").arg(caption(m_kind).toLower()),
                             QStringLiteral("&Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer cancelled;
    connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    // The samples done, as the tool reports them ("progress DONE TOTAL 0"); sweeps and root finding
    // report none and show a busy bar.
    connect(&child, &QProcess::readyReadStandardOutput, &progress, [&] {
        while (child.canReadLine()) {
            const QList<QByteArray> words = child.readLine().trimmed().split(' ');
            if (words.size() < 3 || words[0] != "progress") continue;
            const qint64 done = words[1].toLongLong(), total = words[2].toLongLong();
            if (total <= 0 || total > std::numeric_limits<int>::max()) continue;
            progress.setMaximum(static_cast<int>(total));
            progress.setValue(static_cast<int>(std::min(done, total)));
            progress.setLabelText(QStringLiteral("Running the %1: %2 of %3 samples...")
                                      .arg(caption(m_kind).toLower())
                                      .arg(done)
                                      .arg(total));
        }
    });
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!progress.wasCanceled()) return;
        // The study stops at its next sample and writes nothing; one that does not stop within a
        // second (a sweep in the middle of a search) is ended.
        if (!cancelled.isValid()) {
            cancelled.start();
            child.terminate();
        } else if (cancelled.elapsed() > 1000) {
            child.kill();
        }
    });
    poll.start(50);
    if (child.state() != QProcess::NotRunning) loop.exec();
    child.waitForFinished(5000);
    const bool stopped = progress.wasCanceled(); // closing the progress counts as cancelling it
    progress.close();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        if (!stopped) {
            const QString said = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
            // A back analysis whose target lies outside the range says so in its results.
            const QDateTime after = QFileInfo(resultsFile).lastModified();
            const bool fresh = after.isValid() && after != before;
            const auto results =
                m_kind == StudyKind::Back && fresh ? readStudyResults(path, why) : std::nullopt;
            if (results && results->analysis() == QLatin1String("back") && m_show) {
                m_show(*results);
                return true;
            }
            m_messages.warning(QStringLiteral("The study did not run.\r\r%1").arg(said));
        }
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

void OpenStudyWindow(StudyKind kind, const StudyContext& context) {
    // The dialog outlives the call: it keeps what the context refers to, not the context.
    ProblemSession* session = &context.session;
    MessageSink* messages = &context.messages;
    FileChooser* files = &context.files;
    const auto show = context.show;
    auto* dialog =
        new TStudyDialog(kind, *session, *messages, context.runner, context.save,
                         [show, session, messages, files](const StudyResults& results) {
                             auto* window = new TStudyResults(results, *messages, *files);
                             window->problemFile = session->document().FileName;
                             if (const auto lowest = lowestSampleDrawing(*session, results.results))
                                 window->addLowestSample(lowest->first, lowest->second);
                             show(window, QSize(760, 560));
                         });
    show(dialog, QSize(kind == StudyKind::Back ? 720 : 880, kind == StudyKind::Back ? 260 : 420));
}
