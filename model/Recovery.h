#pragma once
// Unsaved work kept where a crash or a power cut cannot take it: while a document has changes the
// program writes it to a recovery file of its own in the user's state folder
// ($XDG_STATE_HOME/DizirOvi/recovery, never beside the problem), and a normal close removes it. A
// later start finds the files whose program is gone and offers them back.
//
// Each program instance writes one pair of files named by its process id and a random part: the
// problem text (readable by the problem reader as it stands) and, written after it, a small JSON
// note that names the original file. A pair without its note is a write that did not finish.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace recovery {

// $XDG_STATE_HOME/DizirOvi/recovery ($HOME/.local/state/... when the variable is unset or relative).
QString DefaultFolder();

struct Entry {
    QString problemFile;  // the recovered problem text, a problem file
    QString noteFile;     // the JSON note beside it
    QString originalPath; // the file the user was editing; empty for a problem never saved
    QDateTime saved;      // when the recovery was written
    qint64 pid = 0;       // the program that wrote it
};

// The recoveries in `folder` whose program is no longer running (other than this process).
QList<Entry> Orphans(const QString& folder);
// Removes an entry's files; false with the reason when one stays.
bool Discard(const Entry& entry, QString* error = nullptr);

// This program instance's recovery file.
class Store {
public:
    explicit Store(QString folder = DefaultFolder());
    // Writes the document's text, atomically, unless it is the text written last; false and why
    // when it cannot be written (the previous recovery then stays).
    bool write(const QByteArray& problemText, const QString& originalPath, QString* error = nullptr);
    // Removes this instance's files (a save or a normal close: nothing is left to recover).
    void clear();
    bool holdsRecovery() const { return !m_written.isEmpty(); }
    QString problemFile() const;
    QString noteFile() const;

private:
    QString m_folder;
    QString m_name; // "<pid>-<random>"
    QByteArray m_written;
    QString m_writtenFor;
};

} // namespace recovery
