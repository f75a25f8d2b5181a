// Field values: the text a dBASE record holds, to and from the values the C
// interface uses (orbex32.h gives the formats).
#pragma once

#include <cstdint>

#include "orbex32.h"
#include "platform/stored_value.h"
#include "table.h"

namespace orb {

// Day numbers: 1 = 1 January of year 1, proleptic Gregorian.
using platform::DaysFromCivil;
using platform::ValidDate;
void CivilFromDays(int32_t dayNumber, int32_t* year, int32_t* month, int32_t* day);

// Decodes field `f` of `record` into `value` (valueSize bytes).
OrbResult DecodeField(const FieldInfo& f, const uint8_t* record, void* value, uint32_t valueSize,
                      int32_t* blank);
// Encodes `value` (null: blank) into field `f` of `record`; the record is
// untouched when the value is refused.
OrbResult EncodeField(const FieldInfo& f, uint8_t* record, const void* value);

// The 10-digit memo block number of an M field; 0 when blank or not digits.
uint32_t MemoBlock(const FieldInfo& f, const uint8_t* record);
void SetMemoBlock(const FieldInfo& f, uint8_t* record, uint32_t block);

}  // namespace orb
