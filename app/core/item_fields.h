// The 22 fields of an inventory table, in table order, and the lookups the
// rest of keldro makes in that table.
//
// Field numbers are 1-based everywhere (settings, sort levels, report cells);
// `ItemFields[n - 1]` is field n.
#pragma once

#include <array>
#include <string_view>

namespace keldro {

// Type codes, as stored in settings and report definitions.
enum FieldTypeCode : int { kCharacterField = 1, kIntegerField = 2, kFloatField = 3, kDateField = 4 };

struct ItemField {
  int number;               // 1..22
  std::string_view name;    // the dBASE field name, at most 10 characters
  char letter;              // dBASE type letter: C, N or D
  int typeCode;             // FieldTypeCode
  int width;                // characters (for N and D the width other windows reserve)
  int decimals;             // 2 for the money fields, 0 otherwise
  std::string_view title;   // the default title
};

inline constexpr int kItemFieldCount = 22;

inline constexpr std::array<ItemField, kItemFieldCount> ItemFields{{
    {1, "Item", 'C', kCharacterField, 40, 0, "Item"},
    {2, "Brand", 'C', kCharacterField, 20, 0, "Brand"},
    {3, "Model", 'C', kCharacterField, 20, 0, "Model"},
    {4, "Serial", 'C', kCharacterField, 20, 0, "Serial Number"},
    {5, "Location", 'C', kCharacterField, 30, 0, "Location"},
    {6, "Descriptio", 'C', kCharacterField, 110, 0, "Description"},
    {7, "BoughtFrom", 'C', kCharacterField, 40, 0, "Purchased From"},
    {8, "IDMarks", 'C', kCharacterField, 60, 0, "ID Marks"},
    {9, "Quantity", 'N', kIntegerField, 4, 0, "Quantity"},
    {10, "PurchDate", 'D', kDateField, 8, 0, "Purchase Date"},
    {11, "Cost", 'N', kFloatField, 12, 2, "Cost"},
    {12, "Category", 'C', kCharacterField, 20, 0, "Category"},
    {13, "RepCost", 'N', kFloatField, 12, 2, "Replacement Cost"},
    {14, "Warranty", 'C', kCharacterField, 3, 0, "Warranty"},
    {15, "WarDate", 'D', kDateField, 8, 0, "Warranty Date"},
    {16, "WarNotes", 'C', kCharacterField, 30, 0, "Warranty Notes"},
    {17, "Owner", 'C', kCharacterField, 30, 0, "Owner"},
    {18, "Value", 'N', kFloatField, 12, 2, "Value"},
    {19, "UserDef1", 'C', kCharacterField, 40, 0, "User Defined 1"},
    {20, "UserDef2", 'C', kCharacterField, 40, 0, "User Defined 2"},
    {21, "UserDef3", 'C', kCharacterField, 40, 0, "User Defined 3"},
    {22, "UserDef4", 'C', kCharacterField, 40, 0, "User Defined 4"},
}};

// Field n (1..22), or nullptr for any other number: field numbers come from
// settings and report files, which may hold anything.
const ItemField* ItemFieldByNumber(int number);

// The field of that dBASE name, compared without regard to case; nullptr when none.
const ItemField* ItemFieldByName(std::string_view name);

// ASCII upper case, as dBASE field names are compared.
bool FieldNamesEqual(std::string_view a, std::string_view b);

}  // namespace keldro
