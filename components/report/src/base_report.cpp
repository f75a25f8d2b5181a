#include "report/base_report.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <unicode/ucnv.h>

namespace report {

namespace {
int RoundInt(double v) { return static_cast<int>(std::lround(v)); }
}  // namespace

QString FromAnsi(const std::string& bytes) {
  if (bytes.empty()) return {};
  UErrorCode status = U_ZERO_ERROR;
  std::u16string out(bytes.size() * 2 + 2, u'\0');
  int32_t n = ucnv_convert("UTF-16LE", "windows-1252", reinterpret_cast<char*>(out.data()),
                           static_cast<int32_t>(out.size() * 2), bytes.data(),
                           static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  return QString::fromUtf16(out.data(), n / 2);
}

QColor ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

TBaseReport::TBaseReport(std::shared_ptr<ReportPrinter> printer) : printer_(std::move(printer)) {
  ReadDeviceMetrics();
  SetFont("Arial", 10);
}

TBaseReport::~TBaseReport() {
  if (printer_ && printing_ && printer_->Printing()) printer_->Abort();
}

// ---- properties ----

void TBaseReport::SetLinesPerInch(double lpi) {
  if (lpi <= 0) return;
  linesPerInch_ = lpi;
  UpdateLineHeight();
}

void TBaseReport::SetUnits(TUnits units) {
  units_ = units;
  switch (units) {
    case unInch: unitsFactor_ = 1; break;
    case unMM: unitsFactor_ = 25.4; break;
    case unCM: unitsFactor_ = 2.54; break;
    case unPoint: unitsFactor_ = 72; break;
    case unUser: break;
  }
}

void TBaseReport::SetUnitsFactor(double factor) {
  if (!(factor > 0)) return;
  unitsFactor_ = factor;
  if (factor == 1) units_ = unInch;
  else if (factor == 25.4) units_ = unMM;
  else if (factor == 2.54) units_ = unCM;
  else if (factor == 72) units_ = unPoint;
  else units_ = unUser;
}

void TBaseReport::ApplyMargins() {
  marginLeft_ = marginLeftValue_;
  marginTop_ = marginTopValue_;
  marginRight_ = pageWidth_ - marginRightValue_;
  marginBottom_ = pageHeight_ - marginBottomValue_;
}

void TBaseReport::SetMarginLeft(double v) {
  marginLeftValue_ = ToInches(v);
  ApplyMargins();
  SetSectionLeft(ToUnits(marginLeft_));
}
void TBaseReport::SetMarginRight(double v) {
  marginRightValue_ = ToInches(v);
  ApplyMargins();
  SetSectionRight(ToUnits(marginRight_));
}
void TBaseReport::SetMarginTop(double v) {
  marginTopValue_ = ToInches(v);
  ApplyMargins();
  SetSectionTop(ToUnits(marginTop_));
}
void TBaseReport::SetMarginBottom(double v) {
  marginBottomValue_ = ToInches(v);
  ApplyMargins();
  SetSectionBottom(ToUnits(marginBottom_));
}

void TBaseReport::SetCopies(int copies) {
  CheckNotPrinting();
  if (copies < 1) return;
  copies_ = copies;
  if (printer_) printer_->SetCopies(copies);
}

void TBaseReport::SetOrientation(TOrientation orientation) {
  CheckNotPrinting();
  orientation_ = orientation;
  if (printer_ && orientation != poDefault) printer_->SetOrientation(orientation);
  ReadDeviceMetrics();
}

void TBaseReport::SetPrinter(std::shared_ptr<ReportPrinter> printer) {
  CheckNotPrinting();
  printer_ = std::move(printer);
  ReadDeviceMetrics();
}

void TBaseReport::SetPrinterPort(const std::string& port) {
  CheckNotPrinting();
  if (!printer_) return;
  printer_->SetPort(port);
  selectedPort_ = port;
  portName_ = printer_->PortName();
}

QPainter* TBaseReport::GetCanvas() {
  if (!printer_) throw EReportWriter(kCanvasNotActive);
  return printer_->Painter();
}

QPaintDevice* TBaseReport::MetricsDevice() { return printer_ ? printer_->ReferenceDevice() : nullptr; }

void TBaseReport::ReadDeviceMetrics() {
  CheckNotPrinting();
  if (!printer_) {
    // A preview keeps the resolution and page of its own.
    if (GetOutputKind() != 1) {
      dpiX_ = dpiY_ = 96;
      unprintLeft_ = unprintRight_ = unprintTop_ = unprintBottom_ = 0;
      pageWidth_ = 8.5;
      pageHeight_ = 11;
    }
  } else {
    deviceName_ = printer_->DeviceName();
    driverName_ = printer_->DriverName();
    portName_ = printer_->PortName();
    if (GetOutputKind() != 1) {
      DeviceCaps c = printer_->Caps();
      dpiX_ = c.dpiX;
      dpiY_ = c.dpiY;
      unprintLeft_ = c.offsetX / dpiX_;
      unprintRight_ = (c.physicalWidth - c.offsetX - c.horzRes) / dpiX_;
      unprintTop_ = c.offsetY / dpiY_;
      unprintBottom_ = (c.physicalHeight - c.offsetY - c.vertRes) / dpiY_;
      pageWidth_ = c.physicalWidth / dpiX_;
      pageHeight_ = c.physicalHeight / dpiY_;
    }
  }
  ApplyMargins();
  ResetSection();
}

// ---- run ----

void TBaseReport::CheckPrinting() const {
  if (!printing_) throw EReportWriter(kNotPrinting);
}

void TBaseReport::CheckNotPrinting() const {
  if (printing_) throw EReportWriter(kAlreadyPrinting);
}

void TBaseReport::NewPage() {
  CheckPrinting();
  ++pageNumber_;
  UpdateStatus();
  suppressed_ = pageNumber_ < FirstPage || pageNumber_ > LastPage || aborted_;
  originX_ = originY_ = 0;
  ResetTabs();
  ResetSection();
  Home();
}

void TBaseReport::CancelPage() {
  CheckPrinting();
  if (suppressed_) return;
  suppressed_ = true;
  --pageNumber_;
}

void TBaseReport::Abort() {
  aborted_ = true;
  suppressed_ = true;
}

void TBaseReport::InitPageState() {
  brush_ = ReportBrush{};
  brush_.color = 0;
  brush_.style = bsClear;
  pen_ = ReportPen{};
  AttributesChanged();
  originX_ = originY_ = 0;
  ResetSection();
  ClearColumns();
  ClearTabs();
  UpdateLineHeight();
  Home();
}

std::string TBaseReport::FormatStatus() const {
  const std::string& f = StatusFormat;
  std::string out;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%' || i + 1 >= f.size()) {
      out += f[i];
      continue;
    }
    char c = f[++i];
    char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c == '%') out += '%';
    else if (c >= '0' && c <= '9') {
      size_t line = static_cast<size_t>(c - '0');
      if (line < StatusText.size()) out += StatusText[line];
    } else if (u == 'D') out += deviceName_;
    else if (u == 'R') out += driverName_;
    else if (u == 'T') out += portName_;
    else if (u == 'F') out += std::to_string(FirstPage);
    else if (u == 'L') out += std::to_string(LastPage);
    else if (u == 'P') out += std::to_string(pageNumber_);
    else out += std::string("<ERROR-%") + c + ">";
  }
  if (out.size() > 255) out.resize(255);
  return out;
}

void TBaseReport::UpdateStatus() {
  if (!statusLabel_) return;
  QString text = FromAnsi(FormatStatus());
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  statusLabel_->setText(text);
  ProcessMessages();
}

void TBaseReport::ProcessMessages() {
  callsSinceMessages_ = 0;
  messagesProcessed_ = std::chrono::steady_clock::now();
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

void TBaseReport::ProcessMessagesWhenDue() {
  // 25 ms between turns keeps a click's answer well under 100 ms; the clock
  // is read every few calls only, a drawing call being cheaper than it.
  constexpr unsigned kCallsPerLook = 8;
  constexpr auto kInterval = std::chrono::milliseconds(25);
  if (++callsSinceMessages_ < kCallsPerLook) return;
  callsSinceMessages_ = 0;
  if (std::chrono::steady_clock::now() - messagesProcessed_ >= kInterval) ProcessMessages();
}

// ---- sections and cursor ----

void TBaseReport::SetSectionLeft(double v) {
  sectionLeft_ = ToInches(v);
  if (sectionLeft_ > cursorX_) cursorX_ = sectionLeft_;
}
void TBaseReport::SetSectionRight(double v) {
  sectionRight_ = ToInches(v);
  if (sectionRight_ < cursorX_) cursorX_ = sectionRight_;
}
void TBaseReport::SetSectionTop(double v) {
  sectionTop_ = ToInches(v);
  if (sectionTop_ > cursorY_) cursorY_ = sectionTop_;
}
void TBaseReport::SetSectionBottom(double v) {
  sectionBottom_ = ToInches(v);
  if (sectionBottom_ < cursorY_) cursorY_ = sectionBottom_;
}

void TBaseReport::ResetSection() {
  sectionLeft_ = marginLeft_;
  sectionRight_ = marginRight_;
  sectionTop_ = marginTop_;
  sectionBottom_ = marginBottom_;
}

void TBaseReport::ClearColumns() {
  columnNum_ = 1;
  columnWidth_ = sectionRight_ - sectionLeft_;
}

void TBaseReport::Home() {
  GotoColumn(1);
  GotoLine(1);
}

void TBaseReport::GotoLine(int n) {
  lineNum_ = n;
  cursorY_ = sectionTop_ + n * lineHeight_ - descent_;
}

void TBaseReport::GotoColumn(int n) {
  columnNum_ = n;
  cursorX_ = ColumnLeftIn();
}

void TBaseReport::CarriageReturn() { cursorX_ = ColumnLeftIn(); }

void TBaseReport::LineFeed() {
  ++lineNum_;
  cursorY_ += lineHeight_;
}

void TBaseReport::NewLine() {
  CarriageReturn();
  LineFeed();
  ResetTabs();
}

void TBaseReport::GotoBottomLine() {
  cursorX_ = ColumnLeftIn();
  cursorY_ = sectionBottom_ - descent_;
}

int TBaseReport::RemainingLines() const {
  // Lengths such as 1/6 inch are not exact in binary: a tolerance keeps the
  // last line that fits exactly from being lost to rounding.
  const double eps = 1e-9;
  double b = cursorY_ + descent_;
  if (b > sectionBottom_ + eps) return 0;
  return static_cast<int>(std::floor((sectionBottom_ - b) / lineHeight_ + eps)) + 1;
}

void TBaseReport::SavePosition() { positions_.emplace_back(cursorX_, cursorY_); }

void TBaseReport::RestorePosition() {
  if (positions_.empty()) return;
  cursorX_ = positions_.back().first;
  cursorY_ = positions_.back().second;
  positions_.pop_back();
}

// ---- text ----

void TBaseReport::Print(const std::string& text) {
  size_t start = 0;
  for (size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1) {
    if (tab > start) PrintTabCell(text.substr(start, tab - start));
    Tab(kDefault, kDefault, kDefault, kDefault, kDefault);
  }
  PrintTabCell(text.substr(start));
}

void TBaseReport::PrintLine(const std::string& text) {
  Print(text);
  NewLine();
}

void TBaseReport::PrintCenterAt(const std::string& text, double x) { TextCenter(text, x); }

void TBaseReport::PrintBottomLine(const std::string& text, int alignment) {
  GotoBottomLine();
  PrintInBoxIn(text, alignment, sectionRight_ - sectionLeft_, 0, sectionLeft_);
}

void TBaseReport::PrintInBox(const std::string& text, int alignment, double width, double margin, double left) {
  PrintInBoxIn(text, alignment, ToInches(width), ToInches(margin), ToInches(left));
}

void TBaseReport::PrintInBoxIn(const std::string& text, int alignment, double width, double margin, double left) {
  CheckPrinting();
  if (alignment == 0) TextOut(rcTextCenter, text, left + width / 2);
  else if (alignment == 1) TextOut(rcTextLeft, text, left + margin);
  else TextOut(rcTextRight, text, left + width - margin);
}

void TBaseReport::PrintTabCell(const std::string& text) {
  if (tabPending_ && currentTab_ >= 0) {
    const TabStop& t = tabs_[static_cast<size_t>(currentTab_)];
    tabPending_ = false;
    PrintInBoxIn(text, t.justify, t.width, t.margin, (columnNum_ - 1) * columnWidth_ + t.position);
  } else {
    CheckPrinting();
    TextOut(rcTextLeft, text, cursorX_);
  }
}

void TBaseReport::TextCenter(const std::string& text, double x) {
  CheckPrinting();
  TextOut(rcTextCenter, text, ToInches(x));
}
void TBaseReport::TextLeft(const std::string& text, double x) {
  CheckPrinting();
  TextOut(rcTextLeft, text, ToInches(x));
}
void TBaseReport::TextRight(const std::string& text, double x) {
  CheckPrinting();
  TextOut(rcTextRight, text, ToInches(x));
}

void TBaseReport::TextOut(RecordCode code, const std::string& text, double x) {
  if (suppressed_) return;
  double px = TextWidthPixels(text);
  DrawOp op;
  op.code = code;
  op.points = {QPointF(x, cursorY_)};
  op.text = text;
  Emit(op);
  if (code == rcTextCenter) cursorX_ = x + PixelsToInchesX(std::ceil(px / 2));
  else if (code == rcTextLeft) cursorX_ = x + PixelsToInchesX(px);
  else cursorX_ = x;
}

QFont TBaseReport::ToQFont(const ReportFont& f) {
  QFont q(QString::fromStdString(f.name));
  q.setPixelSize(std::max(1, std::abs(f.height)));
  q.setBold(f.style & kFontBold);
  q.setItalic(f.style & kFontItalic);
  q.setUnderline(f.style & kFontUnderline);
  q.setStrikeOut(f.style & kFontStrikeOut);
  if (f.pitch == fpFixed) {
    q.setFixedPitch(true);
    q.setStyleHint(QFont::Monospace);
  }
  return q;
}

double TBaseReport::TextWidthPixels(const std::string& text) const {
  QPaintDevice* device = const_cast<TBaseReport*>(this)->MetricsDevice();
  QFontMetricsF m = device ? QFontMetricsF(ToQFont(font_), device) : QFontMetricsF(ToQFont(font_));
  return m.horizontalAdvance(FromAnsi(text));
}

double TBaseReport::TextWidth(const std::string& text) const { return ToUnits(PixelsToInchesX(TextWidthPixels(text))); }

ReportFont TBaseReport::CreateFont(const std::string& name, double size) {
  ReportFont f;
  f.name = name;
  f.size = size;
  f.height = -RoundInt(size * 96 / 72);
  return f;
}

void TBaseReport::UpdateLineHeight() {
  if (!printing_) return;
  QPaintDevice* device = MetricsDevice();
  QFontMetricsF m = device ? QFontMetricsF(ToQFont(font_), device) : QFontMetricsF(ToQFont(font_));
  descent_ = m.descent() * 10000.0 / (dpiY_ * scaleY_ * zoom_);
  lineHeight_ = LineHeightMethod == lhmFont ? fontLineHeight_ : 1.0 / linesPerInch_;
}

// ---- tabs ----

void TBaseReport::SetTab(double position, int justify, double width, double margin, int boxLines, int shade) {
  TabStop t;
  if (position >= 0) t.position = ToInches(position);
  else if (!tabs_.empty()) t.position = tabs_.back().position + tabs_.back().width;
  else t.position = marginLeft_;
  t.justify = justify;
  if (width > 0) {
    t.width = ToInches(width);
    t.margin = margin / 100;
    t.left = boxLines & 1;
    t.right = boxLines & 2;
    t.top = boxLines & 4;
    t.bottom = boxLines & 8;
    t.shade = shade;
  }
  tabs_.push_back(t);
}

void TBaseReport::ClearTabs() {
  tabs_.clear();
  currentTab_ = -1;
  tabPending_ = false;
}

void TBaseReport::ResetTabs() {
  currentTab_ = -1;
  tabPending_ = false;
}

const TabStop* TBaseReport::GetTab(int i) const {
  if (i == 0) return currentTab_ >= 0 ? &tabs_[static_cast<size_t>(currentTab_)] : nullptr;
  if (i < 1 || static_cast<size_t>(i) > tabs_.size()) return nullptr;
  return &tabs_[static_cast<size_t>(i - 1)];
}

double TBaseReport::TabWidth(int i) const {
  const TabStop* t = GetTab(i);
  return t ? ToUnits(t->width - 2 * t->margin) : 0;
}

void TBaseReport::TabRectangle(double x1, double y1, double x2, double y2) {
  CheckPrinting();
  EmitPrimitive(DrawOp{rcTabRectangle, {QPointF(ToInches(x1), ToInches(y1)), QPointF(ToInches(x2), ToInches(y2))}, {}, {}, {}, gkBitmap});
}

void TBaseReport::Tab(int left, int right, int top, int bottom, int shade) {
  CheckPrinting();
  if (suppressed_) return;
  if (currentTab_ + 1 >= static_cast<int>(tabs_.size())) {
    tabPending_ = false;
    return;
  }
  ++currentTab_;
  tabPending_ = true;
  const TabStop t = tabs_[static_cast<size_t>(currentTab_)];
  if (t.width <= 0) return;
  double x = (columnNum_ - 1) * columnWidth_ + t.position;
  double y2 = cursorY_ + descent_, y1 = y2 - lineHeight_;
  int s = shade == kDefault ? t.shade : shade;
  if (s == 0) s = TabShade;
  // A shade is a percentage: beyond it the grey level would spill into the
  // other colour components.
  s = std::clamp(s, 0, 100);
  if (s != 0) {
    ReportBrush oldBrush = brush_;
    ReportPen oldPen = pen_;
    TBKMode oldMode = bkMode_;
    int g = 255 - s * 255 / 100;
    SetBrush(g | g << 8 | g << 16, bsSolid);
    ReportPen clear = pen_;
    clear.style = psClear;
    SetPenObject(clear);
    SetTextBKMode(bkTransparent);
    EmitPrimitive(DrawOp{rcTabRectangle, {QPointF(x, y1), QPointF(x + t.width, y2)}, {}, {}, {}, gkBitmap});
    SetBrushObject(oldBrush);
    SetPenObject(oldPen);
    SetTextBKMode(oldMode);
  }
  BoxLine(left, t.left, x, y2, x, y2 - lineHeight_);
  BoxLine(right, t.right, x + t.width, y2, x + t.width, y2 - lineHeight_);
  BoxLine(top, t.top, x, y1, x + t.width, y1);
  BoxLine(bottom, t.bottom, x, y2, x + t.width, y2);
}

void TBaseReport::BoxLine(int argument, bool flag, double x1, double y1, double x2, double y2) {
  if (argument == 0 || (argument == kDefault && !flag)) return;
  ReportPen old = pen_;
  if (argument != kDefault) SetPenObject(CreatePen(clBlack, psSolid, argument, pmCopy));
  EmitPrimitive(DrawOp{rcMoveTo, {QPointF(x1, y1)}, {}, {}, {}, gkBitmap});
  EmitPrimitive(DrawOp{rcLineTo, {QPointF(x2, y2)}, {}, {}, {}, gkBitmap});
  if (argument != kDefault) SetPenObject(old);
}

// ---- attributes ----

void TBaseReport::SetFont(const std::string& name, double size) {
  if (size < 1) return;
  font_.name = name;
  fontLineHeight_ = size / 60;
  font_.size = size;
  int h = RoundInt(size * dpiY_ / 72);
  font_.height = -RoundInt(h * scaleY_ * zoom_ / 10000);
  font_.pitch = fpDefault;
  font_.color = clBlack;
  font_.style = 0;
  AttributesChanged();
  UpdateLineHeight();
}

void TBaseReport::SetFontColor(TColor color) {
  font_.color = color;
  AttributesChanged();
}
void TBaseReport::SetFontPitch(TFontPitch pitch) {
  font_.pitch = pitch;
  AttributesChanged();
  UpdateLineHeight();
}
void TBaseReport::SetFontHeight(int pixels) {
  font_.height = pixels;
  AttributesChanged();
  UpdateLineHeight();
}
void TBaseReport::SetFontName(const std::string& name) {
  font_.name = name;
  AttributesChanged();
  UpdateLineHeight();
}

void TBaseReport::SetStyleBit(int bit, bool on) {
  font_.style = on ? (font_.style | bit) : (font_.style & ~bit);
  AttributesChanged();
  UpdateLineHeight();
}

ReportPen TBaseReport::CreatePen(TColor color, TPenStyle style, int width, TPenMode mode) const {
  ReportPen p;
  p.color = color;
  p.style = style;
  p.mode = mode;
  if (width < 0) p.width = std::max(1, RoundInt(std::abs(width) * dpiX_ * scaleX_ * zoom_ / 1000000.0));
  else p.width = width;
  return p;
}

void TBaseReport::SetPen(TColor color, TPenStyle style, int width, TPenMode mode) {
  SetPenObject(CreatePen(color, style, width, mode));
}

void TBaseReport::SetPenObject(const ReportPen& pen) {
  pen_ = pen;
  AttributesChanged();
}

void TBaseReport::SetPenWidthPixels(int pixels) {
  pen_.width = pixels;
  AttributesChanged();
}

void TBaseReport::SetBrush(TColor color, TBrushStyle style, std::shared_ptr<const QImage> bitmap) {
  brush_.color = color;
  brush_.style = style;
  brush_.bitmap = std::move(bitmap);
  AttributesChanged();
}

void TBaseReport::SetBrushObject(const ReportBrush& brush) {
  brush_ = brush;
  AttributesChanged();
}

// ---- primitives ----

void TBaseReport::EmitPrimitive(DrawOp op) {
  CheckPrinting();
  if (suppressed_) return;
  Emit(op);
  ProcessMessagesWhenDue();
}

namespace {
QPointF Pt(const TBaseReport& r, double x, double y) { return QPointF(r.ToInches(x), r.ToInches(y)); }
}  // namespace

void TBaseReport::Arc(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  EmitPrimitive({rcArc, {Pt(*this, x1, y1), Pt(*this, x2, y2), Pt(*this, x3, y3), Pt(*this, x4, y4)}, {}, {}, {}, gkBitmap});
}
void TBaseReport::Chord(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  EmitPrimitive({rcChord, {Pt(*this, x1, y1), Pt(*this, x2, y2), Pt(*this, x3, y3), Pt(*this, x4, y4)}, {}, {}, {}, gkBitmap});
}
void TBaseReport::Pie(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
  EmitPrimitive({rcPie, {Pt(*this, x1, y1), Pt(*this, x2, y2), Pt(*this, x3, y3), Pt(*this, x4, y4)}, {}, {}, {}, gkBitmap});
}
void TBaseReport::BrushCopy(const QRectF& d, const QImage& bitmap, const QRectF& s, TColor color) {
  EmitPrimitive({rcBrushCopy,
                 {Pt(*this, d.left(), d.top()), Pt(*this, d.right(), d.bottom()), QPointF(s.left(), s.top()),
                  QPointF(s.right(), s.bottom())},
                 {double(color)}, {}, bitmap, gkBitmap});
}
void TBaseReport::CopyRect(const QRectF& d, const QImage& source, const QRectF& s) {
  EmitPrimitive({rcCopyRect,
                 {Pt(*this, d.left(), d.top()), Pt(*this, d.right(), d.bottom()), QPointF(s.left(), s.top()),
                  QPointF(s.right(), s.bottom())},
                 {}, {}, source, gkBitmap});
}
void TBaseReport::Draw(double x, double y, const QImage& graphic, TGraphicKind kind) {
  EmitPrimitive({rcDraw, {Pt(*this, x, y)}, {}, {}, graphic, kind});
}
void TBaseReport::DrawFocusRect(const QRectF& r) {
  EmitPrimitive({rcDrawFocusRect, {Pt(*this, r.left(), r.top()), Pt(*this, r.right(), r.bottom())}, {}, {}, {}, gkBitmap});
}
void TBaseReport::Ellipse(double x1, double y1, double x2, double y2) {
  EmitPrimitive({rcEllipse, {Pt(*this, x1, y1), Pt(*this, x2, y2)}, {}, {}, {}, gkBitmap});
}
void TBaseReport::FillRect(const QRectF& r) {
  EmitPrimitive({rcFillRect, {Pt(*this, r.left(), r.top()), Pt(*this, r.right(), r.bottom())}, {}, {}, {}, gkBitmap});
}
void TBaseReport::FloodFill(double x, double y, TColor color, TFillStyle style) {
  EmitPrimitive({rcFloodFill, {Pt(*this, x, y)}, {double(color), double(style)}, {}, {}, gkBitmap});
}
void TBaseReport::FrameRect(const QRectF& r) {
  EmitPrimitive({rcFrameRect, {Pt(*this, r.left(), r.top()), Pt(*this, r.right(), r.bottom())}, {}, {}, {}, gkBitmap});
}
void TBaseReport::LineTo(double x, double y) { EmitPrimitive({rcLineTo, {Pt(*this, x, y)}, {}, {}, {}, gkBitmap}); }
void TBaseReport::MoveTo(double x, double y) { EmitPrimitive({rcMoveTo, {Pt(*this, x, y)}, {}, {}, {}, gkBitmap}); }
void TBaseReport::Polygon(const std::vector<QPointF>& points) {
  DrawOp op{rcPolygon, {}, {}, {}, {}, gkBitmap};
  for (const QPointF& p : points) op.points.push_back(Pt(*this, p.x(), p.y()));
  EmitPrimitive(op);
}
void TBaseReport::Polyline(const std::vector<QPointF>& points) {
  DrawOp op{rcPolyline, {}, {}, {}, {}, gkBitmap};
  for (const QPointF& p : points) op.points.push_back(Pt(*this, p.x(), p.y()));
  EmitPrimitive(op);
}
void TBaseReport::PrintBitmap(double x, double y, double sx, double sy, const QImage& bitmap) {
  EmitPrimitive({rcPrintBitmap, {Pt(*this, x, y)}, {sx, sy}, {}, bitmap, gkBitmap});
}
void TBaseReport::PrintBitmapRect(double x1, double y1, double x2, double y2, const QImage& bitmap) {
  EmitPrimitive({rcPrintBitmapRect, {Pt(*this, x1, y1), Pt(*this, x2, y2)}, {}, {}, bitmap, gkBitmap});
}
void TBaseReport::Rectangle(double x1, double y1, double x2, double y2) {
  EmitPrimitive({rcRectangle, {Pt(*this, x1, y1), Pt(*this, x2, y2)}, {}, {}, {}, gkBitmap});
}
void TBaseReport::RoundRect(double x1, double y1, double x2, double y2, double cw, double ch) {
  EmitPrimitive({rcRoundRect, {Pt(*this, x1, y1), Pt(*this, x2, y2)}, {ToInches(cw), ToInches(ch)}, {}, {}, gkBitmap});
}
void TBaseReport::StretchDraw(const QRectF& r, const QImage& graphic, TGraphicKind kind) {
  EmitPrimitive({rcStretchDraw, {Pt(*this, r.left(), r.top()), Pt(*this, r.right(), r.bottom())}, {}, {}, graphic, kind});
}
void TBaseReport::TextRect(const QRectF& r, double x, double y, const std::string& text) {
  EmitPrimitive({rcTextRect, {Pt(*this, r.left(), r.top()), Pt(*this, r.right(), r.bottom()), Pt(*this, x, y)}, {}, text, {}, gkBitmap});
}
void TBaseReport::PrintData(const std::string& bytes) {
  EmitPrimitive({rcPrintData, {}, {}, bytes.substr(0, 255), {}, gkBitmap});
}

// ---- conversions ----

int TBaseReport::XDev(double x) const {
  return RoundInt(((x + originX_) * scaleX_ * zoom_ / 10000 - unprintLeft_) * dpiX_) + static_cast<int>(devOffsetX_);
}
int TBaseReport::YDev(double y) const {
  return RoundInt(((y + originY_) * scaleY_ * zoom_ / 10000 - unprintTop_) * dpiY_) + static_cast<int>(devOffsetY_);
}
double TBaseReport::XInches(int d) const {
  return ((d - devOffsetX_) / dpiX_ + unprintLeft_) * 10000 / (scaleX_ * zoom_) - originX_;
}
double TBaseReport::YInches(int d) const {
  return ((d - devOffsetY_) / dpiY_ + unprintTop_) * 10000 / (scaleY_ * zoom_) - originY_;
}

}  // namespace report
