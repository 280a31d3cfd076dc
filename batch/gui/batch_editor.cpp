#include "batch/gui/batch_editor.h"

#include <QDropEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>

BatchEditor::BatchEditor(QWidget* parent) : QPlainTextEdit(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QPlainTextEdit::NoWrap);
}

bool BatchEditor::event(QEvent* event) {
  // The editor would take Ctrl+Del as "delete the next word"; here it is Clear All.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
      event->ignore();
      return false;
    }
  }
  return QPlainTextEdit::event(event);
}

void BatchEditor::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    QPlainTextEdit::dragEnterEvent(event);
}

void BatchEditor::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    QPlainTextEdit::dragMoveEvent(event);
}

void BatchEditor::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) {
    QPlainTextEdit::dropEvent(event);
    return;
  }
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    paths << (url.isLocalFile() ? url.toLocalFile() : QString());
  event->acceptProposedAction();
  emit filesDropped(paths);
}
