#pragma once
#include "TableSet.h"

#include <QString>
#include <cstdint>
#include <memory>

class MessageSink;
class TProgramData;

// What the window layer does when the document changes: close child windows before a document
// is replaced (dialogs store into the outgoing one), refresh dialogs that show unit labels.
class DocumentHooks {
public:
    virtual ~DocumentHooks() = default;
    virtual void closeChildWindows() {}
    virtual void reactivateUnitDialogs() {}
};

inline const QString kNewFileName = QStringLiteral("NewSlope.sl4d");

// What a save command did.
enum class SaveOutcome { Saved, Cancelled, Failed };

namespace readmsg {
// Counts above this are no table's rows but a damaged file.
constexpr int32_t kMaxRowsRead = 10000;
inline const QString kSavedAs =
    QStringLiteral("\r\rThe first save of this problem goes through Save As, so the file is not overwritten "
                   "with only what was read.");
QString unreadSection(int line, const QString& text);
QString noSection(const QString& fileName);
QString tooManyRows(int line, int item, int32_t count);
QString unitSystem(int32_t system);
// A reading's failure as the user is shown it: with the file's name.
QString shown(const QString& fileName, const QString& failure);
} // namespace readmsg

namespace writemsg {
// `where` names the value: "unit weight of water", "value in row 3, column ... of the table ...".
QString notFinite(const QString& where);
} // namespace writemsg

// Owns the problem's tables and the one current document, and keeps the document-changed flag.
class ProblemSession {
public:
    ProblemSession();
    ~ProblemSession();

    TableSet& tables() { return m_tables; }
    const TableSet& tables() const { return m_tables; }
    TProgramData& document() { return *m_document; }
    const TProgramData& document() const { return *m_document; }
    // Makes `successor` current; the outgoing document is discarded after the switch.
    void adopt(std::unique_ptr<TProgramData> successor);

    void setHooks(DocumentHooks* hooks) { m_hooks = hooks ? hooks : &m_noHooks; }
    DocumentHooks& hooks() { return *m_hooks; }

    bool IsModified() const;
    void SetModified(bool modified);

private:
    TableSet m_tables;
    DocumentHooks m_noHooks;
    DocumentHooks* m_hooks = &m_noHooks;
    bool m_modified = false;
    std::unique_ptr<TProgramData> m_document;
};

class TProgramData {
public:
    explicit TProgramData(ProblemSession& session) : m_session(session) {}

    // A document with the defaults; closes child windows first and resets every table.
    static std::unique_ptr<TProgramData> Create(ProblemSession& session);
    // A document read from a problem file (current layout unless `currentFormat` is false).
    // A format error is shown through `messages` (when given) and returned in `error`; what was
    // read before it stays in the document.
    static std::unique_ptr<TProgramData> CreateFromFile(ProblemSession& session, const QString& fileName,
                                                        bool currentFormat, MessageSink* messages,
                                                        QString* error = nullptr);
    // Writes the problem file named by FileName; raises EInOutError and leaves the previous file
    // untouched when the write fails.
    void SaveToFile();
    // The problem file's text, exactly as SaveToFile writes it. A value that is not finite raises
    // EInOutError naming it: it could never be read back.
    QByteArray ProblemText() const;
    // Converts the document and every table to another unit system (clamped to 1...3).
    void SetUnitSystem(int n);

    ProblemSession& session() const { return m_session; }

    int32_t UnitSystem = 1;
    QString FileName = kNewFileName;
    QString PlotFileName;
    QString Title = QStringLiteral("New Slope");
    int32_t SurfaceLineCount = 0;
    long double SeismicKv = 0;
    long double SeismicKh = 0;
    long double CavitationPressure = 0;
    long double WaterUnitWeight = 0;
    bool WaterOn = false;
    bool LoadsOn = false;
    bool EquakeOn = false;
    bool ReinfOn = false;
    bool LimitsOn = false;
    bool TiesOn = false;
    bool UserSurfaceOn = false;
    bool JanbuOn = false;
    bool BishopOn = false;
    bool SpencerOn = false;
    bool BlockOn = false;
    bool IrregularOn = false;
    int32_t InitiationPoints = 0;
    int32_t SurfacesPerPoint = 0;
    long double InitLeftX = 0;
    long double InitRightX = 0;
    long double TermLeftX = 0;
    long double TermRightX = 0;
    long double MinElevation = 0;
    long double SegmentLength = 0;
    long double CcwLimit = 0;
    long double CwLimit = -45;
    long double InterSliceAngle = 0;
    long double BlockSegmentLength = 0;
    int32_t PiezoSpecified = 1;
    int32_t ReinfLayersOn = 0;
    int32_t SearchMethod = 0;
    // Read with an error, or with sections left unread: saving it over its own file would lose the
    // rest of that file, so the first save goes through Save As.
    bool Incomplete = false;

private:
    ProblemSession& m_session;
};

namespace search {
enum Method : int32_t {
    None = 0,
    UserSurface = 1,
    JanbuCircle = 2,
    BishopCircle = 3,
    Irregular = 4,
    Block = 5,
    Spencer = 6
};
}
