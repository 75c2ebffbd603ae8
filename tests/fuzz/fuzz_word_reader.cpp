// libFuzzer target: the word reader hands out lines, reals and integers from any text, or says
// why it cannot.
#include "base/Errors.h"
#include "base/WordRead.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the order of requests; the rest is the text.
    const uint8_t plan = data[0];
    TWordReader reader = TWordReader::fromText(
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
    (void)reader.lineCount();
    for (int i = 0; i < 10000 && !reader.AtEnd(); ++i) {
        try {
            switch ((plan >> (i % 4 * 2)) & 3) {
            case 0: reader.ReadLine(); break;
            case 1: reader.ReadReal(); break;
            case 2: reader.ReadInteger(); break;
            default:
                (void)reader.itemsLeftAtMost();
                reader.ReadReal();
                break;
            }
        } catch (const EInOutError&) {
            break;
        }
    }
    return 0;
}
