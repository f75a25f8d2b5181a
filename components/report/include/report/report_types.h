// The report writer's enumerations. Their ordinals are fixed here once, since
// the report stream writes them as bytes (see STREAM_FORMAT.md); never
// reorder them.
#pragma once

#include <cstdint>

namespace report {

enum TOrientation : uint8_t { poPortrait = 0, poLandScape = 1, poDefault = 2 };
enum TBrushStyle : uint8_t {
  bsSolid = 0, bsClear = 1, bsHorizontal = 2, bsVertical = 3,
  bsFDiagonal = 4, bsBDiagonal = 5, bsCross = 6, bsDiagCross = 7
};
enum TPenStyle : uint8_t {
  psSolid = 0, psDash = 1, psDot = 2, psDashDot = 3, psDashDotDot = 4, psClear = 5, psInsideFrame = 6
};
enum TPenMode : uint8_t {
  pmBlack = 0, pmWhite = 1, pmNop = 2, pmNot = 3, pmCopy = 4, pmNotCopy = 5,
  pmMergePenNot = 6, pmMaskPenNot = 7, pmMergeNotPen = 8, pmMaskNotPen = 9,
  pmMerge = 10, pmNotMerge = 11, pmMask = 12, pmNotMask = 13, pmXor = 14, pmNotXor = 15
};
enum TFontPitch : uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };
enum TBKMode : uint8_t { bkTransparent = 0, bkOpaque = 1 };
enum TFillStyle : int32_t { fsSurface = 0, fsBorder = 1 };
enum TUnits : uint8_t { unInch = 0, unMM = 1, unCM = 2, unPoint = 3, unUser = 4 };
enum TLineHeightMethod : uint8_t { lhmLinesPerInch = 0, lhmFont = 1 };
enum TStreamMode : uint8_t { smMemory = 0, smFile = 1, smUser = 2 };
enum TAccuracyMethod : uint8_t { amPositioning = 0, amAppearance = 1 };
enum TMarginMethod : uint8_t { mmScaled = 0, mmFixed = 1 };

// Font style bits, as the style accessors see them.
constexpr int kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeOut = 8;

// Graphic kinds in the stream. A bitmap is held as BMP bytes, an icon as ICO
// bytes and any other graphic as PNG bytes; metafiles are read and skipped.
enum TGraphicKind : uint8_t { gkBitmap = 1, gkMetafile = 2, gkIcon = 3, gkOther = 4 };

// Colours are 0x00BBGGRR, as Windows keeps them.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF;

}  // namespace report
