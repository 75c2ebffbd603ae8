#pragma once
#include <QString>
#include <exception>

// Base of the system's exceptions: each carries the sentence the user is shown.
class EDiziOvi : public std::exception {
public:
    explicit EDiziOvi(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Wrong user input; shown unchanged in an information box.
class EAssignError : public EDiziOvi {
    using EDiziOvi::EDiziOvi;
};

// A floating-point fault while evaluating input (square root of a negative number, division by
// zero, overflow). Kept apart from EAssignError: it is a fault of the arithmetic, not of the text.
class EMathError : public EDiziOvi {
    using EDiziOvi::EDiziOvi;
};

// Format and access errors of files; the problem-file reader shows the message and keeps what it read.
class EInOutError : public EDiziOvi {
    using EDiziOvi::EDiziOvi;
};

// Programming errors of the table framework (wrong cell type, bad index, bad definition).
class ETableError : public EDiziOvi {
    using EDiziOvi::EDiziOvi;
};

namespace mathmsg {
inline const QString kInvalidOp = QStringLiteral("Invalid floating point operation");
inline const QString kZeroDivide = QStringLiteral("Floating point division by zero");
inline const QString kOverflow = QStringLiteral("Floating point overflow");
} // namespace mathmsg
