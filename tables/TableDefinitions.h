#pragma once
// Tables defined by data: a readable text of objects, their properties and their Col stream.
//
//   object SoilData: TGridTable
//     Identifier = 1
//     Caption = 'Soil Properties'
//     Col = 8
//       2 ('Moist Unit', 'Weight') True False False 'FLOATCOLUMN2' 'F/L2^3' 0
//       ...
//   end
#include "ColStream.h"
#include "Table.h"

#include <memory>
#include <vector>

struct TableDefinition {
    QString name;
    QString className; // TGridTable or TGridTableChart
    std::vector<std::pair<QString, ColValue>> properties;
    std::vector<ColValue> columns; // the Col stream
    int line = 0;                  // where the object starts, for messages
};

// Raises ETableError naming the line on a malformed text.
std::vector<TableDefinition> ParseTableDefinitions(const QString& text);

// Makes the table, sets its properties and reads its columns through the Col stream reader.
std::unique_ptr<TGridTable> BuildTable(const TableDefinition& definition, TableRegistry& gridRegistry,
                                       TableRegistry& chartRegistry);

// The definition text of a table as it stands now (properties and Col stream).
QString WriteTableDefinition(const QString& name, const TGridTable& table);

// The bundled definitions of the problem's tables.
const QString& BundledTableDefinitions();
