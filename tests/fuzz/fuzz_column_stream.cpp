// libFuzzer target: the column definition stream in both its forms, and a table built from what
// it decodes, must survive any input.
#include "base/Errors.h"
#include "tables/ColStream.h"
#include "tables/Table.h"

#include <cstddef>
#include <cstdint>

namespace {

void build(std::vector<ColValue> values) {
    TableRegistry registry;
    TGridTable table(registry);
    ColReader reader(std::move(values));
    try {
        table.ReadDefinition(reader);
        table.SetRowCount(3);
        ColWriter writer;
        table.WriteDefinition(writer);
        (void)decodeColBinary(encodeColBinary(writer.values()));
    } catch (const EDiziOvi&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        build(decodeColBinary(bytes));
    } catch (const EDiziOvi&) {
    }
    try {
        build(decodeColText(QString::fromUtf8(bytes)));
    } catch (const EDiziOvi&) {
    }
    return 0;
}
