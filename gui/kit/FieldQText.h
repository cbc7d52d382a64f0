#pragma once
// A record's fixed-width text field (core/services/FieldText.h) as Qt text.
#include <QString>

#include "core/services/FieldText.h"

template <size_t N>
QString FieldQText(const char (&field)[N]) {
    const std::string_view text = ky::FieldText(field);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
