// An in-memory cursor with the engine's position rules, and a data link
// that writes down every notification it receives.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cursor.h"
#include "framework/db.h"

namespace fwtest {

using namespace framework;

struct Store {
  std::vector<detail::FieldDesc> fields;
  struct Row {
    int id;
    std::vector<FieldValue> values;
    bool deleted = false;
  };
  std::vector<Row> rows;
  int nextId = 1;
  bool readOnly = false;
  int fetches = 0;

  void Add(std::vector<FieldValue> values) { rows.push_back({nextId++, std::move(values), false}); }
};

class FakeCursor : public detail::Cursor {
 public:
  explicit FakeCursor(std::shared_ptr<Store> store) : s_(std::move(store)) {}

  std::vector<detail::FieldDesc> Fields() override { return s_->fields; }
  bool CanModify() override { return !s_->readOnly; }
  void SetToBegin() override { pos_ = -1, on_ = false; }
  void SetToEnd() override { pos_ = static_cast<int>(s_->rows.size()), on_ = false; }

  detail::FetchResult Get(detail::Fetch mode, detail::RecordData& rec) override {
    ++s_->fetches;
    int n = static_cast<int>(s_->rows.size());
    if (mode == detail::Fetch::Current) {
      if (!on_ || pos_ < 0 || pos_ >= n || !Visible(pos_)) return detail::FetchResult::Eof;
    } else if (mode == detail::Fetch::Next) {
      int i = pos_ + 1;
      while (i < n && !Visible(i)) ++i;
      pos_ = i;
      on_ = i < n;
      if (!on_) return detail::FetchResult::Eof;
    } else {
      int i = std::min(pos_, n) - 1;
      while (i >= 0 && !Visible(i)) --i;
      pos_ = i;
      on_ = i >= 0;
      if (!on_) return detail::FetchResult::Bof;
    }
    rec.values = s_->rows[static_cast<size_t>(pos_)].values;
    rec.bookmark = std::to_string(s_->rows[static_cast<size_t>(pos_)].id);
    return detail::FetchResult::Ok;
  }

  void SetToBookmark(const TBookmark& b) override {
    int i = Find(b);
    if (i < 0) throw EDatabaseError("Record not found", 0x2206);
    pos_ = i;
    on_ = true;
  }
  bool BookmarkValid(const TBookmark& b) override { return Find(b) >= 0; }
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override { return Find(a) - Find(b); }
  int RecordCount() override {
    int c = 0;
    for (int i = 0; i < static_cast<int>(s_->rows.size()); ++i) c += Visible(i) ? 1 : 0;
    return c;
  }
  int RecordCountWithoutFilter() override {
    auto filter = std::move(filter_);
    filter_ = nullptr;
    const int c = RecordCount();
    filter_ = std::move(filter);
    return c;
  }
  int SequenceNumber() override {
    int c = 0;
    for (int i = 0; i <= pos_ && i < static_cast<int>(s_->rows.size()); ++i) c += Visible(i) ? 1 : 0;
    return c;
  }
  void Refresh() override {}
  detail::RecordData NewRecord() override {
    detail::RecordData r;
    r.values.assign(s_->fields.size(), FieldValue{});
    return r;
  }
  void Insert(detail::RecordData& r) override {
    s_->Add(r.values);
    pos_ = static_cast<int>(s_->rows.size()) - 1;
    on_ = true;
    r.bookmark = std::to_string(s_->rows.back().id);
  }
  void Modify(detail::RecordData& r) override {
    if (!on_) throw EDatabaseError("No current record", 0x2204);
    s_->rows[static_cast<size_t>(pos_)].values = r.values;
  }
  void Delete() override {
    if (!on_) throw EDatabaseError("No current record", 0x2204);
    s_->rows[static_cast<size_t>(pos_)].deleted = true;
    on_ = false;
  }
  void SetFilter(std::function<bool(const std::vector<FieldValue>&)> accept) override { filter_ = std::move(accept); }

 private:
  bool Visible(int i) {
    const Store::Row& r = s_->rows[static_cast<size_t>(i)];
    return !r.deleted && (!filter_ || filter_(r.values));
  }
  int Find(const TBookmark& b) {
    for (int i = 0; i < static_cast<int>(s_->rows.size()); ++i)
      if (std::to_string(s_->rows[static_cast<size_t>(i)].id) == b && !s_->rows[static_cast<size_t>(i)].deleted) return i;
    return -1;
  }
  std::shared_ptr<Store> s_;
  int pos_ = -1;
  bool on_ = false;
  std::function<bool(const std::vector<FieldValue>&)> filter_;
};

class FakeDataSet : public TDataSet {
 public:
  explicit FakeDataSet(std::shared_ptr<Store> store) : store_(std::move(store)) {}
  std::vector<std::string> steps;  // the virtual steps, in the order they ran

 protected:
  std::unique_ptr<detail::Cursor> CreateCursor() override {
    steps.push_back("create");
    return std::make_unique<FakeCursor>(store_);
  }
  void PrepareCursor() override {
    steps.push_back(Active() ? "prepare(active)" : "prepare");
  }
  void OpenCursor() override {
    steps.push_back("open");
    TDataSet::OpenCursor();
  }

 private:
  std::shared_ptr<Store> store_;
};

class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> log;
  std::string Take() {
    std::string all;
    for (auto& s : log) all += (all.empty() ? "" : ", ") + s;
    log.clear();
    return all;
  }

 protected:
  void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
  void CheckBrowseMode() override { log.push_back("check"); }
  void DataSetChanged() override { log.push_back("changed"); }
  void DataSetScrolled(int d) override { log.push_back("scrolled " + std::to_string(d)); }
  void EditingChanged() override { log.push_back(Editing() ? "editing" : "not editing"); }
  void LayoutChanged() override { log.push_back("layout"); }
  void RecordChanged(TField* f) override { log.push_back("record " + (f ? f->FieldName() : std::string("-"))); }
  void UpdateData() override { log.push_back("update"); }
};

}  // namespace fwtest
