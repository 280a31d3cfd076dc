// Printing a batch list: Arial 12 (or the closest installed font), one printed row per line
// height, as many rows per page as the printable height holds.
#pragma once

#include <QFont>
#include <QStringList>

class QPaintDevice;
class QPrinter;

class DocumentPrinter {
 public:
  // Lays `text` out for `device` (a printer's page).
  DocumentPrinter(const QString& text, QPaintDevice* device, int pageHeight, int pageWidth);

  static QFont PrintFont();
  int PageCount() const;
  int RowsPerPage() const { return rowsPerPage_; }
  int LineHeight() const { return lineHeight_; }
  // Prints pages fromPage..toPage (1-based; 0 0 for all) on `printer`.
  bool Print(QPrinter& printer, int fromPage = 0, int toPage = 0) const;

 private:
  QFont font_;
  QStringList rows_;
  int lineHeight_ = 10;
  int rowsPerPage_ = 1;
};
