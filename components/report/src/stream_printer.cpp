#include "report/stream_printer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "op_codec.h"
#include "platform/ui.h"

namespace report {

TStreamPrinter::~TStreamPrinter() = default;

void TStreamPrinter::Fail(const std::string& message) {
  if (printing_) Abort();
  throw EReportWriter(message);
}

void TStreamPrinter::OpenStream() {
  try {
    switch (StreamMode) {
      case smMemory: {
        auto m = std::make_unique<MemoryStream>();
        m->LoadFromFile(FileName);
        owned_ = std::move(m);
        break;
      }
      case smFile: owned_ = std::make_unique<FileStream>(FileName, FileStream::kRead); break;
      case smUser:
        if (!Stream) throw StreamError("no stream");
        break;
    }
  } catch (const StreamError&) {
    owned_.reset();
    throw EReportWriter("Error initializing stream \"" + FileName + "\"");
  }
  stream_ = StreamMode == smUser ? Stream : owned_.get();
  stream_->Seek(0);
  reader_ = std::make_unique<StreamReader>(*stream_);
}

void TStreamPrinter::CloseStream() {
  reader_.reset();
  stream_ = nullptr;
  owned_.reset();
}

bool TStreamPrinter::HasPages() const { return header_.pageCount > 0 && current_.next > 0; }

void TStreamPrinter::ReadFileHeader() {
  try {
    header_ = report::ReadFileHeader(*reader_);
  } catch (const StreamError& e) {
    Fail(e.what());
  }
  FirstPage = header_.firstPage;
  LastPage = header_.lastPage;
  if (header_.orientation <= poLandScape) SetOrientation(static_cast<TOrientation>(header_.orientation));
  // The recorded page, for the preview; a printer run measures its own.
  if (std::isfinite(header_.pageWidth) && header_.pageWidth > 0 && header_.pageWidth < 1000)
    pageWidth_ = header_.pageWidth;
  if (std::isfinite(header_.pageHeight) && header_.pageHeight > 0 && header_.pageHeight < 1000)
    pageHeight_ = header_.pageHeight;
  if (printer_ && header_.copies > 0) printer_->SetCopies(header_.copies);
  if (!header_.portName.empty()) SetPrinterPort(header_.portName);
  // Before page 1: the first page is found by moving forward from here.
  current_ = PageStart{};
  current_.next = static_cast<int32_t>(stream_->Position());
  firstRecordedPage_ = 1;
  if (header_.pageCount > 0 && stream_->Position() < stream_->Size()) {
    try {
      uint64_t here = stream_->Position();
      firstRecordedPage_ = report::ReadPageStart(*reader_).pageNumber;
      stream_->Seek(here);
    } catch (const StreamError& e) {
      Fail(e.what());
    }
  } else {
    current_.next = 0;
  }
}

void TStreamPrinter::GotoPage(int n) {
  if (!reader_) return;
  try {
    auto readAt = [&](int32_t link, bool forward) {
      // Links must move the way they claim, so no walk can loop.
      uint64_t at = static_cast<uint64_t>(link);
      bool ok = link > 0 && at < stream_->Size() &&
                (forward ? (current_.position == 0 || at > current_.position) : at < current_.position);
      if (!ok) throw StreamError(kBadPageLink);
      stream_->Seek(at);
      current_ = report::ReadPageStart(*reader_);
    };
    if (current_.pageNumber < n) {
      while (current_.pageNumber < n && current_.next > 0) readAt(current_.next, true);
    } else if (current_.pageNumber > n) {
      while (current_.pageNumber > n && current_.previous > 0) readAt(current_.previous, false);
    }
    if (current_.position == 0) {
      if (current_.next > 0) readAt(current_.next, true);
      else throw StreamError(kUnexpectedEnd);
    }
    // Always end just behind the page start of the page to play.
    stream_->Seek(current_.position);
    current_ = report::ReadPageStart(*reader_);
  } catch (const StreamError& e) {
    Fail(e.what());
  }
}

void TStreamPrinter::PlayPage(int n) {
  GotoPage(n);
  PlayRecords();
}

void TStreamPrinter::PlayRecords() {
  pageNumber_ = current_.pageNumber;
  try {
    for (;;) {
      Record r = ReadRecord(*reader_);
      auto byte = [&](size_t i) { return r.bytes.at(i); };
      auto finite = [](float v) {
        if (!std::isfinite(v)) throw StreamError(kUnexpectedCode);
        return static_cast<double>(v);
      };
      switch (r.code) {
        case rcPageEnd: return;
        case rcCopyRect: break;  // no source canvas to copy from on replay
        case rcTextCenter:
        case rcTextLeft:
        case rcTextRight:
          cursorY_ = finite(r.floats[0]);
          TextOut(static_cast<RecordCode>(r.code), r.text, finite(r.floats[1]));
          break;
        case rcTextBkMode: SetTextBKMode(byte(0) ? bkOpaque : bkTransparent); break;
        case rcBkColor: SetBackgroundColor(r.ints[0]); break;
        case rcScaleX: SetScaleX(finite(r.floats[0])); break;
        case rcScaleY: SetScaleY(finite(r.floats[0])); break;
        case rcBrush: {
          ReportBrush b = brush_;
          b.color = r.ints[0];
          b.style = static_cast<TBrushStyle>(byte(0));
          b.bitmap = byte(1) == 1 ? std::make_shared<QImage>(detail::LoadGraphic(r.graphic)) : nullptr;
          SetBrushObject(b);
          break;
        }
        case rcBrushColor: SetBrush(r.ints[0], brush_.style, brush_.bitmap); break;
        case rcBrushStyle: SetBrush(brush_.color, static_cast<TBrushStyle>(byte(0)), brush_.bitmap); break;
        case rcBrushBitmap:
          // The recorder writes 0 when a pattern went away: drop it here too.
          SetBrush(brush_.color, brush_.style,
                   byte(0) == 1 ? std::make_shared<QImage>(detail::LoadGraphic(r.graphic)) : nullptr);
          break;
        case rcFont: {
          font_.name = r.text;
          font_.color = r.ints[0];
          font_.pitch = static_cast<TFontPitch>(byte(0));
          font_.style = (byte(1) ? kFontBold : 0) | (byte(2) ? kFontItalic : 0) | (byte(3) ? kFontUnderline : 0) |
                        (byte(4) ? kFontStrikeOut : 0);
          SetFontHeight(-static_cast<int>(std::lround(std::min(finite(r.floats[0]), 100.0) * dpiY_ * zoom_ / 100)));
          break;
        }
        case rcFontName: SetFontName(r.text); break;
        case rcFontColor: SetFontColor(r.ints[0]); break;
        case rcFontPitch: SetFontPitch(static_cast<TFontPitch>(byte(0))); break;
        case rcFontHeight:
          SetFontHeight(-static_cast<int>(std::lround(std::min(std::fabs(finite(r.floats[0])), 100.0) * dpiY_ * zoom_ / 100)));
          break;
        case rcFontBold: SetBold(byte(0)); break;
        case rcFontUnderline: SetUnderline(byte(0)); break;
        case rcFontItalic: SetItalic(byte(0)); break;
        case rcFontStrikeOut: SetStrikeOut(byte(0)); break;
        case rcPen: {
          ReportPen p;
          p.color = r.ints[0];
          p.mode = static_cast<TPenMode>(byte(0));
          p.style = static_cast<TPenStyle>(byte(1));
          p.width = static_cast<int>(std::lround(std::min(std::fabs(finite(r.floats[0])), 100.0) * dpiX_ * zoom_ / 100));
          SetPenObject(p);
          break;
        }
        case rcPenColor: {
          ReportPen p = pen_;
          p.color = r.ints[0];
          SetPenObject(p);
          break;
        }
        case rcPenMode: {
          ReportPen p = pen_;
          p.mode = static_cast<TPenMode>(byte(0));
          SetPenObject(p);
          break;
        }
        case rcPenStyle: {
          ReportPen p = pen_;
          p.style = static_cast<TPenStyle>(byte(0));
          SetPenObject(p);
          break;
        }
        case rcPenWidth:
          // The recorded width already holds the recording's scale; only the
          // zoom applies here, as for fonts.
          SetPenWidthPixels(static_cast<int>(std::lround(std::min(std::fabs(finite(r.floats[0])), 100.0) * dpiX_ * zoom_ / 100)));
          break;
        default: {
          DrawOp op = detail::ToOp(r);  // refuses every code that is no drawing operation
          if (!suppressed_) Emit(op);
          break;
        }
      }
    }
  } catch (const StreamError& e) {
    Fail(e.what());
  } catch (const std::out_of_range&) {
    Fail(kUnexpectedCode);
  }
}

void TStreamPrinter::NewPage() {
  CheckPrinting();
  TCanvasReport::NewPage();
  // The player plays exactly the pages it is asked for: the recorded page
  // range does not suppress anything here.
  suppressed_ = aborted_;
  // Only a print job has a printer page to break; a preview has none and
  // may run without a printer.
  if (printer_ && printer_->Printing()) printer_->NewPage();
}

void TStreamPrinter::PrintPages(int first, int last, int copies) {
  if (!printer_) {
    platform::ui::ShowMessage(kNoPrinters, "Error", platform::ui::Buttons::Ok, platform::ui::Icon::Error);
    return;
  }
  CheckNotPrinting();
  platform::ui::BusyCursor busy;
  struct Close {
    TStreamPrinter& r;
    ~Close() { r.CloseStream(); }
  } close{*this};
  OpenStream();
  ReadFileHeader();
  if (copies > 0) SetCopies(copies);
  pageNumber_ = 0;
  if (!HasPages()) return;
  // The numbers are the stream's own: a damaged count or start must not
  // overflow them.
  int64_t lastRecorded = std::min<int64_t>(int64_t{firstRecordedPage_} + header_.pageCount - 1, INT32_MAX);
  // Pages before the first recorded one do not exist: asking for them must
  // not print the first page again for each of them.
  if (first < firstRecordedPage_) first = firstRecordedPage_;
  if (last < 1 || last >= lastRecorded) last = static_cast<int>(lastRecorded);
  if (first > last) return;
  ReadDeviceMetrics();
  if (!printer_->BeginDoc(Title)) throw EReportWriter("The print job could not be started.");
  printing_ = true;
  aborted_ = false;
  suppressed_ = false;
  ResetRunState();
  struct EndJob {
    TStreamPrinter& r;
    ~EndJob() {
      if (r.aborted_) r.printer_->Abort();
      if (r.printer_->Printing()) r.printer_->EndDoc();
      r.printing_ = false;
    }
  } end{*this};
  InitPageState();
  for (int p = first; p <= last && !aborted_; ++p) {
    PlayPage(p);
    // A header that counts more pages than the stream links ends at the
    // last linked page, not by printing it again and again.
    if (current_.next == 0) break;
    if (p < last) NewPage();
  }
}

// ---- preview ----

TStreamPreview::~TStreamPreview() {
  if (printing_) Finish();
}

void TStreamPreview::Start() {
  CheckNotPrinting();
  if (!ScrollBox) throw EReportWriter(kScrollBoxMissing);
  if (OnZoomChange) OnZoomChange(*this);
  // The frame and the scroll bars, to fit pages to the box.
  frameW_ = frameH_ = 2 * ScrollBox->frameWidth();
  vScrollW_ = ScrollBox->verticalScrollBar()->sizeHint().width();
  hScrollH_ = ScrollBox->horizontalScrollBar()->sizeHint().height();
  auto* page = new QWidget;
  image_ = new QLabel(page);
  image_->move(0, 0);
  ScrollBox->setWidgetResizable(false);
  ScrollBox->setWidget(page);  // replaces (and frees) any earlier page
  page_ = page;
  devOffsetX_ = devOffsetY_ = 0;
  unprintLeft_ = unprintRight_ = unprintTop_ = unprintBottom_ = 0;
  QScreen* screen = QGuiApplication::primaryScreen();
  dpiX_ = screen ? std::round(screen->logicalDotsPerInchX()) : 96;
  dpiY_ = screen ? std::round(screen->logicalDotsPerInchY()) : 96;
  OpenStream();
  try {
    ReadFileHeader();
  } catch (...) {
    CloseStream();
    throw;
  }
  pageNumber_ = 0;
  printing_ = true;
  aborted_ = false;
  suppressed_ = false;
  ResetRunState();
  try {
    PlayPage(1);
  } catch (...) {
    printing_ = false;
    CloseStream();
    throw;
  }
}

void TStreamPreview::Finish() {
  CheckPrinting();
  printing_ = false;
  if (bitmapPainter_.isActive()) bitmapPainter_.end();
  bitmap_ = QImage();
  CloseStream();
}

void TStreamPreview::PlayPage(int n) {
  if (!printing_ || !ScrollBox) return;
  platform::ui::BusyCursor busy;
  if (HasPages() || current_.position) GotoPage(n);
  if (OnPageChange) OnPageChange(*this);
  QScrollBar* h = ScrollBox->horizontalScrollBar();
  QScrollBar* v = ScrollBox->verticalScrollBar();
  int hPos = h->value(), vPos = v->value();
  h->setValue(0);
  v->setValue(0);
  double pw = pageWidth_, ph = pageHeight_;
  int m = static_cast<int>(std::lround(dpiX_ * pw * MarginPercent / 100));
  if (MarginMethod == mmScaled) m = static_cast<int>(std::lround(m * zoom_ / 100));
  int bw = std::max(1, static_cast<int>(std::lround(dpiX_ * pw * zoom_ / 100)));
  int bh = std::max(1, static_cast<int>(std::lround(dpiY_ * ph * zoom_ / 100)));
  bitmap_ = QImage(bw, bh, QImage::Format_RGB32);
  int dpm = static_cast<int>(std::lround(dpiX_ / 0.0254));
  bitmap_.setDotsPerMeterX(dpm);
  bitmap_.setDotsPerMeterY(dpm);
  bitmap_.fill(Qt::white);
  SetPen(clBlack, psSolid, 1, pmCopy);
  SetBrush(clWhite, bsSolid);
  if (current_.position) {
    bitmapPainter_.begin(&bitmap_);
    try {
      PlayRecords();
    } catch (...) {
      bitmapPainter_.end();
      throw;
    }
    bitmapPainter_.end();
  }
  QImage shown = Monochrome ? bitmap_.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither) : bitmap_;
  if (image_) {
    image_->setGeometry(m, m, bw, bh);
    image_->setPixmap(QPixmap::fromImage(shown));
  }
  if (page_) page_->resize(bw + 2 * m, bh + 2 * m);
  h->setValue(hPos);
  v->setValue(vPos);
}

void TStreamPreview::PrevPage() {
  if (current_.previous > 0) PlayPage(current_.pageNumber - 1);
}

void TStreamPreview::NextPage() {
  if (current_.next > 0 && current_.position) PlayPage(current_.pageNumber + 1);
}

void TStreamPreview::RedrawPage() { PlayPage(current_.pageNumber); }

void TStreamPreview::SetZoomFactor(double percent) {
  zoom_ = std::clamp(percent, 10.0, 200.0);
  if (OnZoomChange) OnZoomChange(*this);
  else if (printing_) RedrawPage();
}

double TStreamPreview::ZoomPageWidthFactor() const {
  if (!ScrollBox) return zoom_;
  double W = ScrollBox->width(), H = ScrollBox->height();
  double fw = frameW_, fh = frameH_, sv = vScrollW_;
  double pw = pageWidth_, ph = pageHeight_, dx = dpiX_, dy = dpiY_, P = MarginPercent;
  double a, m;
  if (MarginMethod == mmFixed) {
    m = std::round(dx * pw * P / 100);
    a = (W - (fw + 2 * m)) / (dx * pw);
    if (H - fh < a * dy * ph + 2 * m) a = (W - (fw + 2 * m + sv)) / (dx * pw);
  } else {
    a = (W - fw) / (dx * pw * (1 + P * 0.02));
    m = std::round(dx * pw * P / 100 * a);
    if (H - fh < a * dy * ph + 2 * m) a = (W - fw - sv) / (dx * pw * (1 + P * 0.02));
  }
  return a * 100;
}

double TStreamPreview::ZoomPageFactor() const {
  if (!ScrollBox) return zoom_;
  double W = ScrollBox->width(), H = ScrollBox->height();
  double pw = pageWidth_, ph = pageHeight_, dx = dpiX_, dy = dpiY_, P = MarginPercent;
  double bx, by;
  if (MarginMethod == mmFixed) {
    double m = std::round(dx * pw * P / 100);
    bx = (W - 4 - 2 * m) / (dx * pw);
    by = (H - 4 - 2 * m) / (dy * ph);
  } else {
    bx = (W - 4) / (dx * pw * (1 + P * 0.02));
    by = (H - 4) / (dy * ph + dx * pw * P * 0.02);
  }
  return std::min(bx, by) * 100;
}

}  // namespace report
