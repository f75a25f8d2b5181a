#include "report/printer.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <filesystem>
#include <fstream>

#include "platform/paths.h"

namespace report {

namespace {
// Windows' device-mode orientation is separate from the paper; the paint
// rectangle turns with it, as the device capabilities do.
QPageLayout::Orientation ToQt(TOrientation o) {
  return o == poLandScape ? QPageLayout::Landscape : QPageLayout::Portrait;
}
}  // namespace

std::unique_ptr<QtReportPrinter> QtReportPrinter::SystemDefault() {
  QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  std::unique_ptr<QtReportPrinter> p(new QtReportPrinter);
  p->printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  return p;
}

std::unique_ptr<QtReportPrinter> QtReportPrinter::Pdf(const std::string& fileName, int dpi, double border) {
  std::unique_ptr<QtReportPrinter> p(new QtReportPrinter);
  p->printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  p->printer_->setOutputFormat(QPrinter::PdfFormat);
  p->printer_->setOutputFileName(QString::fromStdString(fileName));
  p->printer_->setResolution(dpi);
  p->printer_->setPageSize(QPageSize(QPageSize::Letter));
  p->printer_->setPageMargins(QMarginsF(border, border, border, border), QPageLayout::Inch);
  p->printer_->setFullPage(false);
  p->pdf_ = true;
  p->rawFile_ = fileName + ".raw";
  return p;
}

std::string QtReportPrinter::DeviceName() const {
  return pdf_ ? std::string("PDF") : printer_->printerName().toStdString();
}
std::string QtReportPrinter::DriverName() const { return pdf_ ? "Qt PDF" : "Qt"; }
std::string QtReportPrinter::PortName() const {
  if (!port_.empty()) return port_;
  return pdf_ ? printer_->outputFileName().toStdString() : std::string();
}

DeviceCaps QtReportPrinter::Caps() const {
  DeviceCaps c;
  int dpi = printer_->resolution();
  QPageLayout layout = printer_->pageLayout();
  QRect full = layout.fullRectPixels(dpi);
  QRect paint = layout.paintRectPixels(dpi);
  c.dpiX = c.dpiY = dpi;
  c.physicalWidth = full.width();
  c.physicalHeight = full.height();
  c.offsetX = paint.x();
  c.offsetY = paint.y();
  c.horzRes = paint.width();
  c.vertRes = paint.height();
  return c;
}

TOrientation QtReportPrinter::Orientation() const {
  return printer_->pageLayout().orientation() == QPageLayout::Landscape ? poLandScape : poPortrait;
}

void QtReportPrinter::SetOrientation(TOrientation o) {
  if (o != poDefault) printer_->setPageOrientation(ToQt(o));
}

int QtReportPrinter::PaperSize() const { return printer_->pageLayout().pageSize().windowsId(); }
int QtReportPrinter::PaperWidth() const {
  return static_cast<int>(printer_->pageLayout().pageSize().size(QPageSize::Millimeter).width() * 10 + 0.5);
}
int QtReportPrinter::PaperLength() const {
  return static_cast<int>(printer_->pageLayout().pageSize().size(QPageSize::Millimeter).height() * 10 + 0.5);
}

std::string QtReportPrinter::OutputFile() const {
  if (!pdf_) return {};
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(printer_->outputFileName().toStdString(), ec);
  return ec ? printer_->outputFileName().toStdString() : file.lexically_normal().string();
}

bool QtReportPrinter::BeginDoc(const std::string& title) {
  printer_->setDocName(QString::fromStdString(title));
  if (!rawFile_.empty()) {
    std::error_code ec;
    std::filesystem::remove(rawFile_, ec);
  }
  return painter_.begin(printer_.get());
}

void QtReportPrinter::Abort() {
  // A PDF writer cannot abort; end it and drop the file instead.
  if (!printer_->abort() && painter_.isActive()) {
    painter_.end();
    if (pdf_) {
      std::error_code ec;
      std::filesystem::remove(printer_->outputFileName().toStdString(), ec);
    }
  }
}

void QtReportPrinter::EndDoc() {
  if (painter_.isActive()) painter_.end();
}

bool QtReportPrinter::PassThrough(std::string_view bytes) {
  if (rawFile_.empty() || !painter_.isActive()) return false;
  std::ofstream out(rawFile_, std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// ---- image printer ----

ImageReportPrinter::ImageReportPrinter(int dpi, double w, double h, double border)
    : dpi_(dpi), width_(w), height_(h), border_(border) {
  reference_ = QImage(8, 8, QImage::Format_RGB32);
  int dpm = static_cast<int>(dpi_ / 0.0254 + 0.5);
  reference_.setDotsPerMeterX(dpm);
  reference_.setDotsPerMeterY(dpm);
}

DeviceCaps ImageReportPrinter::Caps() const {
  DeviceCaps c;
  bool land = orientation_ == poLandScape;
  double w = land ? height_ : width_, h = land ? width_ : height_;
  c.dpiX = c.dpiY = dpi_;
  c.physicalWidth = static_cast<int>(w * dpi_ + 0.5);
  c.physicalHeight = static_cast<int>(h * dpi_ + 0.5);
  c.offsetX = c.offsetY = static_cast<int>(border_ * dpi_ + 0.5);
  c.horzRes = c.physicalWidth - 2 * c.offsetX;
  c.vertRes = c.physicalHeight - 2 * c.offsetY;
  return c;
}

void ImageReportPrinter::SetOrientation(TOrientation o) {
  if (o != poDefault) orientation_ = o;
}

int ImageReportPrinter::PaperWidth() const { return static_cast<int>(width_ * 254 + 0.5); }
int ImageReportPrinter::PaperLength() const { return static_cast<int>(height_ * 254 + 0.5); }

QImage ImageReportPrinter::NewImage() const {
  DeviceCaps c = Caps();
  QImage image(c.horzRes, c.vertRes, QImage::Format_RGB32);
  image.setDotsPerMeterX(reference_.dotsPerMeterX());
  image.setDotsPerMeterY(reference_.dotsPerMeterY());
  image.fill(Qt::white);
  return image;
}

bool ImageReportPrinter::BeginDoc(const std::string& title) {
  title_ = title;
  raw_.clear();
  pending_.clear();
  aborted_ = false;
  ++jobs_;
  current_ = NewImage();
  return painter_.begin(&current_);
}

void ImageReportPrinter::NewPage() {
  if (!painter_.isActive()) return;
  painter_.end();
  pending_.push_back(current_);
  current_ = NewImage();
  painter_.begin(&current_);
}

void ImageReportPrinter::Abort() {
  if (painter_.isActive()) painter_.end();
  pending_.clear();
  aborted_ = true;
}

void ImageReportPrinter::EndDoc() {
  if (!painter_.isActive()) return;
  painter_.end();
  pending_.push_back(current_);
  pages_ = std::move(pending_);
  pending_.clear();
}

bool ImageReportPrinter::PassThrough(std::string_view bytes) {
  if (!painter_.isActive()) return false;
  raw_.append(bytes);
  return true;
}

// ---- the installed printer ----

namespace {
struct Installed {
  bool chosen = false;
  std::shared_ptr<ReportPrinter> printer;
};
Installed& State() {
  static Installed s;
  return s;
}
}  // namespace

std::shared_ptr<ReportPrinter> InstalledPrinter() {
  Installed& s = State();
  if (!s.chosen) {
    s.chosen = true;
    if (auto p = QtReportPrinter::SystemDefault()) {
      s.printer = std::move(p);
    } else {
      auto dir = platform::RootDir() / "PRINTS";
      std::error_code ec;
      std::filesystem::create_directories(dir, ec);
      s.printer = QtReportPrinter::Pdf((dir / "REPORT.PDF").string());
    }
  }
  return s.printer;
}

void InstallPrinter(std::shared_ptr<ReportPrinter> printer) {
  State().chosen = true;
  State().printer = std::move(printer);
}

}  // namespace report
