#include "batch/gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSettings>
#include <QStatusBar>
#include <QStringDecoder>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "batch/core/batch_walk.h"
#include "batch/gui/about_dialog.h"
#include "batch/gui/batch_editor.h"
#include "batch/gui/batch_runner.h"
#include "batch/gui/commands.h"
#include "batch/gui/document_printer.h"
#include "batch/gui/find_dialog.h"
#include "batch/gui/help_text.h"

namespace {

constexpr int MaxRecentFiles = 4;
const char* const FileFilter = "Text files (*.txt);;AllFiles (*)";
const char* const RecentGroup = "Recent File List";

// The profile is ./Batch.ini in the current directory, as INI.
QSettings Profile() { return QSettings(QDir::currentPath() + "/Batch.ini", QSettings::IniFormat); }

// A small drawn picture for commands the desktop theme and the style have none for.
QIcon DrawnIcon(int id) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 2));
  auto sheet = [&](int x, int y, int w, int h) {
    p.setBrush(Qt::white);
    p.drawRect(x, y, w, h);
    for (int line = y + 5; line < y + h - 3; line += 5)
      p.drawLine(x + 4, line, x + w - 4, line);
  };
  switch (id) {
    case IdEditCut:
      p.drawEllipse(QPoint(10, 24), 5, 5);
      p.drawEllipse(QPoint(22, 24), 5, 5);
      p.drawLine(13, 20, 24, 3);
      p.drawLine(19, 20, 8, 3);
      break;
    case IdEditCopy:
      sheet(4, 3, 16, 20);
      sheet(12, 9, 16, 20);
      break;
    case IdEditPaste:
      p.setBrush(QColor(190, 150, 90));
      p.drawRoundedRect(5, 5, 20, 24, 2, 2);
      p.setBrush(QColor(120, 120, 120));
      p.drawRect(11, 2, 8, 5);
      sheet(13, 12, 15, 18);
      break;
    case IdEditUndo:
      p.setBrush(Qt::NoBrush);
      p.drawArc(8, 8, 18, 16, 0, 200 * 16);
      p.drawLine(8, 16, 5, 10);
      p.drawLine(8, 16, 13, 12);
      break;
    case IdEditFind:
      p.setBrush(QColor(200, 225, 250));
      p.drawEllipse(4, 4, 16, 16);
      p.setPen(QPen(QColor(40, 40, 40), 4));
      p.drawLine(18, 18, 28, 28);
      break;
    case IdFilePrint:
      sheet(9, 2, 14, 12);
      p.setBrush(QColor(150, 150, 150));
      p.drawRoundedRect(3, 12, 26, 12, 2, 2);
      sheet(9, 20, 14, 10);
      break;
  }
  return QIcon(pixmap);
}

// A toolbar picture: the desktop theme's icon when there is one, else the style's, else a drawn one.
QIcon CommandIcon(int id, QStyle* style) {
  struct Source {
    int id;
    const char* theme;
    int standard;  // QStyle::StandardPixmap, or -1
  };
  static const Source sources[] = {
      {IdFileNew, "document-new", QStyle::SP_FileIcon},
      {IdFileOpen, "document-open", QStyle::SP_DialogOpenButton},
      {IdFileSave, "document-save", QStyle::SP_DialogSaveButton},
      {IdStartBatchRender, "media-playback-start", QStyle::SP_MediaPlay},
      {IdEditCut, "edit-cut", -1},
      {IdEditCopy, "edit-copy", -1},
      {IdEditPaste, "edit-paste", -1},
      {IdEditUndo, "edit-undo", -1},
      {IdEditFind, "edit-find", -1},
      {IdEditRepeat, "go-next", QStyle::SP_ArrowForward},
      {IdFilePrint, "document-print", -1},
      {IdFilePrintPreview, "document-print-preview", QStyle::SP_FileDialogContentsView},
  };
  for (const Source& s : sources) {
    if (s.id != id)
      continue;
    QIcon icon = QIcon::fromTheme(s.theme);
    if (!icon.isNull())
      return icon;
    if (s.standard >= 0)
      return style->standardIcon(static_cast<QStyle::StandardPixmap>(s.standard));
    return DrawnIcon(id);
  }
  return {};
}

}  // namespace

MainWindow::MainWindow(const QString& programDirectory, QWidget* parent)
    : QMainWindow(parent), programDirectory_(programDirectory) {
  setWindowIcon(QIcon(":/orvelle-batch.png"));
  editor_ = new BatchEditor(this);
  setCentralWidget(editor_);
  finder_ = new FindDialog(editor_, this);
  CreateActions();
  CreateMenusAndToolBar();
  statusBar()->showMessage("Ready");
  connect(editor_->document(), &QTextDocument::modificationChanged, this, &QWidget::setWindowModified);
  connect(editor_, &BatchEditor::filesDropped, this, &MainWindow::OpenDropped);
  setAcceptDrops(true);
  resize(760, 560);
  NewDocument();
}

MainWindow::~MainWindow() {
  // A running batch is cancelled and waited for by the runner's destructor.
  delete runner_;
}

void MainWindow::CreateActions() {
  for (const BatchCommand& command : BatchCommands()) {
    auto* action = new QAction(command.menuText, this);
    action->setObjectName(QString::number(command.id));
    action->setData(command.id);
    if (*command.key)
      action->setShortcut(QKeySequence(command.key));
    if (*command.hint)
      action->setStatusTip(command.hint);
    action->setIcon(CommandIcon(command.id, style()));
    action->setIconVisibleInMenu(false);
    actions_[command.id] = action;
  }
  connect(Action(IdFileNew), &QAction::triggered, this, [this] {
    if (MaybeSave())
      NewDocument();
  });
  connect(Action(IdFileOpen), &QAction::triggered, this, &MainWindow::OpenWithDialog);
  connect(Action(IdFileSave), &QAction::triggered, this, &MainWindow::Save);
  connect(Action(IdFileSaveAs), &QAction::triggered, this, &MainWindow::SaveAs);
  connect(Action(IdStartBatchRender), &QAction::triggered, this, &MainWindow::StartBatchRender);
  connect(Action(IdFilePrintPreview), &QAction::triggered, this, &MainWindow::PrintPreview);
  connect(Action(IdFilePrint), &QAction::triggered, this, &MainWindow::Print);
  connect(Action(IdFilePrintSetup), &QAction::triggered, this, &MainWindow::PrintSetup);
  connect(Action(IdAppExit), &QAction::triggered, this, &QWidget::close);
  connect(Action(IdEditUndo), &QAction::triggered, editor_, &QPlainTextEdit::undo);
  connect(Action(IdEditCut), &QAction::triggered, editor_, &QPlainTextEdit::cut);
  connect(Action(IdEditCopy), &QAction::triggered, editor_, &QPlainTextEdit::copy);
  connect(Action(IdEditPaste), &QAction::triggered, editor_, &QPlainTextEdit::paste);
  connect(Action(IdEditClearAll), &QAction::triggered, this, [this] {
    // Undoable, unlike clear().
    QTextCursor cursor(editor_->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
  });
  connect(Action(IdEditClear), &QAction::triggered, this, [this] { editor_->textCursor().removeSelectedText(); });
  connect(Action(IdEditFind), &QAction::triggered, this, [this] { finder_->Open(false); });
  connect(Action(IdEditReplace), &QAction::triggered, this, [this] { finder_->Open(true); });
  connect(Action(IdEditRepeat), &QAction::triggered, this, [this] {
    if (finder_->HasSearch())
      finder_->FindNext();
    else
      finder_->Open(false);
  });
  connect(Action(IdAppAbout), &QAction::triggered, this, &MainWindow::ShowAbout);

  for (int id : {IdEditUndo, IdEditCut, IdEditCopy, IdEditClear})
    Action(id)->setEnabled(false);
  connect(editor_, &QPlainTextEdit::undoAvailable, Action(IdEditUndo), &QAction::setEnabled);
  for (int id : {IdEditCut, IdEditCopy, IdEditClear})
    connect(editor_, &QPlainTextEdit::copyAvailable, Action(id), &QAction::setEnabled);
}

void MainWindow::CreateMenusAndToolBar() {
  for (const BatchMenu& m : BatchMenus()) {
    QMenu* menu = menuBar()->addMenu(m.title);
    if (!fileMenu_)
      fileMenu_ = menu;
    for (int id : m.items) {
      if (id == 0)
        menu->addSeparator();
      else
        menu->addAction(Action(id));
    }
  }
  // Recent files stand before Exit, with a separator of their own; they are read again
  // whenever the menu opens, so that another instance's changes show.
  recentSeparator_ = new QAction(this);
  recentSeparator_->setSeparator(true);
  fileMenu_->insertAction(Action(IdAppExit), recentSeparator_);
  connect(fileMenu_, &QMenu::aboutToShow, this, &MainWindow::RebuildRecentFiles);
  RebuildRecentFiles();

  toolBar_ = new QToolBar("Toolbar", this);
  toolBar_->setObjectName("Toolbar");
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  for (int id : BatchToolbar()) {
    if (id == 0)
      toolBar_->addSeparator();
    else
      toolBar_->addAction(Action(id));
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
}

void MainWindow::UpdateTitle() {
  const QString name = path_.isEmpty() ? QString("Untitled") : QFileInfo(path_).fileName();
  setWindowTitle(name + "[*] - " + BatchApplicationTitle);
  setWindowModified(editor_->document()->isModified());
}

void MainWindow::NewDocument() {
  editor_->clear();
  editor_->textCursor().insertText(QString::fromLatin1(BatchHelpText).remove('\r'));
  editor_->document()->clearUndoRedoStacks();
  editor_->document()->setModified(false);
  path_.clear();
  latin1_ = false;
  crlf_ = false;
  UpdateTitle();
}

bool MainWindow::OpenDocument(const QString& path) {
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    ShowError(QString("Unable to read file %1 from disk.").arg(path));
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    ShowError("Document read error.");
    return false;
  }
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  latin1_ = utf8.hasError();
  if (latin1_)
    text = QString::fromLatin1(bytes);
  crlf_ = text.contains("\r\n");
  editor_->setPlainText(text.replace("\r\n", "\n"));
  editor_->document()->setModified(false);
  path_ = QFileInfo(path).absoluteFilePath();
  UpdateTitle();
  AddRecentFile(path_);
  return true;
}

bool MainWindow::SaveDocument(const QString& path) {
  QString text = editor_->toPlainText();
  if (crlf_)
    text.replace("\n", "\r\n");
  const QByteArray bytes = latin1_ ? text.toLatin1() : text.toUtf8();
  // Written under a temporary name and renamed: a failure leaves the old file as it was.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    ShowError(QString("Unable to write file %1 to disk.").arg(path));
    return false;
  }
  path_ = QFileInfo(path).absoluteFilePath();
  editor_->document()->setModified(false);
  UpdateTitle();
  AddRecentFile(path_);
  return true;
}

void MainWindow::ShowError(const QString& text) { QMessageBox::warning(this, BatchApplicationTitle, text); }

bool MainWindow::MaybeSave() {
  if (!editor_->document()->isModified())
    return true;
  const auto answer = QMessageBox::question(this, BatchApplicationTitle,
                                            "The document has been changed.\n\nDo you want to save the changes?",
                                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes)
    return Save();
  return answer == QMessageBox::No;
}

void MainWindow::OpenWithDialog() {
  if (!MaybeSave())
    return;
  const QString path = QFileDialog::getOpenFileName(this, "Open", QString(), FileFilter);
  if (!path.isEmpty())
    OpenDocument(path);
}

bool MainWindow::Save() { return path_.isEmpty() ? SaveAs() : SaveDocument(path_); }

bool MainWindow::SaveAs() {
  QFileDialog dialog(this, "Save As", path_, FileFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("txt");  // asks before overwriting an existing file
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  return SaveDocument(dialog.selectedFiles().first());
}

QStringList MainWindow::RecentFiles() const {
  QSettings profile = Profile();
  profile.beginGroup(RecentGroup);
  QStringList files;
  for (int i = 1; i <= MaxRecentFiles; i++) {
    const QString file = profile.value(QString("File%1").arg(i)).toString();
    if (!file.isEmpty())
      files << file;
  }
  return files;
}

void MainWindow::AddRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  QSettings profile = Profile();
  profile.beginGroup(RecentGroup);
  for (int i = 1; i <= MaxRecentFiles; i++) {
    if (i <= files.size())
      profile.setValue(QString("File%1").arg(i), files[i - 1]);
    else
      profile.remove(QString("File%1").arg(i));
  }
  profile.endGroup();
  profile.sync();
  RebuildRecentFiles();
}

void MainWindow::RebuildRecentFiles() {
  for (QAction* action : recentActions_) {
    fileMenu_->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  const QStringList files = RecentFiles();
  for (int i = 0; i < files.size(); i++) {
    auto* action = new QAction(QString("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(files[i])), this);
    connect(action, &QAction::triggered, this, [this, file = files[i]] {
      if (MaybeSave())
        OpenDocument(file);
    });
    fileMenu_->insertAction(recentSeparator_, action);
    recentActions_ << action;
  }
  // The separator before them stays; the one after them shows only with entries.
  recentSeparator_->setVisible(!files.isEmpty());
}

QPrinter& MainWindow::Printer() {
  if (!printer_)
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  const QString title = path_.isEmpty() ? QString() : QFileInfo(path_).fileName();
  printer_->setDocName(title.isEmpty() ? "Document" : title);
  return *printer_;
}

bool MainWindow::PrintDocument(QPrinter& printer) {
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const DocumentPrinter document(editor_->toPlainText(), &printer, page.height(), page.width());
  const bool range = printer.printRange() == QPrinter::PageRange;
  return document.Print(printer, range ? printer.fromPage() : 0, range ? printer.toPage() : 0);
}

void MainWindow::Print() {
  QPrinter& printer = Printer();
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  const DocumentPrinter document(editor_->toPlainText(), &printer, page.height(), page.width());
  QPrintDialog dialog(&printer, this);
  dialog.setMinMax(1, document.PageCount());
  dialog.setFromTo(1, document.PageCount());
  if (dialog.exec() == QDialog::Accepted && !PrintDocument(printer))
    ShowError("Unable to print the document.");
}

void MainWindow::PrintPreview() {
  QPrintPreviewDialog preview(&Printer(), this);
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { PrintDocument(*printer); });
  // The preview takes the main window's place while it is shown.
  preview.setGeometry(geometry());
  hide();
  preview.exec();
  show();
}

void MainWindow::PrintSetup() {
  QPageSetupDialog dialog(&Printer(), this);
  dialog.exec();
}

void MainWindow::StartBatchRender() {
  if (runner_)
    return;
  const QString text = editor_->toPlainText();
  const QByteArray bytes = latin1_ ? text.toLatin1() : text.toUtf8();
  runner_ = new BatchRunner(programDirectory_.toStdString(), SplitBatchLines(bytes.toStdString()));
  runner_->pollMilliseconds = pollMilliseconds;
  Action(IdStartBatchRender)->setEnabled(false);

  // The walk runs on its own thread: the window keeps repainting, and Cancel ends the running job.
  progress_ = new QProgressDialog("Starting the batch render...", "Cancel", 0, std::max(1, runner_->JobCount()), this);
  progress_->setWindowTitle("Batch Controller");
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumDuration(0);
  progress_->setValue(0);
  connect(progress_, &QProgressDialog::canceled, runner_, [this] {
    runner_->Cancel();
    progress_->setLabelText("Ending the running job...");
  });
  connect(runner_, &BatchRunner::jobStarted, this, [this](int line, const QString& command) {
    if (progress_)
      progress_->setLabelText(QString("Line %1: %2\n%3 of %4 jobs done")
                                  .arg(line)
                                  .arg(command)
                                  .arg(progress_->value())
                                  .arg(runner_->JobCount()));
  });
  connect(runner_, &BatchRunner::jobsDone, this, [this](int done) {
    if (progress_)
      progress_->setValue(done);
  });
  connect(runner_, &BatchRunner::finished, this, [this](const QString& message, bool) {
    const QStringList outcomes = runner_->Outcomes();
    runner_->deleteLater();
    runner_ = nullptr;
    delete progress_;
    Action(IdStartBatchRender)->setEnabled(true);
    emit batchFinished(message);
    QMessageBox box(QMessageBox::Information, "Batch Controller", message, QMessageBox::Ok, editor_);
    if (!outcomes.isEmpty())
      box.setDetailedText(outcomes.join('\n'));
    box.exec();
  });
  progress_->show();
  runner_->Start();
}

void MainWindow::ShowAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

void MainWindow::OpenDropped(const QStringList& paths) {
  // The first dropped file is opened; the others are ignored.
  if (paths.isEmpty())
    return;
  activateWindow();
  if (paths.first().isEmpty()) {
    ShowError("Unable to open document.");
    return;
  }
  if (MaybeSave())
    OpenDocument(paths.first());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (runner_) {
    const auto answer =
        QMessageBox::question(this, BatchApplicationTitle, "A batch render is running. End the running job and quit?");
    if (answer != QMessageBox::Yes) {
      event->ignore();
      return;
    }
  }
  if (MaybeSave())
    event->accept();
  else
    event->ignore();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    paths << (url.isLocalFile() ? url.toLocalFile() : QString());
  event->acceptProposedAction();
  OpenDropped(paths);
}
