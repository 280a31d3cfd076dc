// Registration with the desktop: a freedesktop desktop entry, its icon, and the association
// of text files with it, all in the user's data directory (never system-wide files).
#pragma once

#include <QString>
#include <QStringList>

// The desktop entry's file name, from the application key of the registration.
constexpr const char* BatchDesktopEntryName = "Batch.Application.desktop";
constexpr const char* BatchIconName = "orvelle-batch";

// $XDG_DATA_HOME, else ~/.local/share.
QString UserDataDirectory();

// Writes the desktop entry (starting `programPath` with the file opened), the icon and the
// association of text/plain files (the `.txt` key). Written anew at every start. Returns a
// message per failure: "Registry failure on key: <file>, ErrorCode = <hex>\n".
QStringList RegisterBatchApplication(const QString& dataDirectory, const QString& programPath);

// Removes what RegisterBatchApplication wrote, leaving other associations as they were.
QStringList UnregisterBatchApplication(const QString& dataDirectory);

// Whether the arguments ask for `unregister` (case ignored, with or without a leading / or -).
bool AsksToUnregister(const QStringList& arguments);
