// The recorder: runs a report like TPrinterReport but records every text,
// drawing and attribute operation into a report stream (STREAM_FORMAT.md),
// in memory, in a named file or in the caller's stream.
#pragma once

#include "report/base_report.h"

namespace report {

inline constexpr const char* kCopyRectInFileMode = "CopyRect() not supported in file mode.";

class TStreamReport : public TBaseReport {
 public:
  using TBaseReport::TBaseReport;
  ~TStreamReport() override;

  TAccuracyMethod AccuracyMethod = amAppearance;
  std::string FileName;
  TStreamMode StreamMode = smMemory;
  ByteStream* Stream = nullptr;  // the caller's stream for smUser

  void Execute() override;
  void NewPage() override;
  void CancelPage() override;
  int GetOutputKind() const override { return 2; }
  void SetScaleX(double percent) override;
  void SetScaleY(double percent) override;
  void SetTextBKMode(TBKMode mode) override;
  void SetBackgroundColor(TColor color) override;
  // Pages recorded by the last run.
  int RecordedPages() const { return pageCount_; }

 protected:
  void Emit(const DrawOp& op) override;
  void TextOut(RecordCode code, const std::string& text, double x) override;
  void AttributesChanged() override;
  QPaintDevice* MetricsDevice() override;

  void WriteFileHeader();
  void WritePageStart();
  void WritePageEnd(bool last);
  void PatchPageCount();
  void WriteBrushChanges(bool force);
  void WriteFontChanges(bool force);
  void WritePenChanges(bool force);

 private:
  bool Writing() const { return printing_ && stream_ && !suspended_ && !suppressed_; }
  struct Written {
    TColor brushColor = 0;
    uint8_t brushStyle = 0;
    bool pattern = false;
    std::string fontName;
    TColor fontColor = 0;
    uint8_t pitch = 0;
    int height = 0;
    int style = 0;
    TColor penColor = 0;
    uint8_t penMode = 0, penStyle = 0;
    int penWidth = 0;
  } written_;
  ByteStream* stream_ = nullptr;
  std::unique_ptr<ByteStream> owned_;
  std::unique_ptr<StreamWriter> writer_;
  QImage screenReference_;
  bool suspended_ = false;
  bool pageOpen_ = false;  // a page start is written and its end is not
  int64_t lastPageStart_ = 0, currentPrevious_ = 0, nextLinkPos_ = -1, pageCountPos_ = -1;
  int pageCount_ = 0;
};

}  // namespace report
