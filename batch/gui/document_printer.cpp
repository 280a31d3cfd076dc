#include "batch/gui/document_printer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace {

// A line is read into a buffer of 255 characters; the rest of a longer line is printed on
// the rows that follow rather than dropped.
constexpr int LineBuffer = 255;

}  // namespace

QFont DocumentPrinter::PrintFont() {
  QFont font("Arial");
  font.setStyleHint(QFont::SansSerif);  // the closest installed font when Arial is missing
  font.setPointSize(12);
  return font;
}

DocumentPrinter::DocumentPrinter(const QString& text, QPaintDevice* device, int pageHeight, int pageWidth)
    : font_(PrintFont(), device) {
  const QFontMetrics metrics(font_, device);
  lineHeight_ = metrics.height() + metrics.leading();
  if (lineHeight_ <= 0)
    lineHeight_ = 10;
  rowsPerPage_ = std::max(1, pageHeight / lineHeight_);
  for (const QString& line : text.split('\n')) {
    QString rest = line;
    rest.remove('\r');
    do {
      // The longest piece within the buffer that fits the page width (at least one character).
      int length = std::min<int>(rest.size(), LineBuffer);
      while (length > 1 && metrics.horizontalAdvance(rest.left(length)) > pageWidth)
        length--;
      rows_ << rest.left(length);
      rest.remove(0, length);
    } while (!rest.isEmpty());
  }
}

int DocumentPrinter::PageCount() const { return std::max<int>(1, (rows_.size() + rowsPerPage_ - 1) / rowsPerPage_); }

bool DocumentPrinter::Print(QPrinter& printer, int fromPage, int toPage) const {
  const int first = fromPage > 0 ? fromPage : 1;
  const int last = toPage > 0 ? std::min(toPage, PageCount()) : PageCount();
  QPainter painter;
  if (!painter.begin(&printer))
    return false;
  painter.setFont(font_);
  const int ascent = QFontMetrics(font_, &printer).ascent();
  for (int page = first; page <= last; page++) {
    if (page > first && !printer.newPage())
      return false;
    const int start = (page - 1) * rowsPerPage_;
    for (int row = 0; row < rowsPerPage_ && start + row < rows_.size(); row++)
      painter.drawText(0, row * lineHeight_ + ascent, rows_[start + row]);
  }
  return painter.end();
}
