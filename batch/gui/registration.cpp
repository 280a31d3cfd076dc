#include "batch/gui/registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace {

const char* const AssociationGroup = "[Added Associations]";
const char* const TextMimeType = "text/plain";

QString Failure(const QString& key, long code) {
  if (key.isEmpty())
    return QString::asprintf("Registry failure on unknown key: ErrorCode = %lX\n", code);
  return QString::asprintf("Registry failure on key: %s, ErrorCode = %lX\n", key.toLocal8Bit().constData(), code);
}

// Writes `contents` completely or not at all.
bool WriteWhole(const QString& path, const QByteArray& contents, QStringList& failures) {
  if (!QDir().mkpath(QFileInfo(path).path())) {
    failures << Failure(path, ENOENT);
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit()) {
    failures << Failure(path, static_cast<long>(file.error()));
    return false;
  }
  return true;
}

// A desktop entry's Exec argument: quoted, with the characters the format reserves escaped
// (then backslashes doubled once more, as in every string value of the entry).
QString ExecArgument(const QString& path) {
  QString quoted;
  for (QChar c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  quoted.replace("\\", "\\\\");
  quoted.replace("%", "%%");
  return "\"" + quoted + "\"";
}

QString EscapeValue(QString value) { return value.replace("\\", "\\\\"); }

QString EntryPath(const QString& dataDirectory) { return dataDirectory + "/applications/" + BatchDesktopEntryName; }
QString IconPath(const QString& dataDirectory) {
  return dataDirectory + "/icons/hicolor/64x64/apps/" + BatchIconName + ".png";
}
QString AssociationsPath(const QString& dataDirectory) { return dataDirectory + "/applications/mimeapps.list"; }

// Adds (or removes) our entry in the text/plain line of [Added Associations], keeping every
// other line of the file as it was.
bool UpdateAssociations(const QString& dataDirectory, bool add, QStringList& failures) {
  const QString path = AssociationsPath(dataDirectory);
  QFile file(path);
  QStringList lines;
  if (file.exists()) {
    if (!file.open(QIODevice::ReadOnly)) {
      failures << Failure(path, static_cast<long>(file.error()));
      return false;
    }
    lines = QString::fromUtf8(file.readAll()).split('\n');
    file.close();
    if (!lines.isEmpty() && lines.back().isEmpty())
      lines.removeLast();
  } else if (!add) {
    return true;
  }
  const QString entry = BatchDesktopEntryName;
  int group = -1, keyLine = -1, groupEnd = lines.size();
  for (int i = 0; i < lines.size(); i++) {
    const QString line = lines[i].trimmed();
    if (line.startsWith('[')) {
      if (group >= 0 && groupEnd == lines.size())
        groupEnd = i;
      if (line == AssociationGroup)
        group = i, groupEnd = lines.size();
    } else if (group >= 0 && groupEnd == lines.size() && line.startsWith(QString(TextMimeType) + "=")) {
      keyLine = i;
    }
  }
  QStringList handlers;
  if (keyLine >= 0)
    handlers = lines[keyLine].section('=', 1).split(';', Qt::SkipEmptyParts);
  const bool present = handlers.contains(entry);
  if (present == add)
    return true;
  if (add)
    handlers.prepend(entry);
  else
    handlers.removeAll(entry);
  const QString line = QString(TextMimeType) + "=" + handlers.join(';') + ";";
  if (keyLine >= 0 && handlers.isEmpty())
    lines.removeAt(keyLine);
  else if (keyLine >= 0)
    lines[keyLine] = line;
  else if (group >= 0)
    lines.insert(groupEnd, line);
  else
    lines << AssociationGroup << line;
  // A file that held nothing but our association goes.
  if (lines.size() == 1 && lines[0].trimmed() == AssociationGroup) {
    if (!QFile::remove(path)) {
      failures << Failure(path, static_cast<long>(QFile(path).error()));
      return false;
    }
    return true;
  }
  return WriteWhole(path, (lines.join('\n') + "\n").toUtf8(), failures);
}

}  // namespace

QString UserDataDirectory() {
  const QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (!data.isEmpty() && QDir::isAbsolutePath(data))
    return data;
  return QDir::homePath() + "/.local/share";
}

QStringList RegisterBatchApplication(const QString& dataDirectory, const QString& programPath) {
  QStringList failures;
  if (programPath.contains('\n') || programPath.contains('\r')) {
    failures << Failure(EntryPath(dataDirectory), EINVAL);
    return failures;
  }
  const QString entry = QString(
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Orvelle 2 Batch\n"
                            "GenericName=Batch Rendering Controller\n"
                            "Comment=%1\n"
                            "Exec=%2 %f\n"
                            "Icon=%3\n"
                            "MimeType=%4;\n"
                            "Categories=Graphics;\n"
                            "Terminal=false\n"
                            "X-Batch-Application-DefaultIcon=%5\n"
                            "X-Batch-Document-1-DefaultIcon=%5,1\n"
                            "X-Batch-txt=Batch.Document.1\n")
                            .arg("Brellon - Orvelle 2 Batch Rendering Controller", ExecArgument(programPath),
                                 BatchIconName, TextMimeType, EscapeValue(programPath));
  WriteWhole(EntryPath(dataDirectory), entry.toUtf8(), failures);
  QFile icon(":/orvelle-batch.png");
  if (icon.open(QIODevice::ReadOnly))
    WriteWhole(IconPath(dataDirectory), icon.readAll(), failures);
  else
    failures << Failure(IconPath(dataDirectory), ENOENT);
  UpdateAssociations(dataDirectory, true, failures);
  return failures;
}

QStringList UnregisterBatchApplication(const QString& dataDirectory) {
  QStringList failures;
  for (const QString& path : {EntryPath(dataDirectory), IconPath(dataDirectory)}) {
    QFile file(path);
    if (file.exists() && !file.remove())
      failures << Failure(path, static_cast<long>(file.error()));
  }
  UpdateAssociations(dataDirectory, false, failures);
  return failures;
}

bool AsksToUnregister(const QStringList& arguments) {
  for (QString argument : arguments) {
    while (argument.startsWith('/') || argument.startsWith('-'))
      argument.remove(0, 1);
    if (argument.compare("unregister", Qt::CaseInsensitive) == 0)
      return true;
  }
  return false;
}
