// The report writer's base: the page model (paper, margins, a printable
// section, columns), a text cursor that moves by lines and columns, tab stops
// that draw boxes and shading, fonts, pens and brushes, units and page
// selection, and the status line. It draws nothing itself: every primitive
// ends in Emit(), which a canvas writer draws (canvas_report.h) and the
// stream recorder records (stream_report.h).
//
// Every length is held in inches; callers pass and get the report's units.
// Texts are Windows-1252 bytes, as the report stream keeps them.
#pragma once

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointF>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/printer.h"
#include "report/report_types.h"
#include "report/stream_format.h"

namespace report {

inline constexpr const char* kNotPrinting = "Invalid method call.  ReportWriter is not printing.";
inline constexpr const char* kAlreadyPrinting = "Invalid method call.  ReportWriter already printing.";
inline constexpr const char* kCanvasNotActive = "Error!  Canvas not yet active.";
inline constexpr const char* kNoPrinters = "No printers are defined, aborting print job.";
// Position, box-line and shade arguments: "use the tab stop's own setting".
inline constexpr int kDefault = -32768;

class EReportWriter : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TabStop {
  double position = 0;  // inches from the paper edge, before the column offset
  int justify = 1;      // 0 centre, 1 left, 2 right
  double width = 0, margin = 0;
  bool left = false, right = false, top = false, bottom = false;
  int shade = 0;  // percent; 0 = the report's TabShade
};

struct ReportFont {
  std::string name = "Arial";
  double size = 10;  // points
  int height = -42;  // device pixels; negative = character height
  TColor color = clBlack;
  TFontPitch pitch = fpDefault;
  int style = 0;  // kFontBold | kFontItalic | kFontUnderline | kFontStrikeOut
};

struct ReportPen {
  TColor color = clBlack;
  TPenStyle style = psSolid;
  int width = 1;  // device pixels
  TPenMode mode = pmCopy;
};

struct ReportBrush {
  TColor color = clWhite;
  TBrushStyle style = bsSolid;
  std::shared_ptr<const QImage> bitmap;  // pattern; null when none
};

// One drawing operation on its way to a canvas or a stream: positions in
// inches from the paper edge (the origin not yet added), numbers per code
// (colours, styles, scale factors, corner sizes), text, graphic.
struct DrawOp {
  RecordCode code = rcMoveTo;
  std::vector<QPointF> points;
  std::vector<double> numbers;
  std::string text;
  QImage image;
  TGraphicKind kind = gkBitmap;
};

class TBaseReport {
 public:
  explicit TBaseReport(std::shared_ptr<ReportPrinter> printer = InstalledPrinter());
  virtual ~TBaseReport();
  TBaseReport(const TBaseReport&) = delete;
  TBaseReport& operator=(const TBaseReport&) = delete;

  // ---- properties ----
  static std::string Version() { return "2.0 (32 bit)"; }
  int FirstPage = 1;
  int LastPage = 9999;
  std::string StatusFormat = "Printing page %p";
  std::vector<std::string> StatusText;
  std::string Title = "ReportWriter Report";
  int TabShade = 0;  // percent
  TLineHeightMethod LineHeightMethod = lhmLinesPerInch;
  QLabel* StatusLabel() const { return statusLabel_; }
  void SetStatusLabel(QLabel* label) { statusLabel_ = label; }
  double LinesPerInch() const { return linesPerInch_; }
  void SetLinesPerInch(double lpi);  // <= 0 is ignored
  TUnits Units() const { return units_; }
  void SetUnits(TUnits units);
  double UnitsFactor() const { return unitsFactor_; }
  void SetUnitsFactor(double factor);  // <= 0 is ignored
  double MarginLeft() const { return ToUnits(marginLeftValue_); }
  double MarginRight() const { return ToUnits(marginRightValue_); }
  double MarginTop() const { return ToUnits(marginTopValue_); }
  double MarginBottom() const { return ToUnits(marginBottomValue_); }
  void SetMarginLeft(double v);
  void SetMarginRight(double v);
  void SetMarginTop(double v);
  void SetMarginBottom(double v);
  TBKMode TextBKMode() const { return bkMode_; }
  virtual void SetTextBKMode(TBKMode mode) { bkMode_ = mode; }
  int Copies() const { return copies_; }
  void SetCopies(int copies);
  TOrientation Orientation() const { return orientation_; }
  void SetOrientation(TOrientation orientation);
  double ScaleX() const { return scaleX_; }
  double ScaleY() const { return scaleY_; }
  // A scale of 0 or less, not a number or beyond reason is ignored: widths
  // divide by it, and the stream could not hold the result.
  virtual void SetScaleX(double percent) {
    if (percent > 0 && percent < 1e6) scaleX_ = percent;
  }
  virtual void SetScaleY(double percent) {
    if (percent > 0 && percent < 1e6) scaleY_ = percent;
  }
  double ZoomFactor() const { return zoom_; }

  // ---- events ----
  std::function<void(TBaseReport&)> OnPrint, OnBeforePrint, OnAfterPrint, OnNewPage, OnPrintHeader,
      OnPrintFooter;
  std::function<bool(TBaseReport&)> OnPrintPage;  // true while more pages follow

  // ---- run ----
  virtual void Execute() = 0;
  virtual int GetOutputKind() const { return 0; }  // 0 printer, 1 preview, 2 file
  virtual void NewPage();
  virtual void CancelPage();
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  bool PageSuppressed() const { return suppressed_; }
  int CurrentPage() const { return pageNumber_; }
  void CheckPrinting() const;
  void CheckNotPrinting() const;
  bool NoPrinters() const { return !printer_; }
  void InitPageState();
  void UpdateStatus();
  // The status caption UpdateStatus shows (Windows-1252, at most 255 bytes).
  std::string FormatStatus() const;
  const std::shared_ptr<ReportPrinter>& Printer() const { return printer_; }
  void SetPrinter(std::shared_ptr<ReportPrinter> printer);
  std::string PrinterDeviceName() const { return deviceName_; }
  std::string PrinterDriverName() const { return driverName_; }
  std::string PrinterPortName() const { return portName_; }
  void SetPrinterPort(const std::string& port);
  virtual QPainter* GetCanvas();

  // ---- page model (units) ----
  double PageWidth() const { return ToUnits(pageWidth_); }
  double PageHeight() const { return ToUnits(pageHeight_); }
  double SectionLeft() const { return ToUnits(sectionLeft_); }
  double SectionRight() const { return ToUnits(sectionRight_); }
  double SectionTop() const { return ToUnits(sectionTop_); }
  double SectionBottom() const { return ToUnits(sectionBottom_); }
  void SetSectionLeft(double v);
  void SetSectionRight(double v);
  void SetSectionTop(double v);
  void SetSectionBottom(double v);
  void ResetSection();
  void ClearColumns();
  void SetOriginX(double v) { originX_ = ToInches(v); }
  void SetOriginY(double v) { originY_ = ToInches(v); }
  double DpiX() const { return dpiX_; }
  double DpiY() const { return dpiY_; }

  // ---- cursor ----
  double XPos() const { return ToUnits(cursorX_); }
  double YPos() const { return ToUnits(cursorY_); }
  void SetXPos(double v) { cursorX_ = ToInches(v); }
  void SetYPos(double v) { cursorY_ = ToInches(v); }
  int LineNum() const { return lineNum_; }
  int ColumnNum() const { return columnNum_; }
  double LineHeight() const { return ToUnits(lineHeight_); }
  double Descent() const { return ToUnits(descent_); }
  void Home();
  void GotoLine(int n);
  void GotoColumn(int n);
  double ColumnLeft() const { return ToUnits(ColumnLeftIn()); }
  void CarriageReturn();
  void LineFeed();
  void NewLine();
  void GotoBottomLine();
  int RemainingLines() const;
  void SavePosition();
  void RestorePosition();  // nothing when no position is saved

  // ---- text ----
  void Print(const std::string& text);
  void PrintLine(const std::string& text);
  void PrintCenterAt(const std::string& text, double x);
  void PrintBottomLine(const std::string& text, int alignment);
  void PrintInBox(const std::string& text, int alignment, double width, double margin, double left);
  void PrintTabCell(const std::string& text);
  void TextCenter(const std::string& text, double x);
  void TextLeft(const std::string& text, double x);
  void TextRight(const std::string& text, double x);
  double TextWidth(const std::string& text) const;
  static ReportFont CreateFont(const std::string& name, double size);

  // ---- tabs ----
  void SetTab(double position, int justify, double width, double margin, int boxLines, int shade);
  void ClearTabs();
  void ResetTabs();
  const TabStop* GetTab(int i) const;  // 1-based; 0 = the current one; null when none
  double TabWidth(int i) const;
  void Tab(int left = kDefault, int right = kDefault, int top = kDefault, int bottom = kDefault,
           int shade = kDefault);
  void TabRectangle(double x1, double y1, double x2, double y2);

  // ---- fonts, pens, brushes ----
  const ReportFont& Font() const { return font_; }
  const ReportPen& Pen() const { return pen_; }
  const ReportBrush& Brush() const { return brush_; }
  void SetFont(const std::string& name, double size);
  void SetFontColor(TColor color);
  void SetFontPitch(TFontPitch pitch);
  void SetFontHeight(int pixels);
  void SetFontName(const std::string& name);
  bool GetBold() const { return font_.style & kFontBold; }
  bool GetItalic() const { return font_.style & kFontItalic; }
  bool GetUnderline() const { return font_.style & kFontUnderline; }
  bool GetStrikeOut() const { return font_.style & kFontStrikeOut; }
  void SetBold(bool on) { SetStyleBit(kFontBold, on); }
  void SetItalic(bool on) { SetStyleBit(kFontItalic, on); }
  void SetUnderline(bool on) { SetStyleBit(kFontUnderline, on); }
  void SetStrikeOut(bool on) { SetStyleBit(kFontStrikeOut, on); }
  ReportPen CreatePen(TColor color, TPenStyle style, int width, TPenMode mode) const;
  void SetPen(TColor color, TPenStyle style, int width, TPenMode mode);
  void SetPenObject(const ReportPen& pen);
  void SetPenWidthPixels(int pixels);
  void SetBrush(TColor color, TBrushStyle style, std::shared_ptr<const QImage> bitmap = nullptr);
  void SetBrushObject(const ReportBrush& brush);
  virtual void SetBackgroundColor(TColor color) { bkColor_ = color; }
  TColor GetBackgroundColor() const { return bkColor_; }

  // ---- drawing primitives (units) ----
  void Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  void Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  void Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
  void BrushCopy(const QRectF& dest, const QImage& bitmap, const QRectF& source, TColor color);
  void CopyRect(const QRectF& dest, const QImage& source, const QRectF& sourceRect);
  void Draw(double x, double y, const QImage& graphic, TGraphicKind kind = gkBitmap);
  void DrawFocusRect(const QRectF& rect);
  void Ellipse(double x1, double y1, double x2, double y2);
  void FillRect(const QRectF& rect);
  void FloodFill(double x, double y, TColor color, TFillStyle style);
  void FrameRect(const QRectF& rect);
  void LineTo(double x, double y);
  void MoveTo(double x, double y);
  void Polygon(const std::vector<QPointF>& points);
  void Polyline(const std::vector<QPointF>& points);
  void PrintBitmap(double x, double y, double scaleX, double scaleY, const QImage& bitmap);
  void PrintBitmapRect(double x1, double y1, double x2, double y2, const QImage& bitmap);
  void Rectangle(double x1, double y1, double x2, double y2);
  void RoundRect(double x1, double y1, double x2, double y2, double cornerWidth, double cornerHeight);
  void StretchDraw(const QRectF& rect, const QImage& graphic, TGraphicKind kind = gkBitmap);
  void TextRect(const QRectF& rect, double x, double y, const std::string& text);
  // Raw bytes for the printer (up to 255), unchanged.
  void PrintData(const std::string& bytes);

  // ---- conversions ----
  double ToInches(double units) const { return units / unitsFactor_; }
  double ToUnits(double inches) const { return inches * unitsFactor_; }
  int XDev(double inches) const;
  int YDev(double inches) const;
  double XInches(int device) const;
  double YInches(int device) const;

  // The Qt font of a report font at this writer's device pixels.
  static QFont ToQFont(const ReportFont& font);

 protected:
  // Draws or records one operation; called only while printing on a page
  // that is not suppressed.
  virtual void Emit(const DrawOp& op) = 0;
  // Puts text at x (inches) on the cursor's baseline and moves the cursor
  // x; code is rcTextCenter, rcTextLeft or rcTextRight.
  virtual void TextOut(RecordCode code, const std::string& text, double x);
  // A font, pen or brush attribute changed.
  virtual void AttributesChanged() {}
  // The device that text is measured on; null measures device-independently.
  virtual QPaintDevice* MetricsDevice();
  // Re-reads resolution, borders and printer names (refused while printing).
  void ReadDeviceMetrics();
  void UpdateLineHeight();
  double TextWidthPixels(const std::string& text) const;
  double PixelsToInchesX(double pixels) const { return pixels * 10000.0 / (dpiX_ * scaleX_ * zoom_); }
  void EmitPrimitive(DrawOp op);
  // Processes pending window messages now (the status line repaints).
  void ProcessMessages();
  // Processes them when the last time is long enough ago for Abort and the
  // status line to answer within a blink: drawing calls come far too often
  // for the event loop to run after each.
  void ProcessMessagesWhenDue();

  std::shared_ptr<ReportPrinter> printer_;
  double dpiX_ = 300, dpiY_ = 300;
  double unprintLeft_ = 0, unprintRight_ = 0, unprintTop_ = 0, unprintBottom_ = 0;
  double devOffsetX_ = 0, devOffsetY_ = 0;
  double zoom_ = 100;
  std::string deviceName_, driverName_, portName_;
  std::string selectedPort_;  // the port SetPrinterPort chose; empty when none
  double pageWidth_ = 8.5, pageHeight_ = 11;
  double scaleX_ = 100, scaleY_ = 100;
  int pageNumber_ = 0;
  bool printing_ = false, aborted_ = false, suppressed_ = false;
  std::chrono::steady_clock::time_point messagesProcessed_{};
  unsigned callsSinceMessages_ = 0;
  double cursorX_ = 0, cursorY_ = 0;
  double originX_ = 0, originY_ = 0;
  ReportFont font_;
  ReportPen pen_;
  ReportBrush brush_;
  TColor bkColor_ = clWhite;
  TBKMode bkMode_ = bkTransparent;
  TOrientation orientation_ = poPortrait;

 private:
  void ApplyMargins();
  void SetStyleBit(int bit, bool on);
  void BoxLine(int argument, bool flag, double x1, double y1, double x2, double y2);
  double ColumnLeftIn() const { return (columnNum_ - 1) * columnWidth_ + sectionLeft_; }
  void PrintInBoxIn(const std::string& text, int alignment, double width, double margin, double left);

  QPointer<QLabel> statusLabel_;
  double linesPerInch_ = 6;
  TUnits units_ = unInch;
  double unitsFactor_ = 1;
  int copies_ = 1;
  double marginLeftValue_ = 0, marginRightValue_ = 0, marginTopValue_ = 0, marginBottomValue_ = 0;
  double marginLeft_ = 0, marginRight_ = 8.5, marginTop_ = 0, marginBottom_ = 11;
  double sectionLeft_ = 0, sectionRight_ = 8.5, sectionTop_ = 0, sectionBottom_ = 11;
  int lineNum_ = 1, columnNum_ = 1;
  double columnWidth_ = 8.5;
  double descent_ = 0, lineHeight_ = 1.0 / 6, fontLineHeight_ = 10.0 / 60;
  std::vector<TabStop> tabs_;
  int currentTab_ = -1;  // index into tabs_; -1 before the first Tab
  bool tabPending_ = false;
  std::vector<std::pair<double, double>> positions_;
};

// Windows-1252 bytes as Qt text.
QString FromAnsi(const std::string& bytes);
QColor ToQColor(TColor color);

}  // namespace report
