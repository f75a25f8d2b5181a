#include "qt_ui.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QCloseEvent>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include "platform/paths.h"

namespace platform::ui {
namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string S(const QString& s) { return s.toUtf8().toStdString(); }

// The window a box or dialog belongs to: the active one, else the modal
// window in force, else the program's main window, so that no box stands
// alone (with a window manager's minimise and maximise buttons, placed apart).
QWidget* Parent() {
  if (QWidget* w = QApplication::activeModalWidget()) return w;
  if (QWidget* w = QApplication::activeWindow()) return w;
  QWidget* anyShown = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || (w->windowFlags() & Qt::Popup) == Qt::Popup) continue;
    if (w->inherits("QMainWindow")) return w;
    if (!anyShown) anyShown = w;
  }
  return anyShown;
}

std::vector<QMessageBox::StandardButton> ButtonList(Buttons b) {
  switch (b) {
    case Buttons::Ok: return {QMessageBox::Ok};
    case Buttons::OkCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case Buttons::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case Buttons::YesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case Buttons::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    case Buttons::AbortRetryIgnore: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
  }
  return {QMessageBox::Ok};
}

Answer ToAnswer(int button) {
  switch (button) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return Answer::None;
  }
}

// "Text Files (*.TXT)|*.TXT|All files|*.*" -> "Text Files (*.TXT)",
// "All files (*)": Qt shows the description and matches the patterns in the
// parentheses at its end. A description that ends in its own patterns keeps
// them once; Windows patterns are separated by ';'.
QStringList ToQtFilters(const std::string& windowsFilter) {
  QStringList parts = Q(windowsFilter).split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString desc = parts[i].trimmed();
    // The list ends at its first empty entry, as in Windows ("...|*.DBF||").
    if (desc.isEmpty()) break;
    QStringList given, patterns;
    for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      QString t = p.trimmed();
      if (t.isEmpty()) continue;
      given << t;
      patterns << (t == "*.*" ? QString("*") : t);
    }
    if (patterns.isEmpty()) patterns << "*";
    const qsizetype open = desc.lastIndexOf('(');
    if (open >= 0 && desc.endsWith(')')) {
      QStringList shown = desc.mid(open + 1, desc.size() - open - 2).split(QRegularExpression("[; ]+"), Qt::SkipEmptyParts);
      if (shown.join(';').compare(given.join(';'), Qt::CaseInsensitive) == 0) desc = desc.left(open).trimmed();
    }
    out << desc + " (" + patterns.join(' ') + ")";
  }
  return out;
}

// A box without Cancel and with more than one button (Yes/No,
// Abort/Retry/Ignore) cannot be escaped or closed, as in Windows: Escape
// must never pick an answer the user did not choose.
class Box : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  bool noEscape = false;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (noEscape && e->matches(QKeySequence::Cancel)) {
      e->accept();
      return;
    }
    QMessageBox::keyPressEvent(e);
  }
  void closeEvent(QCloseEvent* e) override {
    if (noEscape) {
      e->ignore();
      return;
    }
    QMessageBox::closeEvent(e);
  }
};

// The icon the caller names; a box named none takes the one its caption
// says ("Error", "Warning", "Confirm"), any other an information icon.
QMessageBox::Icon BoxIcon(const MessageBoxRequest& request) {
  switch (request.icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
  }
  if (request.caption == "Error") return QMessageBox::Critical;
  if (request.caption == "Warning") return QMessageBox::Warning;
  if (request.caption == "Confirm") return QMessageBox::Question;
  return QMessageBox::Information;
}

}  // namespace

Answer QtUi::MessageBox(const MessageBoxRequest& request) {
  if (request.beep) QApplication::beep();
  Box box(Parent());
  box.setWindowTitle(Q(request.caption));
  box.setText(Q(request.text));
  box.setIcon(BoxIcon(request));
  // A box of its owner: a title bar with only its close button.
  box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowCloseButtonHint);
  std::vector<QMessageBox::StandardButton> buttons = ButtonList(request.buttons);
  QMessageBox::StandardButtons set;
  for (auto b : buttons) set |= b;
  box.setStandardButtons(set);
  size_t def = request.defaultButton >= 0 && static_cast<size_t>(request.defaultButton) < buttons.size()
                   ? static_cast<size_t>(request.defaultButton)
                   : 0;
  box.setDefaultButton(buttons[def]);
  // Escape answers Cancel where there is one and OK in a box of OK alone, as
  // in Windows; anywhere else it does nothing.
  bool hasCancel = false;
  for (auto b : buttons) hasCancel = hasCancel || b == QMessageBox::Cancel;
  if (hasCancel) box.setEscapeButton(QMessageBox::Cancel);
  else if (buttons.size() == 1) box.setEscapeButton(buttons.front());
  else box.noEscape = true;
  int result = box.exec();
  Answer a = ToAnswer(result);
  return a == Answer::None ? ToAnswer(buttons[def]) : a;
}

FileDialogResult QtUi::FileDialog(const FileDialogRequest& request) {
  FileDialogResult result;
  QFileDialog dialog(Parent(), Q(request.title));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile
                                  : (request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
  if (!request.overwritePrompt) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  QStringList filters = ToQtFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    int index = request.filterIndex >= 1 && request.filterIndex <= filters.size() ? request.filterIndex : 1;
    dialog.selectNameFilter(filters[index - 1]);
  }
  if (!request.defaultExt.empty()) dialog.setDefaultSuffix(Q(request.defaultExt));
  if (!request.initialDir.empty()) dialog.setDirectory(Q(request.initialDir));
  if (!request.fileName.empty()) dialog.selectFile(Q(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return result;

  QString chosen = dialog.selectedFiles().front();
  result.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (result.filterIndex < 1) result.filterIndex = request.filterIndex;
  // A name typed without extension takes the default one (Qt's suffix only
  // applies to some dialogs, so the rule is applied here again).
  if (!request.defaultExt.empty() && QFileInfo(chosen).suffix().isEmpty() && !QFileInfo(chosen).isDir()) {
    chosen += "." + Q(request.defaultExt);
  }
  if (request.pathMustExist && !QFileInfo(chosen).absoluteDir().exists()) return result;
  if (request.fileMustExist && !QFileInfo::exists(chosen)) return result;
  result.accepted = true;
  result.fileName = S(QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath()));
  return result;
}

std::string QtUi::BrowseDirectory(const std::string& title, const std::string& initialDir) {
  return S(QFileDialog::getExistingDirectory(Parent(), Q(title), Q(initialDir)));
}

FontDialogResult QtUi::FontDialog(const FontSpec& initial) {
  QFont font(Q(initial.name), initial.size);
  font.setBold(initial.bold);
  font.setItalic(initial.italic);
  font.setUnderline(initial.underline);
  font.setStrikeOut(initial.strikeOut);
  if (initial.pitch == 1) font.setFixedPitch(true);
  bool ok = false;
  QFont chosen = QFontDialog::getFont(&ok, font, Parent());
  FontDialogResult result;
  result.font = initial;
  if (!ok) return result;
  result.accepted = true;
  result.font.name = S(chosen.family());
  result.font.size = chosen.pointSize() > 0 ? chosen.pointSize() : initial.size;
  result.font.bold = chosen.bold();
  result.font.italic = chosen.italic();
  result.font.underline = chosen.underline();
  result.font.strikeOut = chosen.strikeOut();
  result.font.pitch = chosen.fixedPitch() ? 1 : initial.pitch;
  return result;
}

ColorDialogResult QtUi::ColorDialog(uint32_t initial) {
  // Windows keeps colours as 0x00BBGGRR.
  QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
               static_cast<int>((initial >> 16) & 0xFF));
  QColor chosen = QColorDialog::getColor(start, Parent());
  if (!chosen.isValid()) return {false, initial};
  uint32_t bgr = static_cast<uint32_t>(chosen.red()) | static_cast<uint32_t>(chosen.green()) << 8 |
                 static_cast<uint32_t>(chosen.blue()) << 16;
  return {true, bgr};
}

bool QtUi::Help(const HelpRequest& request) {
  if (request.command == HelpCommand::Quit) return true;
  const QString page = Q(HelpPage(request));
  if (!QFileInfo(page).isFile()) return false;
  QUrl url = QUrl::fromLocalFile(page);
  if (request.command == HelpCommand::Context) url.setFragment(QString::number(request.context));
  return QDesktopServices::openUrl(url);
}

void QtUi::Beep() { QApplication::beep(); }

void QtUi::SetBusyCursor(bool busy) {
  // Qt's override cursors stack, which gives the nesting.
  if (busy) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void InstallQtUi() { Install(std::make_shared<QtUi>()); }

}  // namespace platform::ui
