// The main window: one batch list in an editor view, the menus, toolbar and status line,
// recent files, printing, and the batch render.
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <memory>

class BatchEditor;
class BatchRunner;
class FindDialog;
class QAction;
class QMenu;
class QPrinter;
class QProgressDialog;
class QToolBar;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `programDirectory`: where orvelle2 is, for the batch render.
  explicit MainWindow(const QString& programDirectory, QWidget* parent = nullptr);
  ~MainWindow() override;

  QAction* Action(int id) const { return actions_.value(id); }
  BatchEditor* Editor() const { return editor_; }
  QToolBar* ToolBar() const { return toolBar_; }
  FindDialog* Finder() const { return finder_; }
  QString DocumentPath() const { return path_; }

  // A new untitled document holding the help text, not modified.
  void NewDocument();
  // Open and save without dialogs; false after telling the user what went wrong.
  bool OpenDocument(const QString& path);
  bool SaveDocument(const QString& path);
  // The recent files, most recent first (at most 4), as kept in ./Batch.ini.
  QStringList RecentFiles() const;
  // Prints the document on `printer` (all pages, or the printer's page range).
  bool PrintDocument(QPrinter& printer);
  bool BatchRunning() const { return runner_ != nullptr; }
  // How often the batch render asks whether a job has ended.
  int pollMilliseconds = 2000;

 signals:
  // The batch render ended; `message` is the completion message shown.
  void batchFinished(const QString& message);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateActions();
  void CreateMenusAndToolBar();
  void UpdateTitle();
  bool MaybeSave();
  void AddRecentFile(const QString& path);
  void RebuildRecentFiles();
  void OpenWithDialog();
  bool Save();
  bool SaveAs();
  QPrinter& Printer();
  void Print();
  void PrintPreview();
  void PrintSetup();
  void StartBatchRender();
  void ShowAbout();
  void OpenDropped(const QStringList& paths);
  void ShowError(const QString& text);

  QString programDirectory_;
  BatchEditor* editor_;
  QToolBar* toolBar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QList<QAction*> recentActions_;
  QMap<int, QAction*> actions_;
  FindDialog* finder_;
  QString path_;         // empty: untitled
  bool latin1_ = false;  // the file was not UTF-8: saved back byte for byte as it was read
  bool crlf_ = false;    // the file's lines end with CR LF: saved the same way
  std::unique_ptr<QPrinter> printer_;
  BatchRunner* runner_ = nullptr;
  QPointer<QProgressDialog> progress_;
};
