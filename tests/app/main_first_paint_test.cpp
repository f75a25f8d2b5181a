// What the main window's first paint shows: the record count of the table
// it opened, in an index order and in record order, and in an index order
// for a table past the size a first count in record order may read.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>

#include <memory>
#include <string>

#include "framework/dbtables.h"
#include "platform/paths.h"
#include "shot_path.h"
#include "tmain.h"
#include "window_test.h"

namespace keldro {
namespace {

using testing_support::TempRoot;

// The label's text when it first paints.
class FirstPaintText : public QObject {
 public:
  explicit FirstPaintText(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool painted = false;
  QString text;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint && !painted) {
      painted = true;
      text = label_->text();
    }
    return false;
  }

 private:
  QLabel* label_;
};

class MainFirstPaintTest : public WindowTest {};

TEST_F(MainFirstPaintTest, TheRecordCountIsInTheFirstPaint) {
  struct Case {
    const char* name;
    const char* sortOrder;  // the INI's [Sort Order] section
    int records;
    int deleted;
  } cases[] = {
      {"index order", "Primary Sort=12\r\n", 5, 2},
      {"record order", "Primary Sort=0\r\n", 4, 1},
      {"empty, index order", "Primary Sort=12\r\n", 0, 0},
      // 27,000 records of the 22 fields: over 16 MiB.
      {"large, index order", "Primary Sort=12\r\n", 27000, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempRoot::WriteFile(platform::WindowsDir() / "KELDRO.INI",
                        std::string("[Misc]\r\nShow Tips=No\r\n[Sort Order]\r\n") + c.sortOrder);
    std::error_code ec;
    for (const char* file : {"MASTER.DBF", "MASTER.MDX"}) std::filesystem::remove(Program(file), ec);
    {
      TMain first(TMain::StartOptions{{"keldro"}, QSize(800, 600)});
      ASSERT_FALSE(first.Terminated());
      first.MyTable.BeginBatch();
      for (int i = 0; i < c.records; ++i) {
        first.MyTable.Append();
        first.MyTable.FieldByName("Item")->SetAsString("Lamp " + std::to_string(i));
        first.MyTable.Post();
      }
      first.MyTable.CommitBatch();
      first.MyTable.First();
      for (int i = 0; i < c.deleted; ++i) first.MyTable.Delete();
      first.FinishCount();
      first.close();
    }
    if (c.records == 27000) {
      ASSERT_GT(std::filesystem::file_size(Program("MASTER.DBF")), std::uintmax_t{16} << 20);
    }
    TMain main(TMain::StartOptions{{"keldro"}, QSize(800, 600)});
    ASSERT_FALSE(main.Terminated());
    EXPECT_EQ(main.MyTable.IndexName().empty(), std::string(c.sortOrder) == "Primary Sort=0\r\n");
    FirstPaintText seen(main.CountLabel);
    main.show();
    QApplication::processEvents();
    ASSERT_TRUE(seen.painted);
    EXPECT_EQ(seen.text.toStdString(), std::to_string(c.records - c.deleted));
    if (c.records == 5)
      main.grab().save(QString::fromStdString(testing_support::ShotPath("main_first_paint.png")));
    main.FinishCount();
    EXPECT_EQ(main.CountLabel->text().toStdString(), std::to_string(c.records - c.deleted));
    main.close();
  }
}

}  // namespace
}  // namespace keldro
