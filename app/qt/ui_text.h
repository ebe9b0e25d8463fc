#pragma once
// The window's texts (app/window_texts.h) as Qt strings.

#include <QString>
#include <string_view>

#include "app/window_texts.h"

namespace torvex::qt {

// UTF-16 to QString unit for unit: no byte-order mark or anything else is interpreted.
inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
}

}  // namespace torvex::qt
