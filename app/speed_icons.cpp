#include "speed_icons.h"

#include <map>
#include <memory>
#include <utility>

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

namespace keldro {

namespace {

struct SpeedIcon {
  std::string_view button;
  const char* theme;  // the freedesktop icon name
  const char* own;    // the program's picture, in its resources
};

constexpr SpeedIcon kSpeedIcons[] = {
    {"SpeedNew", "document-new", "new-database"},
    {"SpeedOpen", "document-open", "open-database"},
    {"SpeedAdd", "list-add", "add-record"},
    {"SpeedEdit", "document-edit", "edit-record"},
    {"SpeedCopy", "edit-copy", "copy-record"},
    {"SpeedDelete", "edit-delete", "delete-record"},
    {"SpeedImport", "document-import", "import-records"},
    {"SpeedExport", "document-export", "export-records"},
    {"SpeedSearch", "system-search", "search-records"},
    {"SpeedEndSearch", "edit-clear", "end-search"},
    {"SpeedLocate", "edit-find", "locate-record"},
    {"SpeedLocateNext", "go-next", "locate-next-record"},
    {"SpeedReports", "document-print", "reports"},
    {"SpeedViewer", "preferences-system", "viewer-configuration"},
    {"SpeedSortOrder", "view-sort-ascending", "sort-order"},
    {"SpeedColor", "preferences-desktop-theme", "color-setup"},
    {"SpeedHelp", "help-contents", "help"},
};

const SpeedIcon* Find(std::string_view button) {
  for (const SpeedIcon& i : kSpeedIcons)
    if (i.button == button) return &i;
  return nullptr;
}

// Draws one picture at the size asked for, when asked: the theme's icon if
// the theme has one (looked for once), else the program's own SVG. The
// disabled and selected looks are the style's, as for any other icon.
class SpeedIconEngine : public QIconEngine {
 public:
  SpeedIconEngine(const char* theme, const char* own, bool useTheme)
      : theme_(theme), own_(own), useTheme_(useTheme) {}

  QIconEngine* clone() const override { return new SpeedIconEngine(theme_, own_, useTheme_); }
  QString key() const override { return QStringLiteral("SpeedIconEngine"); }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap picture = scaledPixmap(rect.size(), mode, state, ratio);
    painter->drawPixmap(rect, picture);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    if (const QIcon* themed = Themed()) return themed->pixmap(size, scale, mode, state);
    const QSize pixels = size * scale;
    QPixmap& normal = drawn_[{pixels.width(), pixels.height()}];
    if (normal.isNull()) normal = Draw(pixels);
    normal.setDevicePixelRatio(scale);
    if (mode == QIcon::Normal || mode == QIcon::Active) return normal;
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, normal, &option);
  }

  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    if (const QIcon* themed = Themed()) return themed->actualSize(size, mode, state);
    const int side = qMin(size.width(), size.height());
    return {side, side};
  }

  bool isNull() override { return false; }

 private:
  const QIcon* Themed() {
    if (!useTheme_) return nullptr;
    if (!looked_) {
      looked_ = true;
      QIcon icon = QIcon::fromTheme(QLatin1String(theme_));
      if (!icon.isNull() && !icon.availableSizes().isEmpty()) themed_ = std::make_unique<QIcon>(std::move(icon));
    }
    return themed_.get();
  }

  QPixmap Draw(const QSize& pixels) const {
    QPixmap picture(pixels);
    picture.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/speed/%1.svg").arg(QLatin1String(own_)));
    if (svg.isValid()) {
      QPainter painter(&picture);
      painter.setRenderHint(QPainter::Antialiasing);
      svg.render(&painter);
    }
    return picture;
  }

  const char* theme_;
  const char* own_;
  bool useTheme_;
  bool looked_ = false;
  std::unique_ptr<QIcon> themed_;
  std::map<std::pair<int, int>, QPixmap> drawn_;
};

QIcon MakeIcon(std::string_view button, bool useTheme) {
  const SpeedIcon* i = Find(button);
  return i ? QIcon(new SpeedIconEngine(i->theme, i->own, useTheme)) : QIcon();
}

}  // namespace

QIcon OwnSpeedButtonIcon(std::string_view button) { return MakeIcon(button, false); }

QIcon SpeedButtonIcon(std::string_view button) { return MakeIcon(button, true); }

}  // namespace keldro
