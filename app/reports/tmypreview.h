// TMyPreview: shows a report that was recorded into a stream page by page,
// with zoom and page navigation, and prints a page, a range or the whole
// report from the same stream.
#pragma once

#include <QDialog>

#include "report/stream_format.h"
#include "report/stream_printer.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenuBar;
class QScrollArea;
class QToolButton;

namespace keldro::reports {

class TMyPreview : public QDialog {
  Q_OBJECT
 public:
  // `stream` holds the recorded report and outlives the window.
  TMyPreview(QWidget* parent, report::ByteStream& stream);
  ~TMyPreview() override;

  QFrame* Panel2 = nullptr;
  QToolButton *SBZoomIn = nullptr, *SBZoomOut = nullptr, *SBPrevPage = nullptr, *SBNextPage = nullptr,
              *SBDone = nullptr, *SBPrint = nullptr, *SBZoomPageWidth = nullptr, *SBZoomPage = nullptr;
  QLabel *ZoomLabel = nullptr, *PageNumberLabel = nullptr, *PageLabel = nullptr;
  QLineEdit *ZoomEdit = nullptr, *PageEdit = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  QMenuBar* MainMenu = nullptr;
  QAction *MenuPrintPage = nullptr, *MenuPrintReport = nullptr, *MenuPrintRange = nullptr,
          *MenuPrinterSetup = nullptr, *MenuExit = nullptr;
  QAction *MenuPrevPage = nullptr, *MenuNextPage = nullptr, *MenuFirstPage = nullptr, *MenuLastPage = nullptr;
  QAction *MenuUseColor = nullptr, *MenuZoomPageWidth = nullptr, *MenuZoomWholePage = nullptr;
  report::TStreamPreview MyStreamPreview;
  report::TStreamPrinter MyStreamPrinter;

  void FormActivate();
  void DoZoomPageWidth();
  void DoZoomWholePage();
  void ZoomEditExit();
  void PageEditExit();
  void PrintPageClick();
  void PrintReportClick();
  void PrintRangeClick();
  // "Print Setup" on the installed printer; OK's orientation and copies
  // hold for the prints that follow.
  void PrinterSetupClick();
  void UseColorClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void CreateMenus();
  void FormClose();
  void MyStreamPreviewPageChange();
  void MyStreamPreviewZoomChange();
  bool PrinterBusy();
  // Runs a print through the printer of the stream, reporting its failures.
  template <typename F>
  void Print(F&& run);

  bool started_ = false;
};

}  // namespace keldro::reports
