// Open conversions between two character sets under a definition: the code
// map (one entry per source code), the substitution chains and the four
// converters. Conversions belong to a client's list and are shared through
// a reference count.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "charset/charset.h"
#include "charset/definitions.h"

namespace slw {

// Kinds of code-map entries (0: empty, the definition's mode applies).
enum EntryKind : uint8_t { kEmpty = 0, kDirect = 1, kSubstitute = 2, kDrop = 3, kStop = 4, kReplace = 5, kEscape = 6 };

struct MapEntry {
  uint8_t kind = kEmpty;
  uint8_t notDirect = 0;
  uint16_t value = 0;
};

struct Substitution {
  uint8_t sourceBytes = 0;
  uint8_t sourceChars = 0;
  std::array<uint8_t, 32> source{};
  uint8_t targetBytes = 0;
  uint8_t targetChars = 0;
  std::array<uint8_t, 32> target{};
  MapEntry saved;        // the entry the first substitution of its code displaced
  uint16_t next = 0xFFFF;
  std::vector<uint16_t> sourceCodes;  // the source as codes, for the match
};

// How a converter takes its input.
enum class InputForm {
  kString,   // up to the terminating 0, output terminated
  kCounted,  // up to the 0 or `count` characters, output terminated
  kBuffer,   // exactly `count` characters, no terminator read or written
};

class Conversion {
 public:
  // Builds the conversion; valid() tells whether it can convert.
  Conversion(std::string source, std::string target, std::string definition, Client* client);
  // Over two sets already open (the tests and fuzzing).
  Conversion(std::unique_ptr<CharacterSet> source, std::unique_ptr<CharacterSet> target, std::string definition);

  bool valid() const { return valid_; }
  Status Convert(uint8_t* out, std::size_t outSize, const uint8_t* in, InputForm form, uint16_t* count);
  // In place, both sets single-byte; `count` null for a terminated text.
  Status ConvertInPlace(uint8_t* text, uint16_t* count);
  void FillInfo(SL_CONVERSIONINFO& record) const;
  void TakeInfo(const SL_CONVERSIONINFO& record);

  const std::string& sourceName() const { return sourceName_; }
  const std::string& targetName() const { return targetName_; }
  const std::string& definitionName() const { return definitionName_; }

  Client* owner = nullptr;
  uint16_t refs = 1;

 private:
  void Build();
  void BuildMap();
  void BuildSubstitutions();
  void MapCode(uint16_t a, uint16_t b);
  // The entry a code resolves to when no substitution of its chain matched.
  MapEntry Resolve(uint16_t code, MapEntry e) const;
  bool Matches(const Substitution& s, const uint8_t* in) const;

  std::string sourceName_, targetName_, definitionName_;
  std::unique_ptr<CharacterSet> source_, target_;
  ConversionDefinition definition_;
  TwoLevelMap<MapEntry> map_;
  std::vector<Substitution> subs_;
  char16_t replacement_ = 0;
  std::u16string text1_, text2_;
  bool valid_ = false;
  bool notDirect_ = false;
  // Single-byte source into a single-byte or Unicode target: the target
  // value of each byte whose entry is direct (-1 otherwise, and for 0), and
  // the bytes a target code takes (0: no fast path).
  std::array<int32_t, 256> fastValue_{};
  std::size_t fastUnit_ = 0;
};

// The conversion behind a handle when it is in the calling client's list,
// else null. Takes the lock.
Conversion* FindConversion(void* handle);
// Drops one reference; at 0 the conversion leaves its client's list and is freed.
void ReleaseConversion(Conversion* conversion);

}  // namespace slw
