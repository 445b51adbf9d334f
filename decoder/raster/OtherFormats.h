// Picture formats this program does not read, told by their signatures so that a failure can
// say what the file is.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace pictures {

// What the file is ("a PNG picture"); empty when it is none of the formats known here.
QString OtherFormatOf(QByteArrayView bytes);

} // namespace pictures
