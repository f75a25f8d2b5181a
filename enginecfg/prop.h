// A row of the property list: a name and a value, shown as text; a row
// selected in the list carries the in-place editor over its value.
#pragma once

#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;

namespace vtxcfg {

class PropertiesWindow;
class TPropEdit;

inline constexpr int kStoredLimit = 79;  // characters a row keeps

class TProp {
 public:
  TProp(std::string name, QLabel* descriptionControl, std::string description);
  virtual ~TProp();
  TProp(const TProp&) = delete;
  TProp& operator=(const TProp&) = delete;

  virtual std::string ReadValue() { return value_; }
  // True when the stored value changed.
  virtual bool WriteValue(const std::string& text);
  virtual const std::vector<std::string>& Choices() const;
  virtual bool Browse() const { return false; }

  void Select();
  void Deselect();
  void Commit();

  uint64_t id() const { return id_; }
  const std::string& name() const { return name_; }
  const std::string& value() const { return value_; }  // as shown (Windows-1252)
  void SetShown(const std::string& text) { value_ = text.substr(0, kStoredLimit); }
  bool changed() const { return changed_; }
  void SetChanged(bool changed) { changed_ = changed; }
  TPropEdit* editor() const { return editor_; }
  const QRect& rowRect() const { return row_; }
  int split() const { return split_; }
  const std::string& description() const { return description_; }

 protected:
  void LoadShown() { value_ = ReadValue().substr(0, kStoredLimit); }

 private:
  friend class PropertiesWindow;
  uint64_t id_;
  PropertiesWindow* owner_ = nullptr;
  std::string name_;
  std::string value_;
  bool changed_ = false;
  int state_ = 0;  // 0 plain, 1 selected with its editor
  QRect row_;
  int split_ = 0;
  TPropEdit* editor_ = nullptr;
  QLabel* descriptionControl_;
  std::string description_;
};

}  // namespace vtxcfg
