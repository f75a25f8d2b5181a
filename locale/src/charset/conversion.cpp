#include "charset/conversion.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "client.h"
#include "locale_object.h"
#include "lock.h"

namespace slw {

namespace {

// The definition a conversion takes; the texts of the information record
// start empty.
const ConversionDefinition* DefinitionOf(const std::string& name) { return FindDefinition(name); }

}  // namespace

Conversion::Conversion(std::string source, std::string target, std::string definition, Client* client)
    : owner(client),
      sourceName_(std::move(source)),
      targetName_(std::move(target)),
      definitionName_(std::move(definition)) {
  source_ = OpenCharacterSet(sourceName_, client);
  target_ = OpenCharacterSet(targetName_, client);
  Build();
}

Conversion::Conversion(std::unique_ptr<CharacterSet> source, std::unique_ptr<CharacterSet> target,
                       std::string definition)
    : definitionName_(std::move(definition)), source_(std::move(source)), target_(std::move(target)) {
  if (source_) sourceName_ = source_->name();
  if (target_) targetName_ = target_->name();
  Build();
}

void Conversion::Build() {
  const ConversionDefinition* d = DefinitionOf(definitionName_);
  if (!source_ || !target_ || !source_->Loaded() || !target_->Loaded() || d == nullptr) return;
  definition_ = *d;
  replacement_ = definition_.replacement;
  valid_ = true;
  BuildMap();
  if (valid_ && !definition_.pairs.empty()) BuildSubstitutions();
  if (valid_ && source_->SingleByte() && target_->Kind() != kDoubleByteSet) {
    fastUnit_ = target_->Kind() == kUnicodeSet ? 2 : 1;
    for (int c = 0; c < 256; ++c) {
      const MapEntry& e = map_.Get(static_cast<uint16_t>(c));
      fastValue_[static_cast<std::size_t>(c)] = c != 0 && e.kind == kDirect && e.notDirect == 0 ? e.value : -1;
    }
  }
}

void Conversion::MapCode(uint16_t a, uint16_t b) {
  MapEntry e;
  if (b != 0 || a == 0) {
    e.kind = kDirect;
    e.value = b;
  } else {
    e.kind = static_cast<uint8_t>(definition_.mode);
    e.notDirect = 1;
    e.value = definition_.mode == kModeEscape ? a : definition_.mode == kModeReplace ? replacement_ : 0;
  }
  if (!map_.Set(a, e)) valid_ = false;
}

void Conversion::BuildMap() {
  CharacterSet& s = *source_;
  CharacterSet& t = *target_;
  if (s.SingleByte()) {
    for (int c = 0; c < 256; ++c) {
      uint16_t u = s.ToUnicode(static_cast<uint16_t>(c));
      MapCode(static_cast<uint16_t>(c), u == 0 ? 0 : t.FromUnicode(u));
    }
  } else if (t.SingleByte()) {
    MapCode(0, 0);
    // Target codes without a character, and characters the source lacks,
    // leave their entries empty: never a direct entry for code 0.
    for (int c = 1; c < 256; ++c) {
      uint16_t u = t.ToUnicode(static_cast<uint16_t>(c));
      if (u == 0) continue;
      if (uint16_t a = s.FromUnicode(u); a != 0) MapCode(a, static_cast<uint16_t>(c));
    }
  } else {
    MapCode(0, 0);
    for (uint32_t c = 1; c <= 0xFFFF && valid_; ++c) {
      uint16_t u = s.ToUnicode(static_cast<uint16_t>(c));
      if (u != 0) MapCode(static_cast<uint16_t>(c), t.FromUnicode(u));
    }
  }
  if (!s.ReverseValid() || !t.ReverseValid() || !map_.valid()) valid_ = false;
}

namespace {

// Writes a text with a set's writer; false when a character is not in the
// set or the text does not fit 32 bytes.
bool Encode(CharacterSet& set, const std::u16string& text, std::array<uint8_t, 32>& out, uint8_t& bytes,
            uint8_t& chars, std::vector<uint16_t>* codes) {
  std::size_t used = 0;
  for (char16_t ch : text) {
    uint16_t code = set.FromUnicode(ch);
    if (code == 0) return false;
    std::size_t written = 0;
    if (!set.Write(code, out.data() + used, out.size() - used, written)) return false;
    used += written;
    if (codes != nullptr) codes->push_back(code);
  }
  bytes = static_cast<uint8_t>(used);
  chars = static_cast<uint8_t>(text.size());
  return used > 0;
}

}  // namespace

void Conversion::BuildSubstitutions() {
  subs_.reserve(definition_.pairs.size());
  for (const auto& [from, to] : definition_.pairs) {
    if (from.empty() || subs_.size() >= 0xFFFF) continue;
    uint16_t s = source_->FromUnicode(from[0]);
    uint16_t t = target_->FromUnicode(from[0]);
    if (s == 0 || t != 0) continue;  // the target has the character itself
    Substitution sub;
    if (!Encode(*source_, from, sub.source, sub.sourceBytes, sub.sourceChars, &sub.sourceCodes)) continue;
    if (!Encode(*target_, to, sub.target, sub.targetBytes, sub.targetChars, nullptr)) continue;
    MapEntry head = map_.Get(s);
    if (head.kind == kSubstitute) {
      sub.next = head.value;
    } else {
      sub.saved = head;
      sub.next = 0xFFFF;
    }
    MapEntry e;
    e.kind = kSubstitute;
    e.notDirect = 1;
    e.value = static_cast<uint16_t>(subs_.size());
    subs_.push_back(std::move(sub));
    if (!map_.Set(s, e)) valid_ = false;
  }
}

bool Conversion::Matches(const Substitution& s, const uint8_t* in) const {
  // Code by code: the comparison stops at the first difference, so it never
  // reads past the input's terminator.
  std::size_t at = 0;
  for (uint16_t code : s.sourceCodes) {
    std::size_t length = 0;
    if (source_->Read(in + at, length) != code) return false;
    at += length;
  }
  return at == s.sourceBytes;
}

MapEntry Conversion::Resolve(uint16_t code, MapEntry e) const {
  if (e.kind == kSubstitute) {
    uint16_t i = e.value;
    while (subs_[i].next != 0xFFFF) i = subs_[i].next;
    e = subs_[i].saved;
  }
  if (e.kind == kEmpty && code != 0) {
    e.kind = static_cast<uint8_t>(definition_.mode);
    e.notDirect = 1;
    e.value = code;
  }
  if (e.kind == kEmpty) e.kind = kDirect;
  return e;
}

Status Conversion::Convert(uint8_t* out, std::size_t outSize, const uint8_t* in, InputForm form, uint16_t* count) {
  if (!valid_) return kConvInvalid;
  notDirect_ = false;
  const std::size_t limit = form == InputForm::kString || count == nullptr ? SIZE_MAX : *count;
  std::size_t written = 0, consumed = 0, chars = 0;
  bool ended = false;
  CharacterSet& source = *source_;
  CharacterSet& target = *target_;
  auto finish = [&](Status s) {
    if (count != nullptr && form != InputForm::kString) *count = static_cast<uint16_t>(std::min<std::size_t>(chars, 0xFFFF));
    return s;
  };
  while (written < outSize) {
    if (fastUnit_ != 0) {
      // The run of direct bytes, without a call per character.
      std::size_t n = std::min(limit - chars, (outSize - written) / fastUnit_);
      const uint8_t* p = in + consumed;
      uint8_t* o = out + written;
      std::size_t i = 0;
      if (fastUnit_ == 2) {
        for (; i < n; ++i) {
          int32_t v = fastValue_[p[i]];
          if (v < 0) break;
          o[2 * i] = static_cast<uint8_t>(v);
          o[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
      } else {
        for (; i < n; ++i) {
          int32_t v = fastValue_[p[i]];
          if (v < 0) break;
          o[i] = static_cast<uint8_t>(v);
        }
      }
      consumed += i;
      chars += i;
      written += i * fastUnit_;
      if (written >= outSize) break;
    }
    if (chars >= limit) {
      ended = true;
      break;
    }
    std::size_t length = 0;
    uint16_t code = source.Read(in + consumed, length);
    if (code == 0 && form != InputForm::kBuffer) {
      ended = true;
      break;
    }
    MapEntry e = map_.Get(code);
    if (e.kind == kSubstitute) {
      bool taken = false;
      for (uint16_t i = e.value; i != 0xFFFF; i = subs_[i].next) {
        const Substitution& s = subs_[i];
        if (s.targetBytes > outSize - written || s.sourceChars > limit - chars || !Matches(s, in + consumed)) continue;
        std::memcpy(out + written, s.target.data(), s.targetBytes);
        written += s.targetBytes;
        consumed += s.sourceBytes;
        chars += s.sourceChars;
        notDirect_ = true;
        taken = true;
        break;
      }
      if (taken) continue;
    }
    e = Resolve(code, e);
    if (e.notDirect) notDirect_ = true;
    std::size_t n = 0;
    bool fits = true;
    switch (e.kind) {
      case kDirect:
        fits = target.Write(e.value, out + written, outSize - written, n);
        break;
      case kStop:
        return finish(kConvStopped);
      case kReplace: {
        uint16_t r = replacement_ != 0 ? target.FromUnicode(replacement_) : 0;
        if (r == 0) r = replacement_;
        if (r != 0) fits = target.Write(r, out + written, outSize - written, n);
        break;
      }
      case kEscape:
        fits = target.WriteEscape(code, out + written, outSize - written, n);
        break;
      default:  // dropped
        break;
    }
    if (!fits) break;
    written += n;
    consumed += length;
    ++chars;
  }
  if (!ended && written >= outSize && chars >= limit) ended = true;
  if (!ended) return finish(kConvOutput);
  if (form != InputForm::kBuffer) {
    std::size_t n = 0;
    if (!target.Write(0, out + written, outSize - written, n)) return finish(kConvOutput);
  }
  return finish(notDirect_ ? kConvSubstituted : kOk);
}

Status Conversion::ConvertInPlace(uint8_t* text, uint16_t* count) {
  if (!valid_) return kConvInvalid;
  if (!source_->SingleByte() || !target_->SingleByte()) return kConvNotSingleByte;
  notDirect_ = false;
  std::size_t limit = count != nullptr ? *count : SIZE_MAX;
  std::size_t i = 0;
  for (; i < limit && text[i] != 0; ++i) {
    MapEntry e = map_.Get(text[i]);
    if (e.kind == kSubstitute) {
      uint16_t k = e.value;
      while (subs_[k].next != 0xFFFF) k = subs_[k].next;
      e = subs_[k].saved;
    }
    if (e.notDirect || e.kind != kDirect) notDirect_ = true;
    switch (e.kind) {
      case kDirect:
        text[i] = static_cast<uint8_t>(e.value);
        break;
      case kReplace: {
        uint16_t r = replacement_ != 0 ? target_->FromUnicode(replacement_) : 0;
        if (r != 0) text[i] = static_cast<uint8_t>(r);
        break;
      }
      case kEmpty:
        if (definition_.mode != kModeEscape && replacement_ != 0) {
          uint16_t r = target_->FromUnicode(replacement_);
          if (r != 0) text[i] = static_cast<uint8_t>(r);
        }
        break;
      default:  // kept
        break;
    }
  }
  if (count != nullptr) *count = static_cast<uint16_t>(i);
  return notDirect_ ? kConvSubstituted : kOk;
}

void Conversion::FillInfo(SL_CONVERSIONINFO& r) const {
  std::memset(&r, 0, sizeof r);
  auto put = [](char* out, const std::string& text) {
    std::memcpy(out, text.data(), std::min<std::size_t>(text.size(), 31));
  };
  put(r.definition, definitionName_);
  put(r.source, sourceName_);
  put(r.target, targetName_);
  r.sourceKind = source_ ? source_->Kind() : 0;
  r.targetKind = target_ ? target_->Kind() : 0;
  r.sourceClass = CharsetClassOfName(sourceName_);
  r.targetClass = CharsetClassOfName(targetName_);
  r.replacement = replacement_;
  std::copy_n(text1_.data(), std::min<std::size_t>(text1_.size(), 31), r.text1);
  std::copy_n(text2_.data(), std::min<std::size_t>(text2_.size(), 31), r.text2);
}

void Conversion::TakeInfo(const SL_CONVERSIONINFO& r) {
  auto text = [](const SL_WCHAR* p) {
    std::size_t n = 0;
    while (n < 31 && p[n] != 0) ++n;
    return std::u16string(p, n);
  };
  if (r.replacement != 0) replacement_ = r.replacement;
  std::u16string first = text(r.text1), second = text(r.text2);
  if (!first.empty() && !second.empty()) text1_ = first;
  text2_ = second;
}

Conversion* FindConversion(void* handle) {
  if (handle == nullptr) return nullptr;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return nullptr;
  auto& list = client->conversions;
  return std::find(list.begin(), list.end(), handle) != list.end() ? static_cast<Conversion*>(handle) : nullptr;
}

void ReleaseConversion(Conversion* conversion) {
  if (conversion == nullptr) return;
  LockHold hold;
  if (conversion->refs > 1) {
    --conversion->refs;
    return;
  }
  if (conversion->owner != nullptr) {
    auto& list = conversion->owner->conversions;
    list.erase(std::remove(list.begin(), list.end(), static_cast<void*>(conversion)), list.end());
  }
  delete conversion;
}

}  // namespace slw
