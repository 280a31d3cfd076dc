#include "batch/gui/find_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

FindDialog::FindDialog(QPlainTextEdit* editor, QWidget* parent) : QDialog(parent), editor_(editor) {
  find_ = new QLineEdit(this);
  replace_ = new QLineEdit(this);
  replaceLabel_ = new QLabel("Re&place with:", this);
  replaceLabel_->setBuddy(replace_);
  auto* findLabel = new QLabel("Fi&nd what:", this);
  findLabel->setBuddy(find_);
  matchCase_ = new QCheckBox("Match &case", this);
  auto* next = new QPushButton("&Find Next", this);
  next->setDefault(true);
  replaceButton_ = new QPushButton("&Replace", this);
  replaceAllButton_ = new QPushButton("Replace &All", this);
  auto* close = new QPushButton("Close", this);
  auto* layout = new QGridLayout(this);
  layout->addWidget(findLabel, 0, 0);
  layout->addWidget(find_, 0, 1);
  layout->addWidget(next, 0, 2);
  layout->addWidget(replaceLabel_, 1, 0);
  layout->addWidget(replace_, 1, 1);
  layout->addWidget(replaceButton_, 1, 2);
  layout->addWidget(matchCase_, 2, 0, 1, 2);
  layout->addWidget(replaceAllButton_, 2, 2);
  layout->addWidget(close, 3, 2);
  connect(next, &QPushButton::clicked, this, [this] { FindNext(); });
  connect(replaceButton_, &QPushButton::clicked, this, &FindDialog::ReplaceOne);
  connect(replaceAllButton_, &QPushButton::clicked, this, [this] { ReplaceAll(); });
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

void FindDialog::Open(bool replace) {
  setWindowTitle(replace ? "Replace" : "Find");
  for (QWidget* w : {static_cast<QWidget*>(replace_), static_cast<QWidget*>(replaceLabel_),
                     static_cast<QWidget*>(replaceButton_), static_cast<QWidget*>(replaceAllButton_)})
    w->setVisible(replace);
  const QString selected = editor_->textCursor().selectedText();
  if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
    find_->setText(selected);
  show();
  raise();
  activateWindow();
  find_->setFocus();
  find_->selectAll();
}

bool FindDialog::HasSearch() const { return !find_->text().isEmpty(); }

bool FindDialog::FindNext() {
  if (!HasSearch())
    return false;
  const QTextDocument::FindFlags flags =
      matchCase_->isChecked() ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
  if (editor_->find(find_->text(), flags))
    return true;
  QApplication::beep();
  return false;
}

bool FindDialog::SelectionMatches() const {
  const Qt::CaseSensitivity sensitivity = matchCase_->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
  return editor_->textCursor().hasSelection() &&
         editor_->textCursor().selectedText().compare(find_->text(), sensitivity) == 0;
}

void FindDialog::ReplaceOne() {
  if (SelectionMatches()) {
    QTextCursor cursor = editor_->textCursor();
    cursor.insertText(replace_->text());
    editor_->setTextCursor(cursor);
  }
  FindNext();
}

int FindDialog::ReplaceAll() {
  if (!HasSearch())
    return 0;
  const QTextDocument::FindFlags flags =
      matchCase_->isChecked() ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
  QTextDocument* document = editor_->document();
  // One undo step for the whole replacement; each search starts after the last replacement.
  QTextCursor edit(document);
  edit.beginEditBlock();
  int count = 0;
  for (QTextCursor found = document->find(find_->text(), 0, flags); !found.isNull();
       found = document->find(find_->text(), found, flags)) {
    found.insertText(replace_->text());
    count++;
  }
  edit.endEditBlock();
  return count;
}
