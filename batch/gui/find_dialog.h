// The Find and Replace dialog: modeless, it searches the editor from the insertion point.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QPlainTextEdit;

class FindDialog : public QDialog {
  Q_OBJECT
 public:
  FindDialog(QPlainTextEdit* editor, QWidget* parent);

  // Shows the dialog for finding only or for replacing as well.
  void Open(bool replace);
  // Finds the next match of the current text; false (with a beep) when there is none.
  bool FindNext();
  bool HasSearch() const;
  // Replaces the selected match and finds the next; replaces every match.
  void ReplaceOne();
  int ReplaceAll();

  QLineEdit* findField() const { return find_; }
  QLineEdit* replaceField() const { return replace_; }
  QCheckBox* matchCaseBox() const { return matchCase_; }

 private:
  bool SelectionMatches() const;

  QPlainTextEdit* editor_;
  QLineEdit* find_;
  QLineEdit* replace_;
  QLabel* replaceLabel_;
  QCheckBox* matchCase_;
  QPushButton* replaceButton_;
  QPushButton* replaceAllButton_;
};
