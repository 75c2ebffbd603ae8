#include "ModelCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

std::optional<QList<ModelFinding>> parseFindings(const QByteArray& json, QString* error) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object().value("findings").isArray()) {
        if (error) *error = QStringLiteral("The engine's check file is damaged.");
        return std::nullopt;
    }
    QList<ModelFinding> out;
    for (const QJsonValue& v : doc.object().value("findings").toArray()) {
        const QJsonObject o = v.toObject();
        const double item = o.value("item").toDouble();
        out.append({o.value("severity").toString() != QLatin1String("warning"), o.value("section").toString(),
                    item >= 1 && item <= 1e6 ? static_cast<int>(item) : 0, o.value("message").toString()});
    }
    return out;
}

QString findingPlace(const ModelFinding& f) {
    static const std::pair<const char*, const char*> kPlaces[] = {
        {"lines", "Slope Boundary Lines"},
        {"soils", "Soil Properties"},
        {"water", "Water Surface(s)"},
        {"loads", "Surcharge Loading"},
        {"tiebacks", "Tiebacks"},
        {"search", "Failure Surface Search Controls"},
        {"surface", "Failure Surface Search Controls"},
        {"problem", "the problem file"},
        {"limits", "Trial Surface Limits"}};
    QString place = f.section;
    for (const auto& [section, caption] : kPlaces)
        if (f.section == QLatin1String(section)) place = QLatin1String(caption);
    return f.item > 0 ? QStringLiteral("%1, row %2").arg(place).arg(f.item) : place;
}

int errorCount(const QList<ModelFinding>& findings) {
    return static_cast<int>(
        std::count_if(findings.begin(), findings.end(), [](const ModelFinding& f) { return f.error; }));
}

QString checkmsg::runStopped(int errors) {
    return QStringLiteral("The model has %1 %2; the analysis was not run.\r\rComputation > Check Model lists "
                          "every finding with where it is.")
        .arg(errors)
        .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errors"));
}
