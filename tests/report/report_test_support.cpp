#include "report_test_support.h"

#include <QApplication>
#include <filesystem>
#include <regex>
#include "shot_path.h"

namespace report_test {

void EnsureApp() {
  // The suites run headless even where ctest's environment did not arrive.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "report_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
  (void)app;
}

void OpsReport::Execute() {
  CheckNotPrinting();
  printing_ = true;
  aborted_ = false;
  InitPageState();
  pageNumber_ = 1;
  suppressed_ = false;
  try {
    if (body) body(*this);
  } catch (...) {
    printing_ = false;
    throw;
  }
  printing_ = false;
}

int DifferentPixels(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return std::max(a.width() * a.height(), b.width() * b.height());
  QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  int n = 0;
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c)
      if (x.pixel(c, r) != y.pixel(c, r)) ++n;
  return n;
}

int PdfPageCount(const std::string& pdf) {
  static const std::regex page(R"(/Type\s*/Page(?![A-Za-z]))");
  return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

std::shared_ptr<platform::ui::ScriptedUi> InstallScriptedUi() {
  auto ui = std::make_shared<platform::ui::ScriptedUi>();
  platform::ui::Install(ui);
  return ui;
}

std::string ArtifactPath(const std::string& name) {
  return testing_support::ShotPath(name);
}

}  // namespace report_test

// Fontconfig keeps its caches until exit; those are no leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
