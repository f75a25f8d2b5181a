// The report stream: a byte stream of coded records that the recorder writes
// and the player reads (layout in ../../STREAM_FORMAT.md). No Qt here, so
// the reader can be fuzzed on its own.
//
// - ByteStream: a seekable stream of bytes (memory or file).
// - StreamWriter / StreamReader: the operand encodings, little-endian.
// - ReadRecord: one record of any code, every operand bounds-checked.
// - ValidateStream: walks a whole stream along its page links.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace report {

enum RecordCode : uint8_t {
  rcArc = 1, rcBrushCopy = 2, rcChord = 3, rcCopyRect = 4, rcDraw = 5, rcDrawFocusRect = 6,
  rcEllipse = 7, rcFillRect = 8, rcFloodFill = 9, rcFrameRect = 10, rcLineTo = 11, rcMoveTo = 12,
  rcPie = 13, rcPolygon = 14, rcPolyline = 15, rcPrintBitmap = 16, rcPrintBitmapRect = 17,
  rcRectangle = 18, rcTabRectangle = 19, rcRoundRect = 20, rcStretchDraw = 21, rcTextRect = 22,
  rcTextCenter = 23, rcTextLeft = 24, rcTextRight = 25, rcTextBkMode = 26, rcBkColor = 27,
  rcScaleX = 28, rcScaleY = 29, rcPrintData = 30,
  rcBrush = 40, rcBrushColor = 41, rcBrushStyle = 42, rcBrushBitmap = 43,
  rcFont = 50, rcFontName = 51, rcFontColor = 52, rcFontPitch = 53, rcFontHeight = 54,
  rcFontBold = 55, rcFontUnderline = 56, rcFontItalic = 57, rcFontStrikeOut = 58,
  rcPen = 70, rcPenColor = 71, rcPenMode = 72, rcPenStyle = 73, rcPenWidth = 74,
  rcPageStart = 80, rcFileHeader = 81, rcPageEnd = 82
};

// The messages of the stream's reader and writer.
inline constexpr const char* kUnexpectedCode = "Unexpected code found in report file.";
inline constexpr const char* kUnexpectedEnd = "Unexpected end of report file.";
inline constexpr const char* kBadPageLink = "Invalid page link in report file.";
inline constexpr const char* kBadPageCount = "Page count of report file does not match its pages.";

// Raised by the reader on damaged data and by streams on I/O failure.
class StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to n bytes; returns how many were read.
  virtual size_t Read(void* buffer, size_t n) = 0;
  // Writes n bytes at the position (overwriting, or growing at the end).
  virtual void Write(const void* buffer, size_t n) = 0;
  virtual void Seek(uint64_t position) = 0;
  virtual uint64_t Position() const = 0;
  virtual uint64_t Size() const = 0;
  // Cuts the stream at the position (a cancelled page leaves nothing behind).
  virtual void Truncate() = 0;
};

class MemoryStream : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(void* buffer, size_t n) override;
  void Write(const void* buffer, size_t n) override;
  void Seek(uint64_t position) override;
  uint64_t Position() const override { return position_; }
  uint64_t Size() const override { return bytes_.size(); }
  void Truncate() override { bytes_.resize(position_); }
  const std::string& Bytes() const { return bytes_; }
  void Clear() { bytes_.clear(); position_ = 0; }
  // Loads the whole file; StreamError when it cannot be read.
  void LoadFromFile(const std::string& fileName);
  // Saves through a temporary file and a rename, so a failed save never
  // leaves half a stream under the name; StreamError on failure.
  void SaveToFile(const std::string& fileName) const;

 private:
  std::string bytes_;
  uint64_t position_ = 0;
};

class FileStream : public ByteStream {
 public:
  enum Mode { kCreate, kRead };
  // StreamError when the file cannot be opened.
  FileStream(const std::string& fileName, Mode mode);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  size_t Read(void* buffer, size_t n) override;
  void Write(const void* buffer, size_t n) override;
  void Seek(uint64_t position) override;
  uint64_t Position() const override;
  uint64_t Size() const override;
  void Truncate() override;
  // Flushes; StreamError when the data did not reach the file.
  void Close();

 private:
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
};

struct StreamPoint {
  float x = 0, y = 0;
  bool operator==(const StreamPoint&) const = default;
};

struct StreamGraphic {
  uint8_t kind = 0;
  std::string bytes;
  bool operator==(const StreamGraphic&) const = default;
};

// One decoded record. Operands land in the vectors in their stream order by
// kind: points (rects and point lists included), ints, floats, bytes.
struct Record {
  uint8_t code = 0;
  std::vector<StreamPoint> points;
  std::vector<int32_t> ints;
  std::vector<float> floats;
  std::vector<uint8_t> bytes;
  std::string text;
  StreamGraphic graphic;
  bool hasGraphic = false;
};

class StreamWriter {
 public:
  explicit StreamWriter(ByteStream& stream) : stream_(stream) {}
  void Byte(uint8_t value);
  void Int(int32_t value);
  void Float(float value);
  void String(std::string_view text);  // longer texts are cut to 255 bytes
  void Point(float x, float y);
  void Graphic(const StreamGraphic& graphic);
  ByteStream& stream() { return stream_; }

 private:
  ByteStream& stream_;
};

// Every read checks the remaining size first: a short stream raises
// StreamError(kUnexpectedEnd), never reads past the data.
class StreamReader {
 public:
  explicit StreamReader(ByteStream& stream) : stream_(stream) {}
  uint8_t Byte();
  int32_t Int();
  float Float();
  std::string String();
  StreamPoint Point();
  StreamGraphic Graphic();
  // A count that cannot fit in the rest of the stream is refused.
  int32_t Count(size_t bytesPerItem);
  // Reads the code and raises StreamError(kUnexpectedCode) when it differs.
  void ExpectCode(uint8_t code);
  ByteStream& stream() { return stream_; }

 private:
  void Need(uint64_t n) const;
  ByteStream& stream_;
};

// Reads the operands of a record whose code byte was just read; an unknown
// code raises StreamError(kUnexpectedCode).
void ReadOperands(StreamReader& reader, uint8_t code, Record& record);
// Reads a code byte and its operands.
Record ReadRecord(StreamReader& reader);
// Writes a record as ReadRecord reads it (operands taken from the vectors in
// the code's order). Used by tests and tools; the recorder writes directly.
void WriteRecord(StreamWriter& writer, const Record& record);

struct FileHeader {
  int32_t pageCount = 0, firstPage = 1, lastPage = 9999;
  float pageWidth = 8.5f, pageHeight = 11.0f;
  float unprintableLeft = 0, unprintableRight = 0, unprintableTop = 0, unprintableBottom = 0;
  uint8_t orientation = 0;
  int32_t copies = 1, paperSize = 0, paperWidth = 0, paperLength = 0;
  std::string portName;
};
// Position of the page-count operand, from the start of the header record.
inline constexpr uint64_t kPageCountOffset = 1;
void WriteFileHeader(StreamWriter& writer, const FileHeader& header);
FileHeader ReadFileHeader(StreamReader& reader);  // expects code 81 first

struct PageStart {
  uint64_t position = 0;  // of the code byte 80
  int32_t previous = 0, next = 0, pageNumber = 0;
  uint8_t orientation = 0;
};
// Offset of the next-link operand from the page start's code byte.
inline constexpr uint64_t kNextLinkOffset = 5;
PageStart ReadPageStart(StreamReader& reader);  // expects code 80 first

struct StreamSummary {
  FileHeader header;
  std::vector<PageStart> pages;  // in link order
  uint64_t records = 0;
};
// Reads the header, then every page from the first along its next links,
// each page's records up to its end; checks that the links point forward,
// that each previous link names the page before and that the page count
// matches. StreamError with the reason on the first fault.
StreamSummary ValidateStream(ByteStream& stream);

}  // namespace report
