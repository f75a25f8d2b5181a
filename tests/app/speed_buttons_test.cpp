// The speed buttons' icons under a bare platform (no icon theme): the
// program's own, each meaning its command, none a style's stock picture and
// no two alike; the panel is kept as a picture in the build folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "shot_path.h"
#include "speed_icons.h"
#include "tmain.h"
#include "window_test.h"

namespace keldro {
namespace {

using testing_support::TempRoot;

class SpeedButtonsTest : public WindowTest {
 protected:
  void TearDown() override {
    main.reset();
    WindowTest::TearDown();
  }
  std::unique_ptr<TMain> main;
};

QImage Picture(const QIcon& icon, int size) {
  return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Pixels that are not fully transparent.
int Drawn(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) != 0;
  return n;
}

TEST_F(SpeedButtonsTest, EveryIconIsItsOwnAndNoneIsAStockPicture) {
  ASSERT_TRUE(QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") << QIcon::themeName().toStdString();
  TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI", "[Misc]\r\nShow Tips=No\r\n");
  main = std::make_unique<TMain>(TMain::StartOptions{{"keldro"}, QSize(1280, 1024)});
  ASSERT_FALSE(main->Terminated());
  main->show();
  QApplication::processEvents();

  const std::vector<std::pair<QToolButton*, const char*>> buttons = {
      {main->SpeedNew, "New Database"},         {main->SpeedOpen, "Open Database"},
      {main->SpeedAdd, "Add Record"},           {main->SpeedEdit, "Edit Record"},
      {main->SpeedCopy, "Copy Record"},         {main->SpeedDelete, "Delete Record"},
      {main->SpeedImport, "Import Records"},    {main->SpeedExport, "Export Records"},
      {main->SpeedSearch, "Search Records"},    {main->SpeedEndSearch, "End Search"},
      {main->SpeedLocate, "Locate Record"},     {main->SpeedLocateNext, "Locate Next Record"},
      {main->SpeedReports, "Reports"},          {main->SpeedViewer, "Viewer Configuration"},
      {main->SpeedSortOrder, "Set Sorting Order"}, {main->SpeedColor, "Color Setup"},
      {main->SpeedHelp, "Help"},
  };
  const int size = 24;
  std::vector<QImage> stock;
  for (int sp = 0; sp <= static_cast<int>(QStyle::SP_TabCloseButton); ++sp) {
    const QIcon icon = main->style()->standardIcon(static_cast<QStyle::StandardPixmap>(sp));
    if (!icon.isNull()) stock.push_back(Picture(icon, size));
  }
  ASSERT_GT(stock.size(), 20u);
  std::vector<QImage> seen;
  for (const auto& [button, hint] : buttons) {
    SCOPED_TRACE(hint);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip().toStdString(), hint);
    const QImage picture = Picture(button->icon(), size);
    // The program's own picture, drawn, not an empty square.
    EXPECT_EQ(picture, Picture(OwnSpeedButtonIcon(button->objectName().toStdString()), size));
    EXPECT_GT(Drawn(picture), size * size / 8);
    for (const QImage& s : stock) EXPECT_NE(picture, s);
    for (const QImage& other : seen) EXPECT_NE(picture, other);
    seen.push_back(picture);
  }
  main->SpeedPanel->grab().save(QString::fromStdString(testing_support::ShotPath("speed_buttons.png")));
  QImage large(48 * static_cast<int>(buttons.size()), 48, QImage::Format_ARGB32);
  large.fill(Qt::white);
  {
    QPainter p(&large);
    for (size_t i = 0; i < buttons.size(); ++i)
      p.drawPixmap(static_cast<int>(i) * 48, 0, buttons[i].first->icon().pixmap(48, 48));
  }
  large.save(QString::fromStdString(testing_support::ShotPath("speed_buttons_48.png")));
}

}  // namespace
}  // namespace keldro
