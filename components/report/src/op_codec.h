// Between drawing operations and stream records: the recorder writes a
// DrawOp as its record, the player turns a record back into a DrawOp.
#pragma once

#include "report/base_report.h"

namespace report::detail {

// Positions get the origin added (inches); a graphic is saved by kind.
Record ToRecord(const DrawOp& op, double originX, double originY);
// Raises StreamError(kUnexpectedCode) for a record that is no drawing
// operation or holds a value that is not a finite number.
DrawOp ToOp(const Record& record);

StreamGraphic SaveGraphic(const QImage& image, TGraphicKind kind);
// A null image for a metafile or undecodable bytes.
QImage LoadGraphic(const StreamGraphic& graphic);

}  // namespace report::detail
