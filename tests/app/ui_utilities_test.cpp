// The Qt side of the shared routines: configured fonts and a window's design
// geometry, on a small window of our own.
#include "ui_utilities.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace keldro {
namespace {

class UiUtilitiesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "ui_utilities_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }

  void SetUp() override {
    form.resize(400, 300);
    auto add = [this](QWidget* w, const char* name, QRect g, int points) {
      w->setObjectName(name);
      w->setGeometry(g);
      QFont f = w->font();
      f.setPointSize(points);
      w->setFont(f);
      return w;
    };
    button = static_cast<QPushButton*>(add(new QPushButton("OK", &form), "OkButton", {10, 20, 80, 25}, 9));
    label = static_cast<QLabel*>(add(new QLabel("Name", &form), "NameLabel", {10, 60, 50, 17}, 11));
    edit = static_cast<QLineEdit*>(add(new QLineEdit(&form), "NameEdit", {70, 60, 120, 21}, 10));
    bevel = static_cast<QFrame*>(add(new QFrame(&form), "Bevel1", {5, 5, 390, 100}, 8));
    bevel->setProperty("bevel", true);
    unnamed = new QLabel("unnamed", &form);
  }

  QWidget form;
  QPushButton* button = nullptr;
  QLabel* label = nullptr;
  QLineEdit* edit = nullptr;
  QFrame* bevel = nullptr;
  QLabel* unnamed = nullptr;
};

TEST_F(UiUtilitiesTest, ComponentsAreNamedWidgetsOfTheirKind) {
  EXPECT_EQ(FormComponents(&form), (std::vector<QWidget*>{button, label, edit, bevel}));
  EXPECT_EQ(KindOf(button), ComponentKind::Button);
  EXPECT_EQ(KindOf(label), ComponentKind::Label);
  EXPECT_EQ(KindOf(edit), ComponentKind::Edit);
  EXPECT_EQ(KindOf(bevel), ComponentKind::Bevel);
  edit->setInputMask("99/99/99");
  EXPECT_EQ(KindOf(edit), ComponentKind::MaskEdit);
}

TEST_F(UiUtilitiesTest, ConfiguredFontsGiveNameAndStyleButNeverSize) {
  AppSettings s;
  s.labelFont = {"Courier", true, false};
  s.editFont = {"Times", false, true};
  s.buttonFont = {"Helvetica", true, true};
  const QString before = unnamed->font().family();
  ApplyConfiguredFonts(&form, s);
  EXPECT_EQ(label->font().family(), "Courier");
  EXPECT_TRUE(label->font().bold());
  EXPECT_EQ(label->font().pointSize(), 11);
  EXPECT_EQ(edit->font().family(), "Times");
  EXPECT_TRUE(edit->font().italic());
  EXPECT_EQ(button->font().family(), "Helvetica");
  EXPECT_EQ(button->font().pointSize(), 9);
  EXPECT_EQ(unnamed->font().family(), before);
}

TEST_F(UiUtilitiesTest, RestoringScalesTheDesignOnceAndCentres) {
  FormDimensions dims;
  ASSERT_TRUE(SaveFormDimensions(&form, dims));
  for (int shown = 0; shown < 2; ++shown) {
    SCOPED_TRACE(shown);
    RestoreFormDimensions(&form, dims, 1.25, {800, 600});
    EXPECT_EQ(form.size(), QSize(500, 375));
    EXPECT_EQ(form.pos(), QPoint(150, 112));
    EXPECT_EQ(button->geometry(), QRect(13, 25, 100, 31));
    EXPECT_EQ(button->font().pointSize(), 11);
    EXPECT_EQ(label->font().pointSize(), 14);
    EXPECT_EQ(bevel->geometry(), QRect(6, 6, 488, 125));
    EXPECT_EQ(bevel->font().pointSize(), 8);  // a bevel has no font to keep
  }
  RestoreFormDimensions(&form, dims, 1.0, {800, 600});
  EXPECT_EQ(form.size(), QSize(400, 300));
  EXPECT_EQ(label->geometry(), QRect(10, 60, 50, 17));
}

// Turning a notebook's page restacks its pages; the components keep their
// order, so the saved geometry stays with the same controls.
TEST_F(UiUtilitiesTest, ANotebookTurningItsPageKeepsTheComponentOrder) {
  auto* tabs = new QTabWidget(&form);
  tabs->setObjectName("Notebook");
  tabs->setGeometry(10, 120, 300, 150);
  std::vector<QWidget*> pageEdits;
  for (const char* name : {"First", "Second", "Third"}) {
    auto* page = new QWidget;
    auto* e = new QLineEdit(page);
    e->setObjectName(name);
    e->setGeometry(5, 5 + 25 * static_cast<int>(pageEdits.size()), 100, 20);
    pageEdits.push_back(e);
    tabs->addTab(page, name);
  }
  form.show();
  FormDimensions dims;
  ASSERT_TRUE(SaveFormDimensions(&form, dims));
  const std::vector<QWidget*> before = FormComponents(&form);
  tabs->setCurrentIndex(2);
  tabs->setCurrentIndex(1);
  EXPECT_EQ(FormComponents(&form), before);
  RestoreFormDimensions(&form, dims, 2.0, {1024, 768});
  EXPECT_EQ(pageEdits[2]->geometry(), QRect(10, 110, 200, 40));
  // Qt's own parts of the notebook (its tab bar's scroll buttons) are not components.
  for (QWidget* w : FormComponents(&form))
    EXPECT_NE(w->parentWidget(), tabs->findChild<QTabBar*>()) << w->objectName().toStdString();
}

TEST_F(UiUtilitiesTest, AColourGroupPaintsEachKindWithItsPair) {
  ColorScheme group;
  for (int i = 0; i < kColorCount; ++i) group.colors[static_cast<size_t>(i)] = 0x010101 * (i + 1);
  label->setProperty("majorTitle", true);
  auto* minor = new QLabel("minor", &form);
  minor->setObjectName("MinorLabel");
  ApplyColorGroup(&form, group);
  auto grey = [](int i) { return QColor(i + 1, i + 1, i + 1); };
  EXPECT_EQ(form.palette().color(QPalette::Window), grey(0));
  EXPECT_EQ(label->palette().color(QPalette::WindowText), grey(1));
  EXPECT_EQ(minor->palette().color(QPalette::WindowText), grey(2));
  EXPECT_EQ(edit->palette().color(QPalette::Base), grey(3));
  EXPECT_EQ(edit->palette().color(QPalette::Text), grey(4));
  EXPECT_EQ(button->palette().color(QPalette::Button), QApplication::palette().color(QPalette::Button));
}

}  // namespace
}  // namespace keldro
