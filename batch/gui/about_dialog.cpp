#include "batch/gui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "host/version.h"

BatchVersionInfo BatchVersion() { return {"Orvelle 2 Batch", OrvelleVersion, QString(), QString()}; }

AboutDialog::AboutDialog(QWidget* parent, const BatchVersionInfo& info) : QDialog(parent) {
  setWindowTitle("About Batch");
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(":/orvelle-batch.png"));
  auto* lines = new QVBoxLayout;
  versionLine_ = QString("%1 %2 %3").arg(info.productName, "Version", info.productVersion);
  auto* version = new QLabel(versionLine_, this);
  version->setObjectName("version");
  lines->addWidget(version);
  for (const QString& text : {info.legalCopyright, info.specialBuild})
    if (!text.isEmpty())
      lines->addWidget(new QLabel(text, this));
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addLayout(lines, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
}
