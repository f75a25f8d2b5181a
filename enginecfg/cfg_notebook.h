// The notebook of vtxcfg32: six pages on a tab strip at the bottom, each
// showing configuration nodes in a property list. Every edit goes into the
// configuration model; nothing reaches the file before Save.
#pragma once

#include <QWidget>
#include <vector>

namespace vtxcfg {

class TPanel;
class TTabControl;

class TCfgNotebook : public QWidget {
  Q_OBJECT
 public:
  explicit TCfgNotebook(QWidget* parent);
  // The tab of string `tabId` (1073 "Drivers" ... 1081 "Number").
  void SelectPage(int tabId);
  void RefreshAll(bool loaded);
  TTabControl* Tabs() const { return tabs_; }
  TPanel* Page(int index) const { return pages_[static_cast<size_t>(index)]; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  int CurrentIndex() const { return current_; }
  TPanel* CurrentPage() const { return current_ >= 0 ? Page(current_) : nullptr; }
  static const std::vector<int>& TabIds();

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void ShowIndex(int index);
  TTabControl* tabs_;
  std::vector<TPanel*> pages_;
  int current_ = -1;
};

}  // namespace vtxcfg
