// The desktop application, offscreen: title, help text, commands, menus and toolbar, the
// batch render from F9, recent files, printing, files, find and replace, registration.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "batch/gui/about_dialog.h"
#include "batch/gui/batch_editor.h"
#include "batch/gui/commands.h"
#include "batch/gui/document_printer.h"
#include "batch/gui/find_dialog.h"
#include "batch/gui/help_text.h"
#include "batch/gui/main_window.h"
#include "batch/gui/registration.h"

namespace {

// Answers every modal message box as it opens and keeps its text.
class MessageAnswerer : public QObject {
 public:
  MessageAnswerer() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts << box->text();
        box->done(answer);
      }
    });
    timer_.start(10);
  }
  QStringList texts;
  int answer = QMessageBox::Ok;

 private:
  QTimer timer_;
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Menu entries as "text|shortcut|hint", "-" for a separator.
QStringList Entries(QMenu* menu) {
  QStringList entries;
  for (QAction* action : menu->actions()) {
    if (!action->isVisible())
      continue;
    entries << (action->isSeparator()
                    ? QString("-")
                    : action->text() + "|" + action->shortcut().toString() + "|" + action->statusTip());
  }
  return entries;
}

}  // namespace

class BatchGuiTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(folder.isValid());
    QDir::setCurrent(folder.path());  // ./Batch.ini lands here
  }
  void cleanup() {
    QFile::remove(folder.filePath("Batch.ini"));
    QDir::setCurrent(QDir::tempPath());
  }

  void NewDocumentShowsTheHelpTextUnmodified() {
    MainWindow window(folder.path());
    QCOMPARE(window.windowTitle(), QString("Untitled[*] - Brellon - Orvelle 2 Batch Rendering Controller"));
    QVERIFY(!window.isWindowModified());
    const QString text = window.Editor()->toPlainText();
    QCOMPARE(text, QString::fromLatin1(BatchHelpText).remove('\r'));
    const QStringList lines = QString::fromLatin1(BatchHelpText).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 29);
    for (const QString& line : lines)
      QVERIFY2(line.startsWith('/'), qPrintable(line));
    QCOMPARE(lines.first(), QString("/\t\tBrellon - Orvelle 2 Batch Rendering Controller"));
    QCOMPARE(lines.last(), QString("/Start listing files here (without the comment sign (/):"));
    QVERIFY(!window.Editor()->document()->isModified());
    QVERIFY(!window.Action(IdEditUndo)->isEnabled());
    // Typing modifies the document; the title shows it.
    QTest::keyClicks(window.Editor(), "Valley");
    QVERIFY(window.isWindowModified());
  }

  void MenusToolbarAndShortcutsInOrder() {
    MainWindow window(folder.path());
    QStringList titles;
    for (QAction* menu : window.menuBar()->actions())
      titles << menu->text();
    QCOMPARE(titles, (QStringList{"&File", "&Edit", "&Search", "&Help"}));
    const QList<QAction*> menus = window.menuBar()->actions();
    QCOMPARE(Entries(menus[0]->menu()),
             (QStringList{"&New||Creates a new document", "&Open...||Opens an existing document", "-",
                          "&Save||Saves the active document", "Save &As...||Saves the active document with a new name",
                          "-", "Start batch render|F9|", "-", "Print Pre&view...||Displays full pages as read-only",
                          "&Print...||Prints the active document",
                          "P&rint Setup...||Sets print characteristics for the active document", "-",
                          "E&xit|Alt+F4|Quits Batch and prompts to save the documents"}));
    QCOMPARE(Entries(menus[1]->menu()),
             (QStringList{"&Undo|Ctrl+Z|Reverses the last operation", "-",
                          "Cu&t|Ctrl+X|Cuts the selection and puts it on the Clipboard",
                          "&Copy|Ctrl+C|Copies the selection and puts it on the Clipboard",
                          "&Paste|Ctrl+V|Inserts the Clipboard contents at the insertion point", "-",
                          "Clear &All|Ctrl+Del|Clears the active document", "&Delete|Del|Deletes the selection"}));
    QCOMPARE(Entries(menus[2]->menu()),
             (QStringList{"&Find...||Finds the specified text", "&Replace...||Finds the specified text and changes it",
                          "&Next|F3|Finds the next match"}));
    QCOMPARE(Entries(menus[3]->menu()), (QStringList{"&About...||About the Batch application"}));
    // Every command carries its identifier.
    QCOMPARE(window.Action(11842)->text(), QString("Start batch render"));
    QCOMPARE(window.Action(2009)->objectName(), QString("2009"));

    QToolBar* bar = window.ToolBar();
    QCOMPARE(bar->windowTitle(), QString("Toolbar"));
    QCOMPARE(window.toolBarArea(bar), Qt::TopToolBarArea);
    QVERIFY(bar->isMovable());
    QStringList buttons;
    for (QAction* action : bar->actions())
      buttons << (action->isSeparator() ? QString("-") : action->objectName());
    QCOMPARE(buttons, (QStringList{"24331", "24332", "24333", "-", "11842", "-", "24322", "24323", "24324", "-",
                                   "24321", "-", "24351", "24353", "-", "24337", "24340"}));
    for (QAction* action : bar->actions())
      QVERIFY(action->isSeparator() || !action->icon().isNull());
  }

  void EditingCommandsClearAllAndUndo() {
    MainWindow window(folder.path());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Editor()->setFocus();
    QTest::keyClick(window.Editor(), Qt::Key_Delete, Qt::ControlModifier);  // Clear All, not delete-word
    QCOMPARE(window.Editor()->toPlainText(), QString());
    QVERIFY(window.Action(IdEditUndo)->isEnabled());
    window.Action(IdEditUndo)->trigger();
    QCOMPARE(window.Editor()->toPlainText(), QString::fromLatin1(BatchHelpText).remove('\r'));
  }

  void FindReplaceAndNext() {
    MainWindow window(folder.path());
    window.Editor()->setPlainText("Valley x 10\nvalley\nHills\nVALLEY Final\n");
    window.Action(IdEditReplace)->trigger();
    FindDialog* finder = window.Finder();
    finder->findField()->setText("valley");
    finder->replaceField()->setText("Lake Lake");
    QCOMPARE(finder->ReplaceAll(), 3);
    QCOMPARE(window.Editor()->toPlainText(), QString("Lake Lake x 10\nLake Lake\nHills\nLake Lake Final\n"));
    window.Editor()->undo();  // one step for them all
    QCOMPARE(window.Editor()->toPlainText(), QString("Valley x 10\nvalley\nHills\nVALLEY Final\n"));
    finder->matchCaseBox()->setChecked(true);
    window.Editor()->moveCursor(QTextCursor::Start);
    window.Action(IdEditRepeat)->trigger();  // F3: finds the next match, case-sensitive
    QCOMPARE(window.Editor()->textCursor().selectionStart(), 12);
    QVERIFY(!finder->FindNext());
  }

  void F9RunsTheListAndReportsWithoutBlockingTheWindow() {
    WriteAll(folder.filePath("orvelle2"),
             "#!/bin/sh\necho \"$*\" >> calls.log\ncase \"$1\" in slow) exec sleep 60 ;; broken) exit 4 ;; esac\n");
    QFile::setPermissions(folder.filePath("orvelle2"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    MainWindow window(folder.path());
    window.pollMilliseconds = 20;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.Editor()->setPlainText("/ list\nfirst x 64\nbroken\nlast Final\n");
    QSignalSpy finished(&window, &MainWindow::batchFinished);
    MessageAnswerer answerer;
    QTest::keyClick(window.Editor(), Qt::Key_F9);
    QVERIFY(window.BatchRunning());
    QVERIFY(!window.Action(IdStartBatchRender)->isEnabled());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toString(),
             QString("Batch complete. 3 landscape files processed.\n1 of them failed."));
    QTRY_COMPARE(answerer.texts, QStringList{finished.first().first().toString()});
    QCOMPARE(ReadAll("calls.log"), QByteArray("first -r -x64\nbroken -r\nlast -r -q2\n"));
    QVERIFY(window.Action(IdStartBatchRender)->isEnabled());

    // Cancel ends the running job and stops.
    finished.clear();
    window.Editor()->setPlainText("slow\nnever\n");
    window.Action(IdStartBatchRender)->trigger();
    QProgressDialog* progress = window.findChild<QProgressDialog*>();
    QVERIFY(progress);
    QTRY_VERIFY(ReadAll("calls.log").contains("slow"));
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QString("Cancel"));
    cancel->click();
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().first().toString(),
             QString("Batch cancelled at line 1. 1 landscape files processed.\n1 of them failed."));
    QVERIFY(!ReadAll("calls.log").contains("never"));
  }

  void RecentFilesAfterOpenAndSave() {
    MainWindow window(folder.path());
    QStringList paths;
    for (int i = 1; i <= 5; i++) {
      paths << folder.filePath(QString("list%1.txt").arg(i));
      WriteAll(paths.back(), "Valley\n");
    }
    QVERIFY(window.OpenDocument(paths[0]));
    QVERIFY(window.SaveDocument(paths[1]));
    QCOMPARE(window.RecentFiles(), (QStringList{paths[1], paths[0]}));
    QCOMPARE(window.windowTitle(), QString("list2.txt[*] - Brellon - Orvelle 2 Batch Rendering Controller"));
    for (int i = 2; i < 5; i++)
      QVERIFY(window.OpenDocument(paths[i]));
    QCOMPARE(window.RecentFiles(), (QStringList{paths[4], paths[3], paths[2], paths[1]}));
    // Kept in ./Batch.ini, and listed in the File menu before Exit.
    QSettings profile(folder.filePath("Batch.ini"), QSettings::IniFormat);
    QCOMPARE(profile.value("Recent File List/File1").toString(), paths[4]);
    const QStringList file = Entries(window.menuBar()->actions().first()->menu());
    QCOMPARE(file.mid(file.size() - 7),
             (QStringList{"-", "&1 " + paths[4] + "||", "&2 " + paths[3] + "||", "&3 " + paths[2] + "||",
                          "&4 " + paths[1] + "||", "-", "E&xit|Alt+F4|Quits Batch and prompts to save the documents"}));
    // Re-opening moves an entry to the front without doubling it.
    QVERIFY(window.OpenDocument(paths[2]));
    QCOMPARE(window.RecentFiles(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));
  }

  void FilesKeepTheirBytesAndFailuresAreTold() {
    MainWindow window(folder.path());
    const QByteArray latin1(
        "Vall\xe9"
        "e x 10\r\nLac\r\n",
        18);
    WriteAll(folder.filePath("old.txt"), latin1);
    QVERIFY(window.OpenDocument(folder.filePath("old.txt")));
    QCOMPARE(window.Editor()->toPlainText(), QString::fromUtf8("Vall\xc3\xa9"
                                                               "e x 10\nLac\n"));
    QVERIFY(window.SaveDocument(folder.filePath("copy.txt")));
    QCOMPARE(ReadAll(folder.filePath("copy.txt")), latin1);

    MessageAnswerer answerer;
    QVERIFY(!window.OpenDocument(folder.filePath("missing.txt")));
    QVERIFY(!window.SaveDocument(folder.filePath("no-such-dir/x.txt")));
    QTRY_COMPARE(answerer.texts.size(), 2);
    QCOMPARE(answerer.texts[0], "Unable to read file " + folder.filePath("missing.txt") + " from disk.");
    QCOMPARE(answerer.texts[1], "Unable to write file " + folder.filePath("no-such-dir/x.txt") + " to disk.");
    QCOMPARE(window.DocumentPath(), folder.filePath("copy.txt"));
  }

  void DroppedFilesOpenTheFirst() {
    MainWindow window(folder.path());
    WriteAll(folder.filePath("a.txt"), "Alpha\n");
    WriteAll(folder.filePath("b.txt"), "Beta\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder.filePath("a.txt")), QUrl::fromLocalFile(folder.filePath("b.txt"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.Editor()->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.Editor()->viewport(), &drop);
    QCOMPARE(window.DocumentPath(), folder.filePath("a.txt"));
    QCOMPARE(window.Editor()->toPlainText(), QString("Alpha\n"));
  }

  void PrintsToPdfInPages() {
    MainWindow window(folder.path());
    QStringList lines;
    for (int i = 1; i <= 150; i++)
      lines << QString("landscape%1 x 640 y 480 Final").arg(i);
    lines << QString(600, 'w');  // longer than a row: continued on the next rows, not lost
    window.Editor()->setPlainText(lines.join('\n'));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("list.pdf"));
    QVERIFY(window.PrintDocument(printer));
    const QByteArray pdf = ReadAll(folder.filePath("list.pdf"));
    QVERIFY(pdf.startsWith("%PDF"));
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const DocumentPrinter layout(window.Editor()->toPlainText(), &printer, page.height(), page.width());
    QVERIFY(layout.LineHeight() > 0);
    QCOMPARE(layout.RowsPerPage(), page.height() / layout.LineHeight());
    const int rows = 150 + 3;  // 600 characters take three rows of at most 255
    QCOMPARE(layout.PageCount(), (rows + layout.RowsPerPage() - 1) / layout.RowsPerPage());
    QVERIFY(layout.PageCount() > 1);
    QCOMPARE(int(QString::fromLatin1(pdf).count(QRegularExpression("/Type\\s*/Page[^s]"))), layout.PageCount());
  }

  void AboutBoxShowsTheVersion() {
    AboutDialog about(nullptr);
    QCOMPARE(about.windowTitle(), QString("About Batch"));
    QCOMPARE(about.VersionLine(), "Orvelle 2 Batch Version " + BatchVersion().productVersion);
    QVERIFY(about.findChild<QLabel*>("version"));
  }

  void RegistrationWritesAndRemovesDesktopFiles() {
    const QString data = folder.filePath("data");
    QDir().mkpath(data + "/applications");
    WriteAll(data + "/applications/mimeapps.list",
             "[Default Applications]\ntext/plain=editor.desktop;\n[Added Associations]\ntext/plain=editor.desktop;\n"
             "image/png=viewer.desktop;\n");
    QCOMPARE(RegisterBatchApplication(data, "/opt/my $batch/batch"), QStringList());
    const QString entry = QString::fromUtf8(ReadAll(data + "/applications/Batch.Application.desktop"));
    QVERIFY2(entry.contains("Exec=\"/opt/my \\\\$batch/batch\" %f\n"), qPrintable(entry));
    QVERIFY(entry.contains("MimeType=text/plain;\n"));
    QVERIFY(entry.contains("X-Batch-Document-1-DefaultIcon=/opt/my $batch/batch,1\n"));
    QVERIFY(QFile::exists(data + "/icons/hicolor/64x64/apps/orvelle-batch.png"));
    const QByteArray associations =
        "[Default Applications]\ntext/plain=editor.desktop;\n[Added Associations]\n"
        "text/plain=Batch.Application.desktop;editor.desktop;\nimage/png=viewer.desktop;\n";
    QCOMPARE(ReadAll(data + "/applications/mimeapps.list"), associations);
    // Written anew at every start, without doubling.
    QCOMPARE(RegisterBatchApplication(data, "/opt/my $batch/batch"), QStringList());
    QCOMPARE(ReadAll(data + "/applications/mimeapps.list"), associations);

    QCOMPARE(UnregisterBatchApplication(data), QStringList());
    QVERIFY(!QFile::exists(data + "/applications/Batch.Application.desktop"));
    QVERIFY(!QFile::exists(data + "/icons/hicolor/64x64/apps/orvelle-batch.png"));
    QCOMPARE(ReadAll(data + "/applications/mimeapps.list"),
             QByteArray("[Default Applications]\ntext/plain=editor.desktop;\n[Added Associations]\n"
                        "text/plain=editor.desktop;\nimage/png=viewer.desktop;\n"));

    // A data directory that cannot be written is reported, key by key.
    WriteAll(folder.filePath("file"), "");
    const QStringList failures = RegisterBatchApplication(folder.filePath("file"), "/b");
    QVERIFY(!failures.isEmpty());
    QVERIFY2(failures.first().startsWith("Registry failure on key: " + folder.filePath("file") + "/"),
             qPrintable(failures.first()));

    QVERIFY(AsksToUnregister({"/Unregister"}));
    QVERIFY(AsksToUnregister({"list.txt", "-UNREGISTER"}));
    QVERIFY(!AsksToUnregister({"unregistered"}));
  }

 private:
  QTemporaryDir folder;
};

QTEST_MAIN(BatchGuiTest)
#include "batch_gui_test.moc"
