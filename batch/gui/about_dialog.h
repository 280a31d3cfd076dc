// The about box: the product name and version from the program's version record.
#pragma once

#include <QDialog>
#include <QString>

// What the program says about itself.
struct BatchVersionInfo {
  QString productName;
  QString productVersion;
  QString legalCopyright;  // empty: not shown
  QString specialBuild;    // empty: not shown
};

BatchVersionInfo BatchVersion();

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent, const BatchVersionInfo& info = BatchVersion());
  // The version line: product name, "Version", product version.
  QString VersionLine() const { return versionLine_; }

 private:
  QString versionLine_;
};
