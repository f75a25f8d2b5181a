// Fields, field and index definitions, parameters.
#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/db.h"

#include "cursor.h"
#include "record_buffer.h"

namespace framework {

namespace {

const FieldValue kNull{};

bool IsNullValue(const FieldValue& v) { return std::holds_alternative<std::monostate>(v); }

// The text to_chars writes for `value` with `decimals` fixed decimals, made
// from the scaled integer when that is plainly the same: the product is
// exact to an eighth of a unit below 2^50, so a product within a quarter of
// an integer n lies within 3/8 of it and the correctly rounded text is n's
// digits (never a tie). Anything else (zero, which may print "-0.00", large
// numbers, near-ties) answers false and goes through to_chars.
bool FixedDecimals(double value, int decimals, std::string& text) {
  static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  if (decimals < 1 || decimals > 6) return false;
  const double scaled = value * kScale[decimals];
  if (!(std::fabs(scaled) < 1125899906842624.0)) return false;  // 2^50; also refuses NaN
  const double n = std::nearbyint(scaled);
  if (n == 0 || std::fabs(scaled - n) > 0.25) return false;
  uint64_t units = static_cast<uint64_t>(std::fabs(n));
  // Two digits a step: half the chain of divisions (each a multiply that
  // waits for the one before).
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char buf[32];
  char* end = buf + sizeof buf;
  char* at = end;
  auto pair = [&at, &units] {
    at -= 2;
    std::memcpy(at, kPairs + 2 * (units % 100), 2);
    units /= 100;
  };
  int digits = decimals;
  for (; digits >= 2; digits -= 2) pair();
  if (digits == 1) {
    *--at = static_cast<char>('0' + units % 10);
    units /= 10;
  }
  *--at = '.';
  while (units >= 100) pair();
  if (units >= 10)
    pair();
  else
    *--at = static_cast<char>('0' + units);
  if (n < 0) *--at = '-';
  text.assign(at, end);
  return true;
}

}  // namespace

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftString: return "String";
    case ftSmallint: return "SmallInt";
    case ftInteger: return "Integer";
    case ftWord: return "Word";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftCurrency: return "Currency";
    case ftBCD: return "BCD";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftBytes: return "Bytes";
    case ftVarBytes: return "VarBytes";
    case ftBlob: return "Blob";
    case ftMemo: return "Memo";
    case ftGraphic: return "Graphic";
    default: return "Unknown";
  }
}

// ------------------------------------------------------------------ TField

TField::TField(TFieldType type, int size) : dataType_(type), size_(size) {}
TField::~TField() = default;

int TField::Index() const {
  if (!dataSet_) return -1;
  for (int i = 0; i < dataSet_->FieldCount(); ++i)
    if (dataSet_->Fields(i) == this) return i;
  return -1;
}

void TField::SetIndex(int index) {
  if (dataSet_) dataSet_->MovedField(this, index);
}

void TField::SetDisplayWidth(int width) {
  if (width == displayWidth_) return;
  displayWidth_ = width;
  if (dataSet_) dataSet_->LayoutChanged();
}

void TField::SetDisplayLabel(const std::string& label) {
  if (label == displayLabel_) return;
  displayLabel_ = label;
  if (dataSet_) dataSet_->LayoutChanged();
}

void TField::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (dataSet_) dataSet_->LayoutChanged();
}

void TField::SetAlignment(TAlignment alignment) {
  if (alignment == alignment_) return;
  alignment_ = alignment;
  if (dataSet_) dataSet_->LayoutChanged();
}

bool TField::CanModify() const {
  if (readOnly_ || !dataSet_) return false;
  if (calculated_) return true;
  return dataSet_->CanModify();
}

// Browsing, the common case (every field of every record a scan reads), is
// answered here; the field accessors of this file inline it.
inline const FieldValue& TField::ReadValue() const {
  if (dataSet_ && !calculated_ && dataSet_->state_ == dsBrowse) {
    const auto& buffers = dataSet_->buffers_;
    const size_t active = static_cast<size_t>(dataSet_->active_);
    if (active < buffers.size()) {
      const std::vector<FieldValue>& values = buffers[active]->data.values;
      const size_t at = static_cast<size_t>(fieldNo_ - 1);
      return at < values.size() ? values[at] : kNull;
    }
    return kNull;
  }
  return StateValue();
}

const FieldValue& TField::StateValue() const {
  if (!dataSet_) return kNull;
  size_t i = static_cast<size_t>(calculated_ ? calcIndex_ : fieldNo_ - 1);
  if (!calculated_ && dataSet_->state_ == dsFilter && dataSet_->cursor_)
    if (const FieldValue* v = dataSet_->cursor_->FilterValue(i)) return *v;
  const std::vector<FieldValue>* values = calculated_ ? dataSet_->CurrentCalcValues() : dataSet_->CurrentValues();
  if (!values) return kNull;
  if (i >= values->size()) return kNull;
  return (*values)[i];
}

const FieldValue& TField::Value() const { return ReadValue(); }

void TField::SetValue(const FieldValue& value) {
  if (!dataSet_) throw EDatabaseError("Field '" + fieldName_ + "' has no dataset");
  TDataSetState st = dataSet_->State();
  if (calculated_) {
    if (st != dsCalcFields && st != dsEdit && st != dsInsert && st != dsFilter)
      throw EDatabaseError("Dataset not in edit or insert mode");
  } else {
    if (st != dsEdit && st != dsInsert && st != dsSetKey)
      throw EDatabaseError("Dataset not in edit or insert mode");
    if (readOnly_ && st != dsSetKey) throw EDatabaseError("Field '" + fieldName_ + "' cannot be modified");
  }
  std::vector<FieldValue>* values = calculated_ ? dataSet_->WritableCalcValues() : dataSet_->WritableValues();
  size_t i = static_cast<size_t>(calculated_ ? calcIndex_ : fieldNo_ - 1);
  if (!values || i >= values->size()) throw EDatabaseError("No current record");
  // Text longer than a character field is cut to the field's width.
  if (dataType_ == ftString && size_ > 0) {
    if (auto text = std::get_if<std::string>(&value); text && static_cast<int>(text->size()) > size_) {
      (*values)[i] = text->substr(0, static_cast<size_t>(size_));
    } else {
      (*values)[i] = value;
    }
  } else {
    (*values)[i] = value;
  }
  if (st == dsSetKey || st == dsCalcFields || st == dsFilter) return;
  if (OnValidate) OnValidate(*this);
  if (OnChange) OnChange(*this);
  dataSet_->FieldChanged(this);
}

bool TField::IsNull() const { return IsNullValue(ReadValue()); }
void TField::Clear() { SetValue(FieldValue{}); }

void TField::ConvertErrorFor(const char* typeName) const {
  throw EConvertError("Invalid value for field '" + DisplayName() + "'");
}

void TField::AccessError(const char* typeName) const {
  throw EDatabaseError("Field '" + DisplayName() + "' cannot be accessed as type " + typeName);
}

std::string TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const std::string&) { AccessError("String"); }
int32_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int32_t) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
bool TField::IsValidChar(char) const { return true; }

void TField::FocusControl() {
  if (dataSet_) dataSet_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

// ----------------------------------------------------------- string fields

std::string TStringField::AsString() const {
  const FieldValue& v = ReadValue();
  if (auto s = std::get_if<std::string>(&v)) return *s;
  return std::string();
}

void TStringField::SetAsString(const std::string& text) {
  std::string s = text;
  if (Size() > 0 && static_cast<int>(s.size()) > Size()) s.resize(static_cast<size_t>(Size()));
  if (s.empty())
    SetValue(FieldValue{});
  else
    SetValue(s);
}

int32_t TStringField::AsInteger() const {
  int64_t v = StrToInt(AsString());
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw EConvertError("'" + AsString() + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

double TStringField::AsFloat() const {
  double d;
  if (!TryStrToFloat(AsString(), d, '.')) throw EConvertError("'" + AsString() + "' is not a valid floating point value");
  return d;
}

TDateTime TStringField::AsDateTime() const { return StrToDateTime(AsString()); }

bool TStringField::AsBoolean() const {
  std::string s = AsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

// ---------------------------------------------------------- number fields

bool TNumericField::IsValidChar(char c) const { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }

std::string TIntegerField::AsString() const {
  const FieldValue& v = ReadValue();
  if (auto i = std::get_if<int64_t>(&v)) return IntToStr(*i);
  return std::string();
}

void TIntegerField::SetAsString(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) {
    SetValue(FieldValue{});
    return;
  }
  int64_t v;
  if (!TryStrToInt(t, v)) throw EConvertError("'" + text + "' is not a valid integer value");
  SetValue(v);
}

int32_t TIntegerField::AsInteger() const {
  const FieldValue& v = ReadValue();
  if (auto i = std::get_if<int64_t>(&v)) {
    // An 11-digit dBASE number can exceed 32 bits: refuse rather than wrap.
    if (*i < std::numeric_limits<int32_t>::min() || *i > std::numeric_limits<int32_t>::max())
      throw EConvertError("Value of field '" + DisplayName() + "' is out of the integer range");
    return static_cast<int32_t>(*i);
  }
  return 0;
}

double TIntegerField::AsFloat() const {
  const FieldValue& v = ReadValue();
  if (auto i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  return 0.0;
}

void TIntegerField::SetAsInteger(int32_t value) { SetValue(static_cast<int64_t>(value)); }

void TIntegerField::SetAsFloat(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 9.2e18) throw EConvertError("Invalid value for field '" + DisplayName() + "'");
  SetValue(static_cast<int64_t>(std::llround(value)));
}

std::string TFloatField::AsString() const {
  const FieldValue& v = ReadValue();
  if (auto d = std::get_if<double>(&v)) {
    // A number held with decimals reads back with them ("12.50").
    // to_chars writes what printf's "%.*f" writes in the C locale, with '.'
    // whatever the process's locale (SetAsString reads '.').
    if (Decimals() > 0) {
      std::string text;
      if (FixedDecimals(*d, Decimals(), text)) return text;
      // Room for the widest double (309 digits) with a number field's decimals.
      char buf[400];
      const int decimals = std::min(Decimals(), 64);
      const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *d, std::chars_format::fixed, decimals);
      return ec == std::errc() ? std::string(buf, end) : std::string();
    }
    return FloatToStr(*d, '.');
  }
  return std::string();
}

void TFloatField::SetAsString(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) {
    SetValue(FieldValue{});
    return;
  }
  double d;
  if (!TryStrToFloat(t, d, '.')) throw EConvertError("'" + text + "' is not a valid floating point value");
  SetValue(d);
}

int32_t TFloatField::AsInteger() const {
  double d = AsFloat();
  if (!(d > -2147483649.0 && d < 2147483648.0)) throw EConvertError("Value out of range for field '" + DisplayName() + "'");
  return static_cast<int32_t>(std::llround(d));
}

double TFloatField::AsFloat() const {
  const FieldValue& v = ReadValue();
  if (auto d = std::get_if<double>(&v)) return *d;
  return 0.0;
}

void TFloatField::SetAsFloat(double value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid value for field '" + DisplayName() + "'");
  SetValue(value);
}

bool TFloatField::IsValidChar(char c) const {
  return TNumericField::IsValidChar(c) || c == '.' || c == DecimalSeparator || c == 'e' || c == 'E';
}

// ---------------------------------------------------------- logical fields

std::string TBooleanField::AsString() const {
  const FieldValue& v = ReadValue();
  if (auto b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  return std::string();
}

void TBooleanField::SetAsString(const std::string& text) {
  std::string t = UpperCase(Trim(text));
  if (t.empty()) {
    SetValue(FieldValue{});
    return;
  }
  if (t == "T" || t == "Y" || t == "TRUE" || t == "YES") {
    SetValue(true);
  } else if (t == "F" || t == "N" || t == "FALSE" || t == "NO") {
    SetValue(false);
  } else {
    throw EConvertError("'" + text + "' is not a valid boolean value");
  }
}

bool TBooleanField::AsBoolean() const {
  const FieldValue& v = ReadValue();
  if (auto b = std::get_if<bool>(&v)) return *b;
  return false;
}

void TBooleanField::SetAsBoolean(bool value) { SetValue(value); }

// ------------------------------------------------------------- date fields

std::string TDateTimeField::AsString() const {
  if (IsNull()) return std::string();
  return DateTimeToStr(AsDateTime());
}

void TDateTimeField::SetAsString(const std::string& text) {
  if (Trim(text).empty()) {
    SetValue(FieldValue{});
    return;
  }
  SetAsDateTime(StrToDateTime(text));
}

TDateTime TDateTimeField::AsDateTime() const {
  const FieldValue& v = ReadValue();
  if (DataType() == ftDate) {
    if (auto i = std::get_if<int64_t>(&v)) return EngineDayToDate(static_cast<int32_t>(*i));
    return 0;
  }
  if (DataType() == ftTime) {
    if (auto i = std::get_if<int64_t>(&v)) return static_cast<double>(*i) / 86400000.0;
    return 0;
  }
  if (auto d = std::get_if<double>(&v)) return *d;
  return 0;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid value for field '" + DisplayName() + "'");
  if (DataType() == ftDate) {
    int y, m, d;
    DecodeDate(value, y, m, d);
    if (y == 0) throw EConvertError("Invalid value for field '" + DisplayName() + "'");
    SetValue(static_cast<int64_t>(DateToEngineDay(value)));
  } else if (DataType() == ftTime) {
    SetValue(static_cast<int64_t>(TimeToMilliseconds(value)));
  } else {
    SetValue(value);
  }
}

std::string TDateField::AsString() const {
  const FieldValue& v = ReadValue();
  if (IsNullValue(v)) return std::string();
  if (auto i = std::get_if<int64_t>(&v)) return EngineDayToStr(static_cast<int32_t>(*i));
  return DateToStr(AsDateTime());
}

void TDateField::SetAsString(const std::string& text) {
  if (Trim(text).empty()) {
    SetValue(FieldValue{});
    return;
  }
  SetAsDateTime(StrToDate(text));
}

std::string TTimeField::AsString() const {
  if (IsNull()) return std::string();
  return TimeToStr(AsDateTime());
}

void TTimeField::SetAsString(const std::string& text) {
  if (Trim(text).empty()) {
    SetValue(FieldValue{});
    return;
  }
  SetAsDateTime(StrToTime(text));
}

// ------------------------------------------------------------- blob fields

std::string TBlobField::AsString() const {
  const FieldValue& v = ReadValue();
  if (auto s = std::get_if<std::string>(&v)) return *s;
  return std::string();
}

void TBlobField::SetAsString(const std::string& text) {
  if (text.empty())
    SetValue(FieldValue{});
  else
    SetValue(text);
}

std::unique_ptr<TField> CreateField(TFieldType type, int size) {
  switch (type) {
    case ftString: return std::make_unique<TStringField>(size);
    case ftSmallint: return std::make_unique<TSmallintField>();
    case ftInteger: return std::make_unique<TIntegerField>();
    case ftWord: return std::make_unique<TWordField>();
    case ftBoolean: return std::make_unique<TBooleanField>();
    case ftFloat: return std::make_unique<TFloatField>();
    case ftCurrency: return std::make_unique<TCurrencyField>();
    case ftDate: return std::make_unique<TDateField>();
    case ftTime: return std::make_unique<TTimeField>();
    case ftDateTime: return std::make_unique<TDateTimeField>();
    case ftMemo: return std::make_unique<TMemoField>();
    case ftBlob:
    case ftGraphic:
    case ftBytes:
    case ftVarBytes: return std::make_unique<TBlobField>();
    default: throw EDatabaseError(std::string("Field type ") + FieldTypeName(type) + " is not supported");
  }
}

// ------------------------------------------------------------- definitions

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (IndexOf(name) >= 0) throw EDatabaseError("Duplicate field name '" + name + "'");
  items_.push_back(std::make_unique<TFieldDef>(name, type, size, required, Count() + 1));
  return *items_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) {
  int i = IndexOf(name);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
  items_.emplace_back(name, fields, options);
  return items_.back();
}

int TIndexDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (SameText(items_[i].Name(), name)) return static_cast<int>(i);
  return -1;
}

const TIndexDef* TIndexDefs::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}

void TIndexDefs::Update() {
  if (updater) updater(*this);
}

// ------------------------------------------------------------------ params

std::string TParam::AsString() const {
  if (auto s = std::get_if<std::string>(&value_)) return *s;
  if (auto i = std::get_if<int64_t>(&value_)) {
    if (dataType_ == ftDate) return EngineDayToStr(static_cast<int32_t>(*i));
    if (dataType_ == ftTime) return TimeToStr(static_cast<double>(*i) / 86400000.0);
    return IntToStr(*i);
  }
  if (auto d = std::get_if<double>(&value_)) {
    if (dataType_ == ftDateTime) return DateTimeToStr(*d);
    return FloatToStr(*d);
  }
  if (auto b = std::get_if<bool>(&value_)) return *b ? "True" : "False";
  return std::string();
}

void TParam::SetAsString(const std::string& v) { SetValue(ftString, v); }

int32_t TParam::AsInteger() const {
  if (auto i = std::get_if<int64_t>(&value_)) return static_cast<int32_t>(*i);
  if (auto d = std::get_if<double>(&value_)) return static_cast<int32_t>(std::llround(*d));
  if (auto b = std::get_if<bool>(&value_)) return *b ? 1 : 0;
  if (auto s = std::get_if<std::string>(&value_)) return static_cast<int32_t>(StrToInt(*s));
  return 0;
}

void TParam::SetAsInteger(int32_t v) { SetValue(ftInteger, static_cast<int64_t>(v)); }

double TParam::AsFloat() const {
  if (auto d = std::get_if<double>(&value_)) return *d;
  if (auto i = std::get_if<int64_t>(&value_)) return static_cast<double>(*i);
  if (auto s = std::get_if<std::string>(&value_)) return StrToFloat(*s);
  return 0;
}

void TParam::SetAsFloat(double v) { SetValue(ftFloat, v); }

bool TParam::AsBoolean() const {
  if (auto b = std::get_if<bool>(&value_)) return *b;
  return AsInteger() != 0;
}

void TParam::SetAsBoolean(bool v) { SetValue(ftBoolean, v); }

TDateTime TParam::AsDateTime() const {
  if (auto i = std::get_if<int64_t>(&value_)) {
    if (dataType_ == ftDate) return EngineDayToDate(static_cast<int32_t>(*i));
    if (dataType_ == ftTime) return static_cast<double>(*i) / 86400000.0;
  }
  if (auto d = std::get_if<double>(&value_)) return *d;
  if (auto s = std::get_if<std::string>(&value_)) return StrToDateTime(*s);
  return 0;
}

void TParam::SetAsDateTime(TDateTime v) { SetValue(ftDateTime, v); }
void TParam::SetAsDate(TDateTime v) { SetValue(ftDate, static_cast<int64_t>(DateToEngineDay(v))); }

void TParam::AssignField(const TField& field) {
  dataType_ = field.DataType();
  value_ = field.Value();
  bound_ = true;
}

TParam& TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
  items_.push_back(std::make_unique<TParam>(name, paramType));
  items_.back()->SetDataType(type);
  return *items_.back();
}

TParam* TParams::FindParam(std::string_view name) {
  for (auto& p : items_)
    if (SameText(p->Name(), name)) return p.get();
  return nullptr;
}

TParam& TParams::ParamByName(std::string_view name) {
  if (TParam* p = FindParam(name)) return *p;
  throw EDatabaseError("Parameter '" + std::string(name) + "' not found");
}

}  // namespace framework
