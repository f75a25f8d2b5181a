// The operations a locale binds for its collation mode, and what the
// collation exports share: the checked locale behind a handle and the view
// of its data the engines read.
#pragma once

#include "collation/engine.h"
#include "locale_object.h"

namespace slw {

// Slots of the LocaleOperationTable.
enum OperationSlot : int {
  kInfoOp = 0, kCollateOp, kBoundedCollateOp, kTransformOp, kBoundedTransformOp, kDbaseOp, kBufferCollateOp
};

// Fills the operation table for a collation mode: 1 code order, 2 weighted
// (which compare by code where there are no weights), 3 the platform's
// compares and keys, 4 the narrow fast path. The entries an extension
// library gave replace the defaults of modes 1, 2 and 4.
void BindCollation(TLocale& locale, const OperationBinding& binding);

// Sets the locale's settings to the defaults of an LC_COLLATE category (the
// fast path where it gives the weighted compare's results) and binds them;
// `collate` is the category about to take the locale's slot.
void ApplyCollationDefaults(TLocale& locale, const Category* collate);

// The locale behind a handle when it is of `family`, else null. A handle
// found once is trusted again without the lock until a locale is destroyed.
const TLocale* CollationLocale(hlocale h, uint8_t family);

// The engines' view of a locale with its current settings.
CollateContext ContextOf(const TLocale& locale);

}  // namespace slw
