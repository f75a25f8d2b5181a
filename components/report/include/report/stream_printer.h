// The player: TStreamPrinter replays a recorded report stream on the
// printer, whole or a page range; TStreamPreview replays one page at a time
// into a bitmap shown in a scroll area, with zoom and page navigation.
#pragma once

#include <QPointer>
#include <QScrollArea>

#include "report/canvas_report.h"

namespace report {

inline constexpr const char* kScrollBoxMissing = "ScrollBox must be assigned for StreamPreview component";

class TStreamPrinter : public TCanvasReport {
 public:
  using TCanvasReport::TCanvasReport;
  ~TStreamPrinter() override;

  std::string FileName;
  TStreamMode StreamMode = smMemory;
  ByteStream* Stream = nullptr;  // the caller's stream for smUser

  // All pages with the recorded copies.
  void Execute() override { PrintPages(0, 0, 0); }
  // Pages by their recorded numbers: first 0 means the first recorded page,
  // a last below 1 or past the recorded pages means the last one; copies 0
  // keeps the recorded copies.
  void PrintPages(int first, int last, int copies);
  void NewPage() override;
  virtual void PlayPage(int n);
  void GotoPage(int n);

  // Play state.
  int PageCount() const { return header_.pageCount; }
  int PageNumber() const { return current_.pageNumber; }
  int PreviousLink() const { return current_.previous; }
  int NextLink() const { return current_.next; }
  const FileHeader& Header() const { return header_; }

 protected:
  void OpenStream();
  void CloseStream();
  // Reads and applies the header; positions the play state before page 1.
  void ReadFileHeader();
  // Replays the records of the current page up to its end.
  void PlayRecords();
  [[noreturn]] void Fail(const std::string& message);
  bool HasPages() const;

  ByteStream* stream_ = nullptr;
  std::unique_ptr<ByteStream> owned_;
  std::unique_ptr<StreamReader> reader_;
  FileHeader header_;
  PageStart current_;
  int firstRecordedPage_ = 1;
};

class TStreamPreview : public TStreamPrinter {
 public:
  using TStreamPrinter::TStreamPrinter;
  ~TStreamPreview() override;

  QPointer<QScrollArea> ScrollBox;
  double ZoomInc = 10;
  bool Monochrome = false;
  TMarginMethod MarginMethod = mmFixed;
  double MarginPercent = 0;
  std::function<void(TStreamPreview&)> OnZoomChange, OnPageChange;

  void Execute() override { Start(); }
  void Start();
  void Finish();
  void PlayPage(int n) override;
  void PrevPage();
  void NextPage();
  void RedrawPage();
  void ZoomIn() { SetZoomFactor(zoom_ + ZoomInc); }
  void ZoomOut() { SetZoomFactor(zoom_ - ZoomInc); }
  void SetZoomFactor(double percent);
  void SetZoomInc(double step) { ZoomInc = step; }
  double ZoomPageWidthFactor() const;
  double ZoomPageFactor() const;
  int GetOutputKind() const override { return 1; }
  QPainter* GetCanvas() override { return &bitmapPainter_; }

  // The page bitmap and the image control that shows it.
  const QImage& PageBitmap() const { return bitmap_; }
  QLabel* ImageControl() const { return image_; }

 protected:
  QPainter* CanvasPainter() override { return &bitmapPainter_; }

 private:
  QImage bitmap_;
  QPainter bitmapPainter_;
  QPointer<QLabel> image_;
  QPointer<QWidget> page_;
  int frameW_ = 0, frameH_ = 0, vScrollW_ = 0, hScrollH_ = 0;
};

}  // namespace report
