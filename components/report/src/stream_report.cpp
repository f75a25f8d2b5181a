#include "report/stream_report.h"

#include <cmath>

#include "op_codec.h"
#include "platform/ui.h"

namespace report {

TStreamReport::~TStreamReport() = default;

QPaintDevice* TStreamReport::MetricsDevice() {
  if (printer_) return printer_->ReferenceDevice();
  if (screenReference_.isNull()) {
    // Without a printer the screen is the reference, at 96 dots per inch.
    screenReference_ = QImage(8, 8, QImage::Format_RGB32);
    screenReference_.setDotsPerMeterX(3780);
    screenReference_.setDotsPerMeterY(3780);
  }
  return &screenReference_;
}

void TStreamReport::Execute() {
  CheckNotPrinting();
  pageNumber_ = 0;
  lastPageStart_ = currentPrevious_ = 0;
  nextLinkPos_ = pageCountPos_ = -1;
  pageCount_ = 0;
  pageOpen_ = false;
  struct AfterPrint {
    TStreamReport& r;
    ~AfterPrint() noexcept(false) {
      if (r.OnAfterPrint) r.OnAfterPrint(r);
    }
  } after{*this};
  if (OnBeforePrint) OnBeforePrint(*this);
  if (!OnPrint && !OnPrintPage) return;
  try {
    switch (StreamMode) {
      case smMemory: owned_ = std::make_unique<MemoryStream>(); break;
      case smFile: owned_ = std::make_unique<FileStream>(FileName, FileStream::kCreate); break;
      case smUser:
        if (!Stream) throw StreamError("no stream");
        Stream->Seek(0);
        Stream->Truncate();
        break;
    }
  } catch (const StreamError&) {
    owned_.reset();
    platform::ui::ShowMessage("Error initializing stream \"" + FileName + "\"", "Error", platform::ui::Buttons::Ok,
                              platform::ui::Icon::Error);
    return;
  }
  stream_ = StreamMode == smUser ? Stream : owned_.get();
  writer_ = std::make_unique<StreamWriter>(*stream_);
  struct Release {
    TStreamReport& r;
    ~Release() {
      r.writer_.reset();
      r.stream_ = nullptr;
      r.owned_.reset();
      r.printing_ = false;
    }
  } release{*this};
  ReadDeviceMetrics();
  if (!printer_) {
    deviceName_ = driverName_ = "Preview Only";
    portName_ = "Preview";
  }
  printing_ = true;
  aborted_ = false;
  suppressed_ = false;
  WriteFileHeader();
  suspended_ = true;
  InitPageState();
  pageNumber_ = 1;
  suppressed_ = pageNumber_ < FirstPage || pageNumber_ > LastPage;
  UpdateStatus();
  suspended_ = false;
  try {
    WritePageStart();
    if (OnNewPage) OnNewPage(*this);
    if (OnPrintHeader) OnPrintHeader(*this);
    if (OnPrint) {
      OnPrint(*this);
    } else {
      while (OnPrintPage(*this) && !aborted_) NewPage();
    }
    if (OnPrintFooter) OnPrintFooter(*this);
  } catch (...) {
    // Whatever stopped the run, the stream stays readable: the open page is
    // closed and the count patched.
    try {
      WritePageEnd(true);
      PatchPageCount();
    } catch (...) {
    }
    // A stream that could not be written fails the run as the writer's own
    // error, as callers expect of it.
    try {
      throw;
    } catch (const StreamError& e) {
      throw EReportWriter(e.what());
    }
  }
  try {
    WritePageEnd(true);
    PatchPageCount();
  } catch (const StreamError& e) {
    throw EReportWriter(e.what());
  }
  if (auto* memory = dynamic_cast<MemoryStream*>(owned_.get()); memory && !FileName.empty()) {
    try {
      memory->SaveToFile(FileName);
    } catch (const StreamError& e) {
      throw EReportWriter(e.what());
    }
  }
  if (auto* file = dynamic_cast<FileStream*>(owned_.get())) {
    try {
      file->Close();
    } catch (const StreamError& e) {
      throw EReportWriter(e.what());
    }
  }
}

void TStreamReport::NewPage() {
  CheckPrinting();
  if (OnPrintFooter) OnPrintFooter(*this);
  WritePageEnd(false);
  TBaseReport::NewPage();
  WritePageStart();
  if (OnNewPage) OnNewPage(*this);
  if (OnPrintHeader) OnPrintHeader(*this);
}

void TStreamReport::CancelPage() {
  CheckPrinting();
  bool wasSuppressed = suppressed_;
  TBaseReport::CancelPage();
  if (wasSuppressed || !pageOpen_ || !stream_) return;
  // The page leaves nothing behind: its bytes go, the links and the count
  // return to what they were before it began.
  stream_->Seek(static_cast<uint64_t>(lastPageStart_));
  stream_->Truncate();
  --pageCount_;
  lastPageStart_ = currentPrevious_;
  nextLinkPos_ = currentPrevious_ ? currentPrevious_ + static_cast<int64_t>(kNextLinkOffset) : -1;
  pageOpen_ = false;
}

void TStreamReport::WriteFileHeader() {
  FileHeader h;
  h.pageCount = 0;
  h.firstPage = FirstPage;
  h.lastPage = LastPage;
  h.pageWidth = static_cast<float>(pageWidth_);
  h.pageHeight = static_cast<float>(pageHeight_);
  h.unprintableLeft = static_cast<float>(unprintLeft_);
  h.unprintableRight = static_cast<float>(unprintRight_);
  h.unprintableTop = static_cast<float>(unprintTop_);
  h.unprintableBottom = static_cast<float>(unprintBottom_);
  h.orientation = orientation_;
  if (printer_) {
    h.copies = printer_->Copies();
    h.paperSize = printer_->PaperSize();
    h.paperWidth = printer_->PaperWidth();
    h.paperLength = printer_->PaperLength();
  }
  h.portName = selectedPort_;
  pageCountPos_ = static_cast<int64_t>(stream_->Position() + kPageCountOffset);
  report::WriteFileHeader(*writer_, h);
}

void TStreamReport::WritePageStart() {
  if (suppressed_) return;
  int64_t p = static_cast<int64_t>(stream_->Position());
  writer_->Byte(rcPageStart);
  writer_->Int(static_cast<int32_t>(lastPageStart_));
  currentPrevious_ = lastPageStart_;
  lastPageStart_ = p;
  nextLinkPos_ = p + static_cast<int64_t>(kNextLinkOffset);
  writer_->Int(0);
  writer_->Int(pageNumber_);
  writer_->Byte(orientation_);
  pageOpen_ = true;
  ++pageCount_;
  WriteBrushChanges(true);
  WriteFontChanges(true);
  WritePenChanges(true);
  writer_->Byte(rcScaleX);
  writer_->Float(static_cast<float>(scaleX_));
  writer_->Byte(rcScaleY);
  writer_->Float(static_cast<float>(scaleY_));
  writer_->Byte(rcTextBkMode);
  writer_->Byte(bkMode_);
  writer_->Byte(rcBkColor);
  writer_->Int(bkColor_);
}

void TStreamReport::WritePageEnd(bool last) {
  if (!stream_) return;
  // An aborted page is suppressed but begun: it still gets its end.
  if (pageOpen_) {
    writer_->Byte(rcPageEnd);
    pageOpen_ = false;
  }
  if (nextLinkPos_ >= 0) {
    uint64_t end = stream_->Position();
    stream_->Seek(static_cast<uint64_t>(nextLinkPos_));
    writer_->Int(last ? 0 : static_cast<int32_t>(end));
    stream_->Seek(end);
  }
}

void TStreamReport::PatchPageCount() {
  if (pageCountPos_ < 0 || !stream_) return;
  uint64_t end = stream_->Position();
  stream_->Seek(static_cast<uint64_t>(pageCountPos_));
  writer_->Int(pageCount_);
  stream_->Seek(end);
}

// ---- attributes ----

void TStreamReport::AttributesChanged() {
  if (!Writing()) return;
  WriteBrushChanges(false);
  WriteFontChanges(false);
  WritePenChanges(false);
}

void TStreamReport::WriteBrushChanges(bool force) {
  if (!Writing()) return;
  StreamWriter& w = *writer_;
  if (force || brush_.color != written_.brushColor) {
    w.Byte(rcBrushColor);
    w.Int(brush_.color);
  }
  if (force || brush_.style != written_.brushStyle) {
    w.Byte(rcBrushStyle);
    w.Byte(brush_.style);
  }
  bool pattern = brush_.bitmap && !brush_.bitmap->isNull();
  if (pattern) {
    // A pattern is written whenever attributes are, as a bitmap cannot be
    // compared cheaply.
    w.Byte(rcBrushBitmap);
    w.Byte(1);
    w.Graphic(detail::SaveGraphic(*brush_.bitmap, gkBitmap));
  } else if (written_.pattern || force) {
    w.Byte(rcBrushBitmap);
    w.Byte(0);
  }
  written_.brushColor = brush_.color;
  written_.brushStyle = brush_.style;
  written_.pattern = pattern;
}

void TStreamReport::WriteFontChanges(bool force) {
  if (!Writing()) return;
  StreamWriter& w = *writer_;
  const ReportFont& f = font_;
  Written& o = written_;
  if (force || f.name != o.fontName) {
    w.Byte(rcFontName);
    w.String(f.name);
  }
  if (force || f.color != o.fontColor) {
    w.Byte(rcFontColor);
    w.Int(f.color);
  }
  if (force || f.pitch != o.pitch) {
    w.Byte(rcFontPitch);
    w.Byte(f.pitch);
  }
  if (force || std::abs(f.height) != o.height) {
    w.Byte(rcFontHeight);
    w.Float(static_cast<float>(std::abs(f.height) / dpiY_));
  }
  struct Bit {
    int bit;
    RecordCode code;
  };
  for (Bit b : {Bit{kFontBold, rcFontBold}, Bit{kFontItalic, rcFontItalic}, Bit{kFontUnderline, rcFontUnderline},
                Bit{kFontStrikeOut, rcFontStrikeOut}}) {
    if (force || (f.style & b.bit) != (o.style & b.bit)) {
      w.Byte(b.code);
      w.Byte((f.style & b.bit) ? 1 : 0);
    }
  }
  o.fontName = f.name;
  o.fontColor = f.color;
  o.pitch = f.pitch;
  o.height = std::abs(f.height);
  o.style = f.style;
}

void TStreamReport::WritePenChanges(bool force) {
  if (!Writing()) return;
  StreamWriter& w = *writer_;
  if (force || pen_.color != written_.penColor) {
    w.Byte(rcPenColor);
    w.Int(pen_.color);
  }
  if (force || pen_.mode != written_.penMode) {
    w.Byte(rcPenMode);
    w.Byte(pen_.mode);
  }
  if (force || pen_.style != written_.penStyle) {
    w.Byte(rcPenStyle);
    w.Byte(pen_.style);
  }
  if (force || pen_.width != written_.penWidth) {
    w.Byte(rcPenWidth);
    w.Float(static_cast<float>(pen_.width / dpiX_));
  }
  written_.penColor = pen_.color;
  written_.penMode = pen_.mode;
  written_.penStyle = pen_.style;
  written_.penWidth = pen_.width;
}

void TStreamReport::SetScaleX(double percent) {
  TBaseReport::SetScaleX(percent);
  if (!Writing()) return;
  writer_->Byte(rcScaleX);
  writer_->Float(static_cast<float>(scaleX_));
}

void TStreamReport::SetScaleY(double percent) {
  TBaseReport::SetScaleY(percent);
  if (!Writing()) return;
  writer_->Byte(rcScaleY);
  writer_->Float(static_cast<float>(scaleY_));
}

void TStreamReport::SetTextBKMode(TBKMode mode) {
  TBaseReport::SetTextBKMode(mode);
  if (!Writing()) return;
  writer_->Byte(rcTextBkMode);
  writer_->Byte(mode);
}

void TStreamReport::SetBackgroundColor(TColor color) {
  TBaseReport::SetBackgroundColor(color);
  if (!Writing()) return;
  writer_->Byte(rcBkColor);
  writer_->Int(color);
}

// ---- operations ----

void TStreamReport::Emit(const DrawOp& op) {
  if (op.code == rcCopyRect) throw EReportWriter(kCopyRectInFileMode);
  if (!Writing()) return;
  WriteRecord(*writer_, detail::ToRecord(op, originX_, originY_));
}

void TStreamReport::TextOut(RecordCode code, const std::string& text, double x) {
  if (suppressed_) return;
  if (AccuracyMethod == amAppearance) {
    TBaseReport::TextOut(code, text, x);
    ProcessMessagesWhenDue();
    return;
  }
  double width = PixelsToInchesX(TextWidthPixels(text));
  double run = code == rcTextCenter ? x - width / 2 : code == rcTextRight ? x - width : x;
  for (char c : text) {
    std::string one(1, c);
    DrawOp op{rcTextLeft, {QPointF(run, cursorY_)}, {}, one, {}, gkBitmap};
    Emit(op);
    run += PixelsToInchesX(TextWidthPixels(one));
  }
  cursorX_ = run;
  ProcessMessagesWhenDue();
}

}  // namespace report
