// Helpers of the report writer tests: the application object, a report that
// keeps the operations it would draw, image comparison and page counting.
#pragma once

#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "report/base_report.h"

namespace report_test {

void EnsureApp();

// A writer that keeps every operation instead of drawing it; Execute runs
// `body` inside a one-page run.
class OpsReport : public report::TBaseReport {
 public:
  using report::TBaseReport::TBaseReport;
  std::vector<report::DrawOp> ops;
  std::function<void(OpsReport&)> body;
  void Execute() override;

 protected:
  void Emit(const report::DrawOp& op) override { ops.push_back(op); }
};

// Pixels that differ between two images (size mismatch counts every pixel).
int DifferentPixels(const QImage& a, const QImage& b);
// Page objects in a PDF file's bytes.
int PdfPageCount(const std::string& pdfBytes);
// Installs a fresh scripted ui and returns it.
std::shared_ptr<platform::ui::ScriptedUi> InstallScriptedUi();
// Where a test may leave pictures to look at.
std::string ArtifactPath(const std::string& name);

}  // namespace report_test
