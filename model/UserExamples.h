#pragma once
// The example problems travel with the program (read-only where it is installed); the first start
// copies them into a folder of the user's, where runs can write their results beside them.
#include <QString>

namespace examples {

// Where the program keeps its examples: "share/dizirovi/examples" beside the folder of the
// executables, in the build tree and in an installation alike.
QString BundledFolder(const QString& programFolder);
// The user's copy: "DizirOvi Examples" in the user's documents folder (XDG_DOCUMENTS_DIR).
QString DefaultUserFolder();
// Copies the bundled examples into `userFolder` when that folder does not exist yet; an existing
// folder, and every file in it, is left as it is. Returns false with the reason when the folder
// could not be made or a file not copied.
bool InstallForUser(const QString& bundledFolder, const QString& userFolder, QString* error = nullptr);

} // namespace examples
