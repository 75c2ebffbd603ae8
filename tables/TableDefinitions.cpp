#include "TableDefinitions.h"

#include "base/Errors.h"

#include <QRegularExpression>

namespace {

[[noreturn]] void defError(int line, const QString& what) {
    throw ETableError(QStringLiteral("Table definitions, line %1: %2").arg(line).arg(what));
}

ColValue singleValue(const QString& text, int line) {
    std::vector<ColValue> values;
    try {
        values = decodeColText(text);
    } catch (const EDiziOvi& e) {
        defError(line, e.message());
    }
    if (values.size() != 1) defError(line, QStringLiteral("one value expected after '='"));
    return values.front();
}

void applyProperty(TGridTable& table, const QString& name, const ColValue& v, int line) {
    auto integer = [&] {
        if (v.kind != ColValue::Integer) defError(line, name + QStringLiteral(" takes an integer"));
        return v.integer;
    };
    auto text = [&] {
        if (v.kind != ColValue::String) defError(line, name + QStringLiteral(" takes a string"));
        return v.string;
    };
    auto boolean = [&] {
        if (v.kind != ColValue::Boolean) defError(line, name + QStringLiteral(" takes True or False"));
        return v.boolean;
    };
    auto* chart = dynamic_cast<TGridTableChart*>(&table);
    if (name == "Identifier")
        table.SetIdentifier(integer());
    else if (name == "Caption")
        table.Caption = text();
    else if (name == "MinRows")
        table.SetMinRows(integer(), true);
    else if (name == "MaxRows")
        table.MaxRows = integer();
    else if (name == "Comments")
        table.Comments = text();
    else if (name == "TopLeft")
        table.TopLeft = text();
    else if (name == "RowGroup")
        table.SetRowGroup(integer());
    else if (name == "HardwiredButton")
        table.HardwiredButton = boolean();
    else if (chart && name == "GetDataFromFile")
        chart->GetDataFromFile = boolean();
    else if (chart && name == "OKCancelButtons")
        chart->OKCancelButtons = boolean();
    else if (chart && name == "InvertedXAxis")
        chart->InvertedXAxis = boolean();
    else if (chart && name == "InvertedYAxis")
        chart->InvertedYAxis = boolean();
    else
        defError(line, QStringLiteral("unknown property %1").arg(name));
}

} // namespace

std::vector<TableDefinition> ParseTableDefinitions(const QString& text) {
    static const QRegularExpression objectLine(QStringLiteral("^object\\s+(\\w+)\\s*:\\s*(\\w+)$"));
    static const QRegularExpression propertyLine(QStringLiteral("^(\\w+)\\s*=\\s*(.*)$"));
    std::vector<TableDefinition> result;
    const QStringList lines = text.split('\n');
    TableDefinition* current = nullptr;
    QString colText;
    bool inCol = false;
    int colLine = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (!current) {
            auto m = objectLine.match(line);
            if (!m.hasMatch()) defError(lineNo, QStringLiteral("'object Name: Class' expected"));
            if (m.captured(2) != "TGridTable" && m.captured(2) != "TGridTableChart")
                defError(lineNo, QStringLiteral("unknown class %1").arg(m.captured(2)));
            result.push_back({m.captured(1), m.captured(2), {}, {}, lineNo});
            current = &result.back();
            continue;
        }
        if (line == QLatin1String("end")) {
            if (inCol) {
                try {
                    current->columns = decodeColText(colText);
                } catch (const EDiziOvi& e) {
                    defError(colLine, e.message());
                }
            }
            current = nullptr;
            inCol = false;
            colText.clear();
            continue;
        }
        if (inCol) {
            colText += ' ' + line;
            continue;
        }
        auto m = propertyLine.match(line);
        if (!m.hasMatch()) defError(lineNo, QStringLiteral("'Name = value' expected"));
        if (m.captured(1) == "Col") {
            inCol = true;
            colLine = lineNo;
            colText = m.captured(2);
        } else {
            current->properties.emplace_back(m.captured(1), singleValue(m.captured(2), lineNo));
        }
    }
    if (current) defError(current->line, QStringLiteral("object %1 has no 'end'").arg(current->name));
    return result;
}

std::unique_ptr<TGridTable> BuildTable(const TableDefinition& definition, TableRegistry& gridRegistry,
                                       TableRegistry& chartRegistry) {
    std::unique_ptr<TGridTable> table;
    if (definition.className == "TGridTableChart")
        table = std::make_unique<TGridTableChart>(chartRegistry);
    else
        table = std::make_unique<TGridTable>(gridRegistry);
    for (const auto& [name, value] : definition.properties)
        applyProperty(*table, name, value, definition.line);
    ColReader reader(definition.columns);
    try {
        table->ReadDefinition(reader);
    } catch (const EDiziOvi& e) {
        defError(definition.line, QStringLiteral("%1: %2").arg(definition.name, e.message()));
    }
    if (!reader.atEnd())
        defError(definition.line, definition.name + QStringLiteral(": values left after the columns"));
    return table;
}

QString WriteTableDefinition(const QString& name, const TGridTable& table) {
    auto str = [](const QString& s) {
        ColWriter w;
        w.writeString(s);
        return encodeColText(w.values());
    };
    auto boolean = [](bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); };
    const auto* chart = dynamic_cast<const TGridTableChart*>(&table);
    QString out = QStringLiteral("object %1: %2\n").arg(name, chart ? "TGridTableChart" : "TGridTable");
    out += QStringLiteral("  Identifier = %1\n").arg(table.Identifier());
    out += QStringLiteral("  Caption = %1\n").arg(str(table.Caption));
    out += QStringLiteral("  MinRows = %1\n").arg(table.MinRows());
    out += QStringLiteral("  MaxRows = %1\n").arg(table.MaxRows);
    out += QStringLiteral("  Comments = %1\n").arg(str(table.Comments));
    out += QStringLiteral("  TopLeft = %1\n").arg(str(table.TopLeft));
    out += QStringLiteral("  RowGroup = %1\n").arg(table.RowGroup());
    out += QStringLiteral("  HardwiredButton = %1\n").arg(boolean(table.HardwiredButton));
    if (chart) {
        out += QStringLiteral("  GetDataFromFile = %1\n").arg(boolean(chart->GetDataFromFile));
        out += QStringLiteral("  OKCancelButtons = %1\n").arg(boolean(chart->OKCancelButtons));
        out += QStringLiteral("  InvertedXAxis = %1\n").arg(boolean(chart->InvertedXAxis));
        out += QStringLiteral("  InvertedYAxis = %1\n").arg(boolean(chart->InvertedYAxis));
    }
    ColWriter w;
    table.WriteDefinition(w);
    out += QStringLiteral("  Col = %1\nend\n").arg(encodeColText(w.values()));
    return out;
}
