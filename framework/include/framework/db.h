// The data-access framework: datasets, fields, data sources and data links.
//
// A TDataSet keeps a window of buffered records (as many as its largest
// link asks for) with one active record, moves through a cursor, and tells
// every TDataLink of every TDataSource what changed through data events
// (active changed, data set changed, data set scrolled, editing changed,
// layout changed, record changed, update data, check browse mode). Fields
// read and write the active record; a grid paints other rows by setting its
// link's ActiveRecord for the time of the painting.
//
// Failures raise EDatabaseError (with the engine's code when the engine
// refused) or EConvertError (text that is not a value of the field's type).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "framework/sysutils.h"

namespace framework {

class TDataSet;
class TDataSource;
class TDataLink;
class TField;

namespace detail {
class Cursor;
struct RecordBuffer;
}  // namespace detail

// A database failure: the engine's 16-bit code (0 for the framework's own
// checks) and its text.
class EDatabaseError : public Exception {
 public:
  explicit EDatabaseError(const std::string& message, uint16_t errorCode = 0)
      : Exception(message), errorCode_(errorCode) {}
  uint16_t ErrorCode() const { return errorCode_; }

 private:
  uint16_t errorCode_;
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter };

enum TDataEvent {
  deFieldChange,      // info: the TField*
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,    // info: how many records the buffer window moved forward
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  deFocusControl,     // info: the TField*
};

enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftBCD,
  ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftBlob, ftMemo, ftGraphic,
};

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A bookmark: opaque bytes, empty when there is none.
using TBookmark = std::string;

// The value of one field in a record buffer. Dates are engine day numbers,
// times milliseconds since midnight, date-times TDateTime.
using FieldValue = std::variant<std::monostate, std::string, int64_t, double, bool>;

const char* FieldTypeName(TFieldType type);

// ------------------------------------------------------------------ fields

class TField {
 public:
  virtual ~TField();
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TDataSet* DataSet() const { return dataSet_; }
  const std::string& FieldName() const { return fieldName_; }
  int FieldNo() const { return fieldNo_; }  // 1-based physical number; 0 for calculated fields
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }  // characters of a string field, decimals of a number
  int Index() const;                  // position in the dataset's field list
  void SetIndex(int index);           // moves the field there (layout changed)
  bool Calculated() const { return calculated_; }
  bool IsBlob() const { return dataType_ == ftMemo || dataType_ == ftBlob || dataType_ == ftGraphic; }

  // Display properties: a change raises layout changed on the dataset.
  int DisplayWidth() const { return displayWidth_ > 0 ? displayWidth_ : DefaultWidth(); }
  void SetDisplayWidth(int width);
  std::string DisplayLabel() const { return displayLabel_.empty() ? fieldName_ : displayLabel_; }
  void SetDisplayLabel(const std::string& label);
  std::string DisplayName() const { return DisplayLabel(); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }
  bool CanModify() const;

  // Values of the record the dataset presents (active, under filter test, or
  // being calculated).
  bool IsNull() const;
  void Clear();
  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& text);
  virtual int32_t AsInteger() const;
  virtual void SetAsInteger(int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  // The edit text and the display text (equal here; formats of their own are
  // not offered).
  virtual std::string Text() const { return AsString(); }
  virtual void SetText(const std::string& text) { SetAsString(text); }
  virtual std::string DisplayText() const { return Text(); }
  // Whether a typed character can be part of a value of this field.
  virtual bool IsValidChar(char c) const;
  void FocusControl();

  const FieldValue& Value() const;
  void SetValue(const FieldValue& value);

  std::function<void(TField&)> OnChange;
  std::function<void(TField&)> OnValidate;

 protected:
  TField(TFieldType type, int size);
  virtual int DefaultWidth() const { return 10; }
  [[noreturn]] void ConvertErrorFor(const char* typeName) const;
  [[noreturn]] void AccessError(const char* typeName) const;
  const FieldValue& ReadValue() const;  // Value, inlined where the field classes read it

 private:
  const FieldValue& StateValue() const;  // Value outside browsing
  friend class TDataSet;
  TDataSet* dataSet_ = nullptr;
  std::string fieldName_;
  int fieldNo_ = 0;
  TFieldType dataType_;
  int size_;
  int decimals_ = 0;  // of a dBASE number
  int dbaseWidth_ = 0;
  bool calculated_ = false;
  int calcIndex_ = -1;
  int displayWidth_ = 0;
  std::string displayLabel_;
  bool visible_ = true;
  TAlignment alignment_ = taLeftJustify;
  bool readOnly_ = false;
  bool required_ = false;

 public:
  int Decimals() const { return decimals_; }  // decimals of a dBASE number field
};

class TStringField : public TField {
 public:
  explicit TStringField(int size = 20) : TField(ftString, size) {}
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;  // longer text is cut to Size
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsString(IntToStr(value)); }
  double AsFloat() const override;
  void SetAsFloat(double value) override { SetAsString(FloatToStr(value, '.')); }
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override { SetAsString(DateTimeToStr(value)); }
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override { SetAsString(value ? "T" : "F"); }

 protected:
  int DefaultWidth() const override { return Size(); }
};

class TNumericField : public TField {
 public:
  bool IsValidChar(char c) const override;

 protected:
  TNumericField(TFieldType type, int size) : TField(type, size) { SetAlignment(taRightJustify); }
};

class TIntegerField : public TNumericField {
 public:
  TIntegerField() : TNumericField(ftInteger, 0) {}
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;

 protected:
  TIntegerField(TFieldType type) : TNumericField(type, 0) {}
  int DefaultWidth() const override { return 11; }
};

class TSmallintField : public TIntegerField {
 public:
  TSmallintField() : TIntegerField(ftSmallint) {}
 protected:
  int DefaultWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
 public:
  TWordField() : TIntegerField(ftWord) {}
 protected:
  int DefaultWidth() const override { return 5; }
};

class TFloatField : public TNumericField {
 public:
  TFloatField() : TNumericField(ftFloat, 0) {}
  // Numbers in field text use "." as the decimal point whatever
  // DecimalSeparator says.
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  int32_t AsInteger() const override;
  void SetAsInteger(int32_t value) override { SetAsFloat(value); }
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  bool IsValidChar(char c) const override;
  int Precision() const { return precision_; }
  void SetPrecision(int p) { precision_ = p; }

 protected:
  TFloatField(TFieldType type) : TNumericField(type, 0) {}

 private:
  int precision_ = 15;
};

class TCurrencyField : public TFloatField {
 public:
  TCurrencyField() : TFloatField(ftCurrency) {}
};

class TBooleanField : public TField {
 public:
  TBooleanField() : TField(ftBoolean, 0) {}
  std::string AsString() const override;              // "True" / "False", "" when blank
  void SetAsString(const std::string& text) override;  // T, Y, True, Yes; F, N, False, No; "" blank
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }

 protected:
  int DefaultWidth() const override { return 5; }
};

class TDateTimeField : public TField {
 public:
  TDateTimeField() : TField(ftDateTime, 0) {}
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() const override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }

 protected:
  TDateTimeField(TFieldType type) : TField(type, 0) {}
  int DefaultWidth() const override { return 18; }
};

class TDateField : public TDateTimeField {
 public:
  TDateField() : TDateTimeField(ftDate) {}
  std::string AsString() const override;               // ShortDateFormat, "" when blank
  void SetAsString(const std::string& text) override;  // "" blanks the field

 protected:
  int DefaultWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
 public:
  TTimeField() : TDateTimeField(ftTime) {}
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;

 protected:
  int DefaultWidth() const override { return 10; }
};

class TBlobField : public TField {
 public:
  TBlobField() : TField(ftBlob, 0) {}
  std::string AsString() const override;
  void SetAsString(const std::string& text) override;
  std::string DisplayText() const override { return "(Blob)"; }

 protected:
  TBlobField(TFieldType type) : TField(type, 0) {}
};

class TMemoField : public TBlobField {
 public:
  TMemoField() : TBlobField(ftMemo) {}
  std::string DisplayText() const override { return "(Memo)"; }
};

// Creates the field class that suits a type.
std::unique_ptr<TField> CreateField(TFieldType type, int size);

// --------------------------------------------------- definitions and params

class TFieldDef {
 public:
  TFieldDef(std::string name, TFieldType type, int size, bool required, int fieldNo)
      : name_(std::move(name)), dataType_(type), size_(size), required_(required), fieldNo_(fieldNo) {}
  const std::string& Name() const { return name_; }
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }  // characters of a string, decimals of a float
  bool Required() const { return required_; }
  int FieldNo() const { return fieldNo_; }
  int Precision() const { return precision_; }  // dBASE width of a number (0: the engine's default)
  void SetPrecision(int width) { precision_ = width; }

 private:
  std::string name_;
  TFieldType dataType_;
  int size_;
  bool required_;
  int fieldNo_;
  int precision_ = 0;
};

class TFieldDefs {
 public:
  void Clear() { items_.clear(); }
  TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return static_cast<int>(items_.size()); }
  TFieldDef& Items(int i) { return *items_.at(static_cast<size_t>(i)); }
  const TFieldDef& Items(int i) const { return *items_.at(static_cast<size_t>(i)); }
  TFieldDef& operator[](int i) { return Items(i); }
  int IndexOf(std::string_view name) const;  // -1 when missing; without regard to case
  TFieldDef* Find(std::string_view name);     // null when missing

 private:
  std::vector<std::unique_ptr<TFieldDef>> items_;
};

enum TIndexOption { ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8, ixExpression = 16 };
using TIndexOptions = unsigned;

class TIndexDef {
 public:
  TIndexDef(std::string name, std::string fields, TIndexOptions options)
      : name_(std::move(name)), fields_(std::move(fields)), options_(options) {}
  const std::string& Name() const { return name_; }
  // Field names separated by ";" for a field index; the key expression for
  // an expression index.
  const std::string& Fields() const { return fields_; }
  std::string Expression() const { return (options_ & ixExpression) ? fields_ : std::string(); }
  TIndexOptions Options() const { return options_; }

 private:
  std::string name_;
  std::string fields_;
  TIndexOptions options_;
};

class TIndexDefs {
 public:
  void Clear() { items_.clear(); }
  TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
  int Count() const { return static_cast<int>(items_.size()); }
  const TIndexDef& Items(int i) const { return items_.at(static_cast<size_t>(i)); }
  const TIndexDef& operator[](int i) const { return Items(i); }
  int IndexOf(std::string_view name) const;  // without regard to case
  const TIndexDef* Find(std::string_view name) const;
  // Refreshed from the open table (TTable sets this up).
  void Update();
  std::function<void(TIndexDefs&)> updater;

 private:
  std::vector<TIndexDef> items_;
};

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// One parameter value: a name, a type and a value (or null).
class TParam {
 public:
  TParam() = default;
  explicit TParam(std::string name, TParamType paramType = ptInput) : name_(std::move(name)), paramType_(paramType) {}
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  TParamType ParamType() const { return paramType_; }
  TFieldType DataType() const { return dataType_; }
  void SetDataType(TFieldType type) { dataType_ = type; }
  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  void Clear() { value_ = std::monostate{}; }
  bool Bound() const { return bound_; }
  void SetBound(bool b) { bound_ = b; }

  std::string AsString() const;
  void SetAsString(const std::string& v);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t v);
  double AsFloat() const;
  void SetAsFloat(double v);
  bool AsBoolean() const;
  void SetAsBoolean(bool v);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime v);
  void SetAsDate(TDateTime v);
  // Takes the field's type and value (null when the field is).
  void AssignField(const TField& field);
  const FieldValue& Value() const { return value_; }
  void SetValue(TFieldType type, const FieldValue& v) { dataType_ = type; value_ = v; bound_ = true; }

 private:
  std::string name_;
  TParamType paramType_ = ptInput;
  TFieldType dataType_ = ftUnknown;
  FieldValue value_;
  bool bound_ = false;
};

class TParams {
 public:
  TParam& CreateParam(TFieldType type, const std::string& name, TParamType paramType = ptInput);
  int Count() const { return static_cast<int>(items_.size()); }
  TParam& Items(int i) { return *items_.at(static_cast<size_t>(i)); }
  TParam& operator[](int i) { return Items(i); }
  TParam& ParamByName(std::string_view name);  // EDatabaseError "Parameter 'X' not found"
  TParam* FindParam(std::string_view name);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TParam>> items_;
};

// ------------------------------------------------------------------ dataset

using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

class TDataSet {
 public:
  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  std::string Name;  // the component's name, for messages

  // Opening and closing.
  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // Moving. MoveBy answers the distance actually moved.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  int MoveBy(int distance);
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const;
  int RecordCount();  // visible records, from the cursor (honouring filters)
  // The visible records with the OnFilterRecord handler left out (ranges
  // still apply): for a caller that knows its handler accepts every record
  // now, answered without calling it on each one.
  int UnfilteredRecordCount();
  int RecNo();        // 1-based sequence number of the active record, -1 unknown

  // Changing. Edit on an empty dataset inserts.
  void Insert();
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();
  bool Modified() const { return modified_; }
  virtual bool CanModify() const;
  void UpdateRecord();     // asks the links to write pending edits (update data)
  void CheckBrowseMode();  // posts a modified edit, cancels an untouched one

  // Re-reading.
  void Refresh();  // browse mode, the cursor re-reads, the window is rebuilt
  void Resync();   // the window is rebuilt around the cursor's record
  void UpdateCursorPos();   // brings the cursor to the active record
  void CursorPosChanged();  // the cursor was moved behind the dataset's back

  // Controls.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  // Bookmarks.
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  void FreeBookmark(TBookmark&) {}
  bool BookmarkValid(const TBookmark& bookmark);
  int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // Fields. Data fields are made from the cursor's definitions at each open;
  // calculated fields are added by the owner and kept across opens.
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField* Fields(int index) const { return fields_.at(static_cast<size_t>(index)); }
  TField* FindField(std::string_view name) const;  // without regard to case; null when missing
  TField* FieldByName(std::string_view name) const;  // EDatabaseError "Field 'X' not found"
  TField* FieldByNumber(int fieldNo) const;
  TField* AddCalcField(const std::string& name, TFieldType type, int size = 0);
  void GetFieldNames(std::vector<std::string>& names) const;
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  bool HasCalcFields() const { return !calcFields_.empty(); }

  // Filtering: with Filtered set and OnFilterRecord assigned the handler is
  // asked for every record the cursor considers; it reads the fields of the
  // record under test and must not move the dataset.
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  void SetOnFilterRecord(TFilterRecordEvent handler);
  const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }

  // The buffered window (used by links).
  int BufferCount() const { return bufferCount_; }
  int BufferedRecordCount() const { return static_cast<int>(buffers_.size()); }
  int ActiveBuffer() const { return active_; }

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert,
      BeforeEdit, AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete,
      BeforeScroll, AfterScroll, OnNewRecord, OnCalcFields;

  void CheckActive() const;
  void CheckInactive() const;

 protected:
  // The steps of opening a descendant overrides.
  // The open step: makes the cursor (CreateCursor), prepares it
  // (PrepareCursor) and builds the fields; the dataset is not yet active.
  virtual void OpenCursor();
  // Cursor creation: the descendant's cursor on its engine.
  virtual std::unique_ptr<detail::Cursor> CreateCursor();
  // Cursor preparation: index, range and filters, before the dataset is active.
  virtual void PrepareCursor() {}
  // The per-record calculated-fields step; raises OnCalcFields.
  virtual void DoOnCalcFields();
  virtual void CloseCursor();

  detail::Cursor* Cursor() const { return cursor_.get(); }
  void SetCursor(std::unique_ptr<detail::Cursor> cursor);
  // Sends a data event to every data source (and through them to every link).
  void DataEvent(TDataEvent event, intptr_t info = 0);
  void SetState(TDataSetState state);
  // The key buffer of a set-key state (TTable).
  void SetKeyState(bool on);
  std::vector<FieldValue>& KeyValues() { return keyValues_; }
  void RebuildFields();
  void ApplyFilterToCursor();
  void ClearBuffers();
  bool FilterAccepts(const std::vector<FieldValue>& values);
  [[noreturn]] void Fail(const std::string& message) const;

 private:
  friend class TField;
  friend class TDataSource;
  friend class TDataLink;

  struct Buffer;
  Buffer& ActiveBuf();
  const std::vector<FieldValue>* CurrentValues() const;
  std::vector<FieldValue>* CurrentCalcValues() const;
  std::vector<FieldValue>* WritableValues();
  std::vector<FieldValue>* WritableCalcValues();
  void FieldChanged(TField* field);
  void MovedField(TField* field, int newIndex);
  void LayoutChanged();

  void SetCursorTo(int buffer);
  bool Fetch(int mode, Buffer& into);
  std::unique_ptr<Buffer> TakeSpare();
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void CalculateFields(Buffer& buffer);
  void CheckCanMove() const;
  void CheckCanModifyNow() const;
  void FinishNavigate();
  void BeginInsert();
  std::unique_ptr<Buffer> NewRecordBuffer(int flag);  // flag: a Buffer::Flag
  void EnterInsertState();
  // `into`: the buffer the cursor's record is read into (a copy of what it
  // last held spares decoding it again when it is unchanged).
  void ResyncAround(int keepRow, std::unique_ptr<Buffer> into = nullptr);
  void RefillAfterCancel(const TBookmark& before);

  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void UpdateBufferCount();
  void SetBufferCount(int count);
  void ShiftLinks(int delta);

  std::unique_ptr<detail::Cursor> cursor_;
  TDataSetState state_ = dsInactive;
  std::vector<std::unique_ptr<TField>> ownedFields_;
  std::vector<TField*> fields_;                   // in Index order
  std::vector<TField*> calcFields_;               // by calc index
  TFieldDefs fieldDefs_;
  std::vector<std::unique_ptr<Buffer>> buffers_;  // the filled window, at most bufferCount_
  std::unique_ptr<Buffer> spare_;                 // storage for the next read, outside the window
  int bufferCount_ = 1;
  int active_ = 0;
  int cursorRec_ = -1;   // the buffer the cursor stands on, -1 unknown
  int shifted_ = 0;      // buffers the window moved forward during one operation
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  std::vector<FieldValue> editBackup_;
  std::vector<FieldValue> keyValues_;
  const std::vector<FieldValue>* filterValues_ = nullptr;
  std::vector<FieldValue> filterCalc_;
  Buffer* calcBuffer_ = nullptr;
  bool inFetch_ = false;
  bool filtered_ = false;
  TFilterRecordEvent onFilterRecord_;
  int disableCount_ = 0;
  TDataSetState disableState_ = dsInactive;
  bool pendingLayout_ = false;
  bool pendingChange_ = false;
  std::vector<TDataSource*> dataSources_;
};

// ------------------------------------------------------ sources and links

class TDataSource {
 public:
  TDataSource() = default;
  explicit TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }
  virtual ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  std::string Name;
  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool AutoEdit = true;
  TDataSetState State() const { return state_; }
  // Puts the dataset into edit state when AutoEdit allows it.
  void Edit();

  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, intptr_t info);
  void NotifyLinks(TDataEvent event, intptr_t info);
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);

  TDataSet* dataSet_ = nullptr;
  bool enabled_ = true;
  TDataSetState state_ = dsInactive;
  std::vector<TDataLink*> links_;
};

// A connection to a data source. Descendants override the notifications.
class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }
  bool Active() const { return active_; }
  bool Editing() const { return editing_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);

  // The link's own window of the dataset's buffered records.
  int BufferCount() const { return bufferCount_; }
  void SetBufferCount(int count);
  int RecordCount() const;   // records in the link's window
  int ActiveRecord() const;  // row of the active record in the link's window
  // Makes the record of that row the one fields read (for painting rows);
  // no event is sent.
  void SetActiveRecord(int row);
  bool Edit();  // puts the dataset into edit state; true when it is editing
  void UpdateRecord();  // asks the link to write its pending edit (UpdateData)

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField* field) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* field) {}
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  friend class TDataSet;
  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  int ClampFirst(int first) const;

  TDataSource* dataSource_ = nullptr;
  int bufferCount_ = 1;
  int firstRecord_ = 0;  // dataset buffer index of the link's first row
  bool active_ = false;
  bool editing_ = false;
  bool readOnly_ = false;
  bool updating_ = false;
};

// The link of a control that shows and edits one field.
class TFieldDataLink : public TDataLink {
 public:
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  TField* Field() const { return field_; }
  bool CanModify() const;
  bool Modified() const { return modified_; }
  void Modified(bool) = delete;
  void SetModified() { modified_ = true; }
  void Reset();  // forgets the control's edit and shows the field again

  std::function<void()> OnDataChange;
  std::function<void()> OnEditingChange;
  std::function<void()> OnUpdateData;
  std::function<void()> OnActiveChange;

 protected:
  void ActiveChanged() override;
  void EditingChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;

 private:
  void UpdateField();
  std::string fieldName_;
  TField* field_ = nullptr;
  bool modified_ = false;
};

}  // namespace framework
