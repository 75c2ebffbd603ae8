// libFuzzer target: the application's problem reader (from a file, as File > Open reads it) and
// the writer of what it read must survive any input; what is written must read back.
#include "base/Errors.h"
#include "model/ProgramData.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static ProblemSession session;
    const QString name = dir.filePath(QStringLiteral("fuzz.sl4d"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();
    for (bool current : {true, false}) {
        QString error;
        session.adopt(TProgramData::CreateFromFile(session, name, current, nullptr, &error));
        try {
            const QByteArray text = session.document().ProblemText();
            // What the writer wrote reads back without a message.
            if (!file.open(QIODevice::WriteOnly)) return 0;
            file.write(text);
            file.close();
            session.adopt(TProgramData::CreateFromFile(session, name, true, nullptr, &error));
            if (!error.isEmpty() && !error.contains(QLatin1String("far more than any table holds")))
                __builtin_trap();
        } catch (const EInOutError&) {
            // A value that is not finite is refused, as it must be.
        }
    }
    return 0;
}
