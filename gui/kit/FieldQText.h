#pragma once
// A record's fixed-width text field (core/services/FieldText.h) as Qt text;
// bytes that are not UTF-8 are repaired as every other output repairs them.
#include <QString>

#include "core/services/FieldText.h"
#include "core/services/Utf8.h"

template <size_t N>
QString FieldQText(const char (&field)[N]) {
    const std::string text = ky::Utf8Repair(ky::FieldText(field));
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
