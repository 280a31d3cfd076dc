// The editor view of a batch list: a plain-text editor that hands dropped files to the
// window and leaves Ctrl+Del to the Clear All command.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>

class BatchEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit BatchEditor(QWidget* parent = nullptr);

 signals:
  void filesDropped(const QStringList& paths);

 protected:
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};
