// The conversion exports: open, close, the converters, the information
// record and the locale's pair. Every export finds its conversion in the
// calling client's list before it reads it.
#include <algorithm>
#include <cstring>
#include <new>

#include "charset/conversion.h"
#include "client.h"
#include "locale_object.h"
#include "lock.h"

namespace slw {
namespace {

// At the client's end its remaining conversions are freed outright.
void FreeConversion(void* conversion) { delete static_cast<Conversion*>(conversion); }

hconversion ToHandle(Conversion* c) { return reinterpret_cast<hconversion>(c); }

Status Open(hconversion* handle, const char* source, const char* target, const char* definition) {
  if (handle == nullptr) return kBadArgument;
  *handle = nullptr;
  if (source == nullptr || target == nullptr) return kBadArgument;
  LockHold hold;
  Client* client = FindClient();
  if (client == nullptr) return kNoClient;
  SetConversionCloser(FreeConversion);
  std::string def = definition != nullptr ? definition : "DEFAULT";
  for (void* p : client->conversions) {
    auto* c = static_cast<Conversion*>(p);
    if (c->sourceName() == source && c->targetName() == target && c->definitionName() == def) {
      ++c->refs;
      *handle = ToHandle(c);
      return kOk;
    }
  }
  std::unique_ptr<Conversion> c(new (std::nothrow) Conversion(source, target, def, client));
  if (c == nullptr) return kNoMemory;
  if (!c->valid()) return kConvInvalid;
  client->conversions.push_back(c.get());
  *handle = ToHandle(c.release());
  return kOk;
}

// The conversions of a locale's pair: 0 out of its set, 1 into it.
Conversion* PairConversion(hlocale h, int which, Status& status) {
  CLocale* l = FindLocale(h);
  if (l == nullptr) {
    status = kBadHandle;
    return nullptr;
  }
  Conversion* c = FindConversion(l->conversions[which]);
  status = c != nullptr ? kOk : kConvHandle;
  return c;
}

Status PairConvert(hlocale h, int which, void* out, uint16_t outSize, const void* in, InputForm form,
                   uint16_t* count) {
  if (out == nullptr || in == nullptr || (form != InputForm::kString && count == nullptr)) return kBadArgument;
  LockHold hold;
  Status s = kOk;
  Conversion* c = PairConversion(h, which, s);
  if (c == nullptr) return s;
  return c->Convert(static_cast<uint8_t*>(out), outSize, static_cast<const uint8_t*>(in), form, count);
}

Status Convert(hconversion conv, void* out, uint16_t outSize, const void* in, InputForm form, uint16_t* count) {
  LockHold hold;
  Conversion* c = FindConversion(conv);
  if (c == nullptr) return kConvHandle;
  if (out == nullptr || in == nullptr || (form != InputForm::kString && count == nullptr)) return kBadArgument;
  return c->Convert(static_cast<uint8_t*>(out), outSize, static_cast<const uint8_t*>(in), form, count);
}

Status ClosePair(CLocale& l) {
  for (void*& slot : l.conversions) {
    if (slot == nullptr) continue;
    Conversion* c = FindConversion(slot);
    if (c == nullptr) return kConvHandle;
    ReleaseConversion(c);
    slot = nullptr;  // cleared as soon as its close succeeded
  }
  return kOk;
}

}  // namespace
}  // namespace slw

using namespace slw;

SL_EXPORT uint16_t SL_GetConversionCount(void) { return static_cast<uint16_t>(kDefinitionCount); }

SL_EXPORT LocaleStatus SL_GetConversionName(uint16_t index, char* out) {
  if (out == nullptr || index < 1 || index > kDefinitionCount) return kBadArgument;
  std::strcpy(out, kDefinitionNames[index - 1]);
  return kOk;
}

SL_EXPORT LocaleStatus SL_OpenConversion(hconversion* conv, const char* source, const char* target,
                                         const char* definition) {
  return Open(conv, source, target, definition);
}

SL_EXPORT LocaleStatus SL_CloseConversion(hconversion conv) {
  LockHold hold;
  if (conv == nullptr) return kConvHandle;
  if (FindClient() == nullptr) return kNoClient;
  Conversion* c = FindConversion(conv);
  if (c == nullptr) return kConvHandle;
  ReleaseConversion(c);
  return kOk;
}

SL_EXPORT LocaleStatus SL_StrConvert(hconversion conv, void* out, const void* in, uint16_t outSize) {
  return Convert(conv, out, outSize, in, InputForm::kString, nullptr);
}

SL_EXPORT LocaleStatus SL_StrnConvert(hconversion conv, void* out, uint16_t outSize, const void* in, uint16_t* count) {
  return Convert(conv, out, outSize, in, InputForm::kCounted, count);
}

SL_EXPORT LocaleStatus SL_BufferConvert(hconversion conv, void* out, uint16_t outSize, const void* in,
                                        uint16_t* count) {
  return Convert(conv, out, outSize, in, InputForm::kBuffer, count);
}

SL_EXPORT LocaleStatus SL_QStrConvert(hconversion conv, char* text) {
  LockHold hold;
  Conversion* c = FindConversion(conv);
  if (c == nullptr) return kConvHandle;
  if (text == nullptr) return kBadArgument;
  return c->ConvertInPlace(reinterpret_cast<uint8_t*>(text), nullptr);
}

SL_EXPORT LocaleStatus SL_QStrnConvert(hconversion conv, char* text, uint16_t* count) {
  LockHold hold;
  Conversion* c = FindConversion(conv);
  if (c == nullptr) return kConvHandle;
  if (text == nullptr || count == nullptr) return kBadArgument;
  return c->ConvertInPlace(reinterpret_cast<uint8_t*>(text), count);
}

SL_EXPORT LocaleStatus SL_GetConversionInfo(hconversion conv, SL_CONVERSIONINFO* record, uint16_t mode) {
  if (mode != 1 && mode != 2) return kBadArgument;
  LockHold hold;
  Conversion* c = FindConversion(conv);
  if (c == nullptr) return kConvHandle;
  if (record == nullptr) return kBadArgument;
  if (mode == 2) c->TakeInfo(*record);
  c->FillInfo(*record);
  return kOk;
}

SL_EXPORT LocaleStatus SL_GetHlocaleConversionInfo(hlocale h, SL_CONVERSIONINFO* record, uint16_t which) {
  if (which < 3 || which > 6) return kBadArgument;
  LockHold hold;
  Status s = kOk;
  // 3 and 4: the conversion into the locale's set; 5 and 6: out of it.
  Conversion* c = PairConversion(h, which <= 4 ? 1 : 0, s);
  if (c == nullptr) return s;
  if (record == nullptr) return kBadArgument;
  if (which == 4 || which == 6) c->TakeInfo(*record);
  c->FillInfo(*record);
  return kOk;
}

SL_EXPORT LocaleStatus SL_OpenLocaleConversions(hlocale h, const char* otherSet, const char* definition) {
  if (otherSet == nullptr) return kBadArgument;
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr) return kBadHandle;
  char own[32] = {};
  std::string name = l->RecordName();
  if (Status s = SL_GetLocaleCharacterSetName(name.c_str(), own); s != kOk) return s;
  hconversion out = nullptr, in = nullptr;
  if (Status s = Open(&out, own, otherSet, definition); s != kOk) return s;
  if (Status s = Open(&in, otherSet, own, definition); s != kOk) {
    SL_CloseConversion(out);
    return s;
  }
  if (Status s = ClosePair(*l); s != kOk) {
    SL_CloseConversion(out);
    SL_CloseConversion(in);
    return s;
  }
  l->conversions[0] = out;
  l->conversions[1] = in;
  return kOk;
}

SL_EXPORT LocaleStatus SL_CloseLocaleConversions(hlocale h) {
  LockHold hold;
  CLocale* l = FindLocale(h);
  if (l == nullptr) return kBadHandle;
  return ClosePair(*l);
}

SL_EXPORT LocaleStatus SL_StrConvertFromLocale(hlocale h, void* out, const void* in, uint16_t outSize) {
  return PairConvert(h, 0, out, outSize, in, InputForm::kString, nullptr);
}

SL_EXPORT LocaleStatus SL_StrConvertToLocale(hlocale h, void* out, const void* in, uint16_t outSize) {
  return PairConvert(h, 1, out, outSize, in, InputForm::kString, nullptr);
}

SL_EXPORT LocaleStatus SL_StrnConvertFromLocale(hlocale h, void* out, uint16_t outSize, const void* in,
                                                uint16_t* count) {
  return PairConvert(h, 0, out, outSize, in, InputForm::kCounted, count);
}

SL_EXPORT LocaleStatus SL_StrnConvertToLocale(hlocale h, void* out, uint16_t outSize, const void* in,
                                              uint16_t* count) {
  return PairConvert(h, 1, out, outSize, in, InputForm::kCounted, count);
}
