// The printer the report writer prints on: a small interface over Qt's
// printer, so that the printer is injectable. The programs use the system's
// default printer; tests and machines without one use a PDF printer on a file
// (which counts as installed) or an image printer that keeps each page as an
// image. "No printer installed" is InstallPrinter(nullptr).
#pragma once

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_types.h"

namespace report {

// What the writer asks of the device, in device pixels (the Windows device
// capabilities PHYSICALWIDTH/HEIGHT, PHYSICALOFFSETX/Y, HORZRES/VERTRES and
// LOGPIXELSX/Y).
struct DeviceCaps {
  int dpiX = 300, dpiY = 300;
  int physicalWidth = 2550, physicalHeight = 3300;
  int offsetX = 0, offsetY = 0;
  int horzRes = 2550, vertRes = 3300;
};

class ReportPrinter {
 public:
  virtual ~ReportPrinter() = default;
  virtual std::string DeviceName() const = 0;
  virtual std::string DriverName() const = 0;
  virtual std::string PortName() const = 0;
  virtual void SetPort(const std::string& port) = 0;
  virtual DeviceCaps Caps() const = 0;
  virtual TOrientation Orientation() const = 0;
  virtual void SetOrientation(TOrientation orientation) = 0;
  virtual int Copies() const = 0;
  virtual void SetCopies(int copies) = 0;
  // The device mode's paper fields: Windows paper id, width and length in
  // tenths of a millimetre.
  virtual int PaperSize() const = 0;
  virtual int PaperWidth() const = 0;
  virtual int PaperLength() const = 0;

  // The job. The painter draws in device pixels from the printable area's
  // top-left corner.
  virtual bool BeginDoc(const std::string& title) = 0;
  virtual QPainter* Painter() = 0;
  virtual void NewPage() = 0;
  virtual void Abort() = 0;
  virtual void EndDoc() = 0;
  virtual bool Printing() const = 0;
  // Raw bytes for the device, unchanged. False where the device cannot take
  // raw data (then nothing was sent).
  virtual bool PassThrough(std::string_view bytes) = 0;
  // A device the writer may measure text on outside a job.
  virtual QPaintDevice* ReferenceDevice() = 0;
  // The file a job is written to, as an absolute path; empty for a device
  // that prints on paper.
  virtual std::string OutputFile() const { return {}; }
};

// A Qt printer: the system's printer, or a PDF file.
class QtReportPrinter : public ReportPrinter {
 public:
  // The system's default printer; null when the system has none.
  static std::unique_ptr<QtReportPrinter> SystemDefault();
  // A PDF printer on `fileName`: Letter paper, `dpi` resolution, a border
  // of `borderInches` the device cannot print on. Raw data given to this
  // printer goes to `fileName` + ".raw", as a print-to-file port keeps it.
  static std::unique_ptr<QtReportPrinter> Pdf(const std::string& fileName, int dpi = 300,
                                               double borderInches = 0.25);

  std::string DeviceName() const override;
  std::string DriverName() const override;
  std::string PortName() const override;
  void SetPort(const std::string& port) override { port_ = port; }
  DeviceCaps Caps() const override;
  TOrientation Orientation() const override;
  void SetOrientation(TOrientation orientation) override;
  int Copies() const override { return printer_->copyCount(); }
  void SetCopies(int copies) override { printer_->setCopyCount(copies); }
  int PaperSize() const override;
  int PaperWidth() const override;
  int PaperLength() const override;
  bool BeginDoc(const std::string& title) override;
  QPainter* Painter() override { return &painter_; }
  void NewPage() override { printer_->newPage(); }
  void Abort() override;
  void EndDoc() override;
  bool Printing() const override { return painter_.isActive(); }
  bool PassThrough(std::string_view bytes) override;
  QPaintDevice* ReferenceDevice() override { return printer_.get(); }
  std::string OutputFile() const override;
  QPrinter& printer() { return *printer_; }

 private:
  QtReportPrinter() = default;
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  std::string port_;
  std::string rawFile_;  // empty: the device takes no raw data
  bool pdf_ = false;
};

// A printer whose pages are images: each finished page is kept as a QImage
// of the printable area. Raw data is kept in RawData().
class ImageReportPrinter : public ReportPrinter {
 public:
  ImageReportPrinter(int dpi = 100, double widthInches = 8.5, double heightInches = 11.0,
                     double borderInches = 0.25);
  std::string DeviceName() const override { return "Image Printer"; }
  std::string DriverName() const override { return "Image"; }
  std::string PortName() const override { return port_; }
  void SetPort(const std::string& port) override { port_ = port; }
  DeviceCaps Caps() const override;
  TOrientation Orientation() const override { return orientation_; }
  void SetOrientation(TOrientation orientation) override;
  int Copies() const override { return copies_; }
  void SetCopies(int copies) override { copies_ = copies; }
  int PaperSize() const override { return 0; }
  int PaperWidth() const override;
  int PaperLength() const override;
  bool BeginDoc(const std::string& title) override;
  QPainter* Painter() override { return &painter_; }
  void NewPage() override;
  void Abort() override;
  void EndDoc() override;
  bool Printing() const override { return painter_.isActive(); }
  bool PassThrough(std::string_view bytes) override;
  QPaintDevice* ReferenceDevice() override { return &reference_; }

  // The pages of the last finished job (none after an abort).
  const std::vector<QImage>& Pages() const { return pages_; }
  const std::string& RawData() const { return raw_; }
  const std::string& Title() const { return title_; }
  int JobsStarted() const { return jobs_; }
  bool LastJobAborted() const { return aborted_; }

 private:
  QImage NewImage() const;
  int dpi_;
  double width_, height_, border_;
  TOrientation orientation_ = poPortrait;
  int copies_ = 1;
  std::string port_, title_, raw_;
  QImage current_, reference_;
  QPainter painter_;
  std::vector<QImage> pages_, pending_;
  int jobs_ = 0;
  bool aborted_ = false;
};

// The process's printer. Until one is installed the system's default printer
// serves, else a PDF printer on "PRINTS/REPORT.PDF" under the root folder.
std::shared_ptr<ReportPrinter> InstalledPrinter();
// Installs a printer; null means that no printer is installed.
void InstallPrinter(std::shared_ptr<ReportPrinter> printer);

}  // namespace report
