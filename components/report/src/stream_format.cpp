#include "report/stream_format.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace report {

// ---- memory stream ----

size_t MemoryStream::Read(void* buffer, size_t n) {
  if (position_ >= bytes_.size()) return 0;
  size_t got = std::min<uint64_t>(n, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, got);
  position_ += got;
  return got;
}

void MemoryStream::Write(const void* buffer, size_t n) {
  if (position_ > bytes_.size()) bytes_.resize(position_, '\0');
  size_t overlap = std::min<uint64_t>(n, bytes_.size() - position_);
  std::memcpy(bytes_.data() + position_, buffer, overlap);
  bytes_.append(static_cast<const char*>(buffer) + overlap, n - overlap);
  position_ += n;
}

void MemoryStream::Seek(uint64_t position) { position_ = position; }

void MemoryStream::LoadFromFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw StreamError("Cannot open " + fileName);
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw StreamError("Cannot read " + fileName);
  bytes_ = s.str();
  position_ = 0;
}

void MemoryStream::SaveToFile(const std::string& fileName) const {
  namespace fs = std::filesystem;
  fs::path target(fileName);
  fs::path temp = target;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), static_cast<std::streamsize>(bytes_.size()));
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw StreamError("Cannot write " + fileName);
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw StreamError("Cannot write " + fileName);
  }
}

// ---- file stream ----

FileStream::FileStream(const std::string& fileName, Mode mode) {
  file_ = std::fopen(fileName.c_str(), mode == kCreate ? "w+b" : "rb");
  if (!file_) throw StreamError("Cannot open " + fileName + ": " + std::strerror(errno));
  if (mode == kRead) {
    std::fseek(file_, 0, SEEK_END);
    long end = std::ftell(file_);
    size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
    std::fseek(file_, 0, SEEK_SET);
  }
}

FileStream::~FileStream() {
  if (file_) std::fclose(file_);
}

size_t FileStream::Read(void* buffer, size_t n) { return std::fread(buffer, 1, n, file_); }

void FileStream::Write(const void* buffer, size_t n) {
  if (std::fwrite(buffer, 1, n, file_) != n) throw StreamError("Cannot write report file");
  size_ = std::max<uint64_t>(size_, Position());
}

void FileStream::Seek(uint64_t position) {
  if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) throw StreamError("Cannot seek in report file");
}

uint64_t FileStream::Position() const {
  long p = std::ftell(file_);
  return p > 0 ? static_cast<uint64_t>(p) : 0;
}

uint64_t FileStream::Size() const { return size_; }

void FileStream::Truncate() {
  uint64_t p = Position();
  std::fflush(file_);
  if (ftruncate(fileno(file_), static_cast<off_t>(p)) != 0) throw StreamError("Cannot write report file");
  size_ = p;
}

void FileStream::Close() {
  if (!file_) return;
  bool ok = std::fflush(file_) == 0;
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) throw StreamError("Cannot write report file");
}

// ---- operands ----

void StreamWriter::Byte(uint8_t value) { stream_.Write(&value, 1); }

void StreamWriter::Int(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  stream_.Write(b, 4);
}

void StreamWriter::Float(float value) {
  uint32_t v;
  std::memcpy(&v, &value, 4);
  Int(static_cast<int32_t>(v));
}

void StreamWriter::String(std::string_view text) {
  if (text.size() > 255) text = text.substr(0, 255);
  Byte(static_cast<uint8_t>(text.size()));
  stream_.Write(text.data(), text.size());
}

void StreamWriter::Point(float x, float y) {
  Float(x);
  Float(y);
}

void StreamWriter::Graphic(const StreamGraphic& graphic) {
  Byte(graphic.kind);
  Int(static_cast<int32_t>(graphic.bytes.size()));
  stream_.Write(graphic.bytes.data(), graphic.bytes.size());
}

void StreamReader::Need(uint64_t n) const {
  uint64_t pos = stream_.Position(), size = stream_.Size();
  if (pos > size || size - pos < n) throw StreamError(kUnexpectedEnd);
}

uint8_t StreamReader::Byte() {
  Need(1);
  uint8_t b = 0;
  if (stream_.Read(&b, 1) != 1) throw StreamError(kUnexpectedEnd);
  return b;
}

int32_t StreamReader::Int() {
  Need(4);
  uint8_t b[4];
  if (stream_.Read(b, 4) != 4) throw StreamError(kUnexpectedEnd);
  return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

float StreamReader::Float() {
  uint32_t v = static_cast<uint32_t>(Int());
  float f;
  std::memcpy(&f, &v, 4);
  return f;
}

std::string StreamReader::String() {
  uint8_t n = Byte();
  Need(n);
  std::string s(n, '\0');
  if (stream_.Read(s.data(), n) != n) throw StreamError(kUnexpectedEnd);
  return s;
}

StreamPoint StreamReader::Point() {
  StreamPoint p;
  p.x = Float();
  p.y = Float();
  return p;
}

StreamGraphic StreamReader::Graphic() {
  StreamGraphic g;
  g.kind = Byte();
  if (g.kind < 1 || g.kind > 4) throw StreamError(kUnexpectedCode);
  int32_t n = Count(1);
  g.bytes.resize(static_cast<size_t>(n));
  if (n > 0 && stream_.Read(g.bytes.data(), g.bytes.size()) != g.bytes.size()) throw StreamError(kUnexpectedEnd);
  return g;
}

int32_t StreamReader::Count(size_t bytesPerItem) {
  int32_t n = Int();
  if (n < 0) throw StreamError(kUnexpectedCode);
  Need(static_cast<uint64_t>(n) * bytesPerItem);
  return n;
}

void StreamReader::ExpectCode(uint8_t code) {
  if (Byte() != code) throw StreamError(kUnexpectedCode);
}

// ---- records ----

namespace {

// Operands per code, in stream order: P point, I int, F float, B byte,
// S string, G graphic, N point count and points, C flag byte followed by a
// graphic when it is 1. Null for codes that do not exist.
const char* Layout(uint8_t code) {
  switch (code) {
    case rcArc: case rcChord: case rcPie: case rcCopyRect: return "PPPP";
    case rcBrushCopy: return "GPPPPI";
    case rcDraw: return "GP";
    case rcDrawFocusRect: case rcEllipse: case rcFillRect: case rcFrameRect:
    case rcRectangle: case rcTabRectangle: return "PP";
    case rcFloodFill: return "PII";
    case rcLineTo: case rcMoveTo: return "P";
    case rcPolygon: case rcPolyline: return "N";
    case rcPrintBitmap: return "GPFF";
    case rcPrintBitmapRect: case rcStretchDraw: return "GPP";
    case rcRoundRect: return "PPFF";
    case rcTextRect: return "PPPS";
    case rcTextCenter: case rcTextLeft: case rcTextRight: return "FSF";
    case rcTextBkMode: case rcBrushStyle: case rcFontPitch: case rcFontBold: case rcFontUnderline:
    case rcFontItalic: case rcFontStrikeOut: case rcPenMode: case rcPenStyle: return "B";
    case rcBkColor: case rcBrushColor: case rcFontColor: case rcPenColor: return "I";
    case rcScaleX: case rcScaleY: case rcFontHeight: case rcPenWidth: return "F";
    case rcPrintData: case rcFontName: return "S";
    case rcBrush: return "IBC";
    case rcBrushBitmap: return "C";
    case rcFont: return "SIBFBBBB";
    case rcPen: return "IBBF";
    case rcPageStart: return "IIIB";
    case rcFileHeader: return "IIIFFFFFFBIIIIS";
    case rcPageEnd: return "";
    default: return nullptr;
  }
}

}  // namespace

void ReadOperands(StreamReader& reader, uint8_t code, Record& record) {
  const char* layout = Layout(code);
  if (!layout) throw StreamError(kUnexpectedCode);
  record.code = code;
  for (const char* op = layout; *op; ++op) {
    switch (*op) {
      case 'P': record.points.push_back(reader.Point()); break;
      case 'I': record.ints.push_back(reader.Int()); break;
      case 'F': record.floats.push_back(reader.Float()); break;
      case 'B': record.bytes.push_back(reader.Byte()); break;
      case 'S': record.text = reader.String(); break;
      case 'G':
        record.graphic = reader.Graphic();
        record.hasGraphic = true;
        break;
      case 'N': {
        int32_t n = reader.Count(8);
        record.ints.push_back(n);
        for (int32_t i = 0; i < n; ++i) record.points.push_back(reader.Point());
        break;
      }
      case 'C': {
        uint8_t flag = reader.Byte();
        record.bytes.push_back(flag);
        if (flag == 1) {
          record.graphic = reader.Graphic();
          record.hasGraphic = true;
        }
        break;
      }
    }
  }
}

Record ReadRecord(StreamReader& reader) {
  Record r;
  ReadOperands(reader, reader.Byte(), r);
  return r;
}

void WriteRecord(StreamWriter& w, const Record& r) {
  const char* layout = Layout(r.code);
  if (!layout) throw StreamError(kUnexpectedCode);
  w.Byte(r.code);
  size_t p = 0, i = 0, f = 0, b = 0;
  auto at = [](auto& v, size_t& k) {
    if (k >= v.size()) throw StreamError("Record lacks an operand");
    return v[k++];
  };
  for (const char* op = layout; *op; ++op) {
    switch (*op) {
      case 'P': {
        StreamPoint pt = at(r.points, p);
        w.Point(pt.x, pt.y);
        break;
      }
      case 'I': w.Int(at(r.ints, i)); break;
      case 'F': w.Float(at(r.floats, f)); break;
      case 'B': w.Byte(at(r.bytes, b)); break;
      case 'S': w.String(r.text); break;
      case 'G': w.Graphic(r.graphic); break;
      case 'N': {
        int32_t n = at(r.ints, i);
        w.Int(n);
        for (int32_t k = 0; k < n; ++k) {
          StreamPoint pt = at(r.points, p);
          w.Point(pt.x, pt.y);
        }
        break;
      }
      case 'C': {
        uint8_t flag = at(r.bytes, b);
        w.Byte(flag);
        if (flag == 1) w.Graphic(r.graphic);
        break;
      }
    }
  }
}

void WriteFileHeader(StreamWriter& w, const FileHeader& h) {
  w.Byte(rcFileHeader);
  w.Int(h.pageCount);
  w.Int(h.firstPage);
  w.Int(h.lastPage);
  w.Float(h.pageWidth);
  w.Float(h.pageHeight);
  w.Float(h.unprintableLeft);
  w.Float(h.unprintableRight);
  w.Float(h.unprintableTop);
  w.Float(h.unprintableBottom);
  w.Byte(h.orientation);
  w.Int(h.copies);
  w.Int(h.paperSize);
  w.Int(h.paperWidth);
  w.Int(h.paperLength);
  w.String(h.portName);
}

FileHeader ReadFileHeader(StreamReader& r) {
  r.ExpectCode(rcFileHeader);
  FileHeader h;
  h.pageCount = r.Int();
  h.firstPage = r.Int();
  h.lastPage = r.Int();
  h.pageWidth = r.Float();
  h.pageHeight = r.Float();
  h.unprintableLeft = r.Float();
  h.unprintableRight = r.Float();
  h.unprintableTop = r.Float();
  h.unprintableBottom = r.Float();
  h.orientation = r.Byte();
  h.copies = r.Int();
  h.paperSize = r.Int();
  h.paperWidth = r.Int();
  h.paperLength = r.Int();
  h.portName = r.String();
  return h;
}

PageStart ReadPageStart(StreamReader& r) {
  PageStart p;
  p.position = r.stream().Position();
  r.ExpectCode(rcPageStart);
  p.previous = r.Int();
  p.next = r.Int();
  p.pageNumber = r.Int();
  p.orientation = r.Byte();
  return p;
}

StreamSummary ValidateStream(ByteStream& stream) {
  StreamSummary s;
  stream.Seek(0);
  StreamReader r(stream);
  s.header = ReadFileHeader(r);
  if (s.header.pageCount < 0) throw StreamError(kBadPageCount);
  uint64_t pos = stream.Position();
  int32_t previous = 0;
  // Links must point forward, so the walk ends within the stream's size.
  while (pos < stream.Size()) {
    stream.Seek(pos);
    PageStart page = ReadPageStart(r);
    if (page.previous != previous) throw StreamError(kBadPageLink);
    for (;;) {
      Record rec = ReadRecord(r);
      if (rec.code == rcPageStart || rec.code == rcFileHeader) throw StreamError(kUnexpectedCode);
      ++s.records;
      if (rec.code == rcPageEnd) break;
    }
    s.pages.push_back(page);
    if (page.next == 0) break;
    if (page.next < 0 || static_cast<uint64_t>(page.next) <= page.position ||
        static_cast<uint64_t>(page.next) >= stream.Size())
      throw StreamError(kBadPageLink);
    previous = static_cast<int32_t>(page.position);
    pos = static_cast<uint64_t>(page.next);
  }
  if (static_cast<size_t>(s.header.pageCount) != s.pages.size()) throw StreamError(kBadPageCount);
  return s;
}

}  // namespace report
