// Binding the collation operations, the collation settings and the
// character-range exports.
#include "categories.h"
#include "client.h"
#include "collation/operations.h"
#include "lock.h"
#include "platform/platform_ops.h"

namespace slw {

int16_t NarrowBufferCharCompare(hlocale h, const void* a, uint16_t na, const void* b, uint16_t nb);

namespace {

template <class... Fn>
std::array<void*, 7> Ops(Fn... fn) {
  return {reinterpret_cast<void*>(fn)...};
}

// Defaults of each family for a mode; index 0 mode 1, 1 mode 2, 2 mode 4.
std::array<void*, 7> DefaultOps(uint8_t family, uint16_t mode) {
  auto* info = &_SL_CollationInfo;
  switch (family) {
    case SL_FAMILY_NARROW:
      if (mode == kCodeOrder)
        return Ops(info, &_SLN_StrCharCompare, &_SLN_StrnCharCompare, &_SLN_StrCharTransform,
                   &_SLN_StrnCharTransform, &__SLN_StrDbaseCharCompare, &NarrowBufferCharCompare);
      return Ops(info, mode == kWeightedFast ? &_SLN_StrCollateOp : &_SLN_StrCollate,
                 mode == kWeightedFast ? &_SLN_StrnCollateOp : &_SLN_StrnCollate, &_SLN_StrTransform,
                 &_SLN_StrnTransform, &_SLN_StrDbaseCompare, &_SLN_BufferCollate);
    case SL_FAMILY_WIDE:
      if (mode == kCodeOrder)
        return Ops(info, &_SLW_StrCharCompare, &_SLW_StrnCharCompare, &_SLW_StrCharTransform,
                   &_SLW_StrnCharTransform, &__SLW_StrDbaseCharCompare, &_SLW_BufferCharCompare);
      return Ops(info, &_SLW_StrCollate, &_SLW_StrnCollate, &_SLW_StrTransform, &_SLW_StrnTransform,
                 &_SLW_StrDbaseCompare, &_SLW_BufferCollate);
    default:
      if (mode == kCodeOrder)
        return Ops(info, &_SLM_StrCharCompare, &_SLM_StrnCharCompare, &_SLM_StrCharTransform,
                   &_SLM_StrnCharTransform, &__SLM_StrDbaseCharCompare, &_SLM_BufferCharCompare);
      return Ops(info, &_SLM_StrCollate, &_SLM_StrnCollate, &_SLM_StrTransform, &_SLM_StrnTransform,
                 &_SLM_StrDbaseCompare, &_SLM_BufferCollate);
  }
}

// Slot 0 holds the LC_COLLATE category object of every family.
const CollationTable* TableOf(const Category* c) {
  return c == nullptr || c->slot() != 0 ? nullptr : &static_cast<const CollateCategory*>(c)->table;
}
const CollationTable* TableOf(const CLocale& l) { return TableOf(l.categories[0]); }

void FillRecord(SL_COLLATIONSETTINGS* out, const CollationSettings& s) {
  out->levels = s.levels;
  out->compareFlags = s.flags;
  out->mode = s.mode;
}

bool ValidFlags(uint16_t f) { return f == 0 || f == 1 || f == 2 || f == 4 || f == 8; }

}  // namespace

void BindCollation(TLocale& locale, const OperationBinding& binding) {
  LocaleOperationTable& t = locale.operations;
  t.mode = binding.mode;
  t.levels = binding.levels;
  if (binding.mode == kPlatform) {
    // The collation information and the dBASE compare stay as they were;
    // multi-byte strings are bytes to the platform.
    // Each slot holds a function of the family's own types.
    const bool wide = locale.family() == SL_FAMILY_WIDE, multi = locale.family() == SL_FAMILY_MULTI;
    void* ops[] = {wide ? reinterpret_cast<void*>(&_SLW_P_StrCollate) : reinterpret_cast<void*>(&_SLN_P_StrCollate),
                   wide ? reinterpret_cast<void*>(&_SLW_P_StrnCollate) : reinterpret_cast<void*>(&_SLN_P_StrnCollate),
                   wide    ? reinterpret_cast<void*>(&PlatformWideTransform)
                   : multi ? reinterpret_cast<void*>(&PlatformMultiTransform)
                           : reinterpret_cast<void*>(&PlatformNarrowTransform),
                   wide    ? reinterpret_cast<void*>(&PlatformWideBoundedTransform)
                   : multi ? reinterpret_cast<void*>(&PlatformMultiBoundedTransform)
                           : reinterpret_cast<void*>(&PlatformNarrowBoundedTransform)};
    const int slots[] = {kCollateOp, kBoundedCollateOp, kTransformOp, kBoundedTransformOp};
    for (int i = 0; i < 4; ++i) {
      t.ops[static_cast<std::size_t>(slots[i])] = ops[i];
      t.generic[static_cast<std::size_t>(slots[i])] = 0;
    }
    t.ops[kBufferCollateOp] =
        wide ? reinterpret_cast<void*>(&PlatformWideBufferCollate) : reinterpret_cast<void*>(&PlatformNarrowBufferCollate);
    t.generic[kBufferCollateOp] = 0;
    return;
  }
  // The weighted operations compare by code where there are no weights.
  t.ops = DefaultOps(locale.family(), binding.mode);
  t.generic.fill(0);
  // An extension's operations, in its order: collate, bounded collate,
  // transform, bounded transform, dBASE compare, buffer collate, buffer
  // transform (no slot), collation information.
  static constexpr int kExtensionSlot[8] = {kCollateOp, kBoundedCollateOp, kTransformOp, kBoundedTransformOp,
                                            kDbaseOp, kBufferCollateOp, -1, kInfoOp};
  for (std::size_t i = 0; i < locale.extensionOps.size(); ++i) {
    if (locale.extensionOps[i] == nullptr || kExtensionSlot[i] < 0) continue;
    auto slot = static_cast<std::size_t>(kExtensionSlot[i]);
    t.ops[slot] = locale.extensionOps[i];
    t.generic[slot] = 1;
  }
}

void ApplyCollationDefaults(TLocale& locale, const Category* collate) {
  LockHold hold;
  const CollationTable* t = TableOf(collate);
  CollationSettings d = t == nullptr ? CollationSettings{} : t->defaults();
  if (d.mode == kWeighted && t->FastPathFits(locale.defined)) d.mode = kWeightedFast;
  locale.collationDefaults = d;
  locale.collation = d;
  locale.BindOperations({d.mode, d.levels});
}

const TLocale* CollationLocale(hlocale h, uint8_t family) {
  struct Checked {
    hlocale handle = nullptr;
    uint64_t generation = 0;
  };
  thread_local Checked checked;
  if (h == nullptr) return nullptr;
  uint64_t generation = LocaleGeneration();
  const TLocale* l = nullptr;
  if (h == checked.handle && generation == checked.generation) {
    l = static_cast<const TLocale*>(FromHandle(h));
  } else {
    l = dynamic_cast<const TLocale*>(FindLocale(h));
    if (l == nullptr) return nullptr;
    checked = {h, generation};
  }
  return l->family() == family && l->categories[0] != nullptr ? l : nullptr;
}

CollateContext ContextOf(const TLocale& l) {
  CollateContext x;
  x.table = TableOf(l);
  x.leadBytes = l.leadBytes.size() >= 32 ? l.leadBytes.data() : nullptr;
  x.defined = l.defined.data();
  x.definedSize = l.defined.size();
  x.levels = l.collation.levels == 0 ? 1 : l.collation.levels;
  x.flags = l.collation.flags;
  return x;
}

}  // namespace slw

using namespace slw;

SL_EXPORT LocaleStatus _SL_CollationInfo(hlocale h, uint16_t request, SL_COLLATIONSETTINGS* settings) {
  LockHold hold;
  auto* l = dynamic_cast<TLocale*>(FindLocale(h));
  if (l == nullptr || l->family() < 1 || l->family() > 3 || l->categories[0] == nullptr) return kBadHandle;
  if (settings == nullptr) return kBadArgument;
  if ((request == 0 || request == 1) && l->ownerThread != CurrentThreadId()) return kNoThread;
  switch (request) {
    case 0:  // restore the loaded defaults
      l->collation = l->collationDefaults;
      FillRecord(settings, l->collation);
      l->BindOperations({l->collation.mode, l->collation.levels});
      break;
    case 1: {
      const CollationSettings& loaded = l->collationDefaults;
      if (!ValidFlags(settings->compareFlags) || settings->levels > kMaxLevels || settings->levels > loaded.levels ||
          settings->mode > kWeighted) {
        FillRecord(settings, l->collation);
        settings->cleared = 0;
        return kBadArgument;
      }
      CollationSettings next = l->collation;
      if (settings->levels != 0) next.levels = settings->levels;
      if (settings->compareFlags != 0) next.flags = settings->compareFlags;
      if (settings->mode != 0)
        next.mode = settings->mode == kWeighted && loaded.mode == kCodeOrder ? uint16_t{kCodeOrder} : settings->mode;
      bool rebind = next.mode != l->collation.mode;
      l->collation = next;
      // Only a change of mode rebinds: the caller's Set...Fn functions stay.
      if (rebind) l->BindOperations({next.mode, next.levels});
      break;
    }
    case 2: FillRecord(settings, l->collation); break;
    case 3: FillRecord(settings, l->collationDefaults); break;
    default: break;
  }
  settings->cleared = 0;
  return kOk;
}

SL_EXPORT LocaleStatus SL_CollationInfo(hlocale h, uint16_t request, SL_COLLATIONSETTINGS* settings) {
  using InfoFn = LocaleStatus (*)(hlocale, uint16_t, SL_COLLATIONSETTINGS*);
  void* op = nullptr;
  {
    LockHold hold;
    auto* l = dynamic_cast<TLocale*>(FindLocale(h));
    if (l == nullptr) return kBadHandle;
    op = l->operations.ops[kInfoOp];
  }
  return op == nullptr ? _SL_CollationInfo(h, request, settings) : reinterpret_cast<InfoFn>(op)(h, request, settings);
}

SL_EXPORT LocaleStatus SL_CollationChars(hlocale h, uint16_t* lowest, uint16_t* highest) {
  LockHold hold;
  auto* l = dynamic_cast<TLocale*>(FindLocale(h));
  if (l == nullptr || l->family() < 1 || l->family() > 3) return kBadHandle;
  const CollationTable* t = TableOf(*l);
  if (t == nullptr) return kBadHandle;
  if (lowest != nullptr) *lowest = t->lowest();
  if (highest != nullptr) *highest = t->highest();
  return kOk;
}

SL_EXPORT int SL_IsCharDefined(hlocale h, uint16_t character) {
  CLocale* l = FindLocale(h);
  if (l == nullptr) return 0;
  std::size_t byte = character / 8u;
  return byte < l->defined.size() && (l->defined[byte] & (1u << (character % 8))) != 0 ? 1 : 0;
}
