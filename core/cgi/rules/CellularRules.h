#pragma once
// Validation of the 4G/5G page.
#include <string_view>

#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// The camera declares 4G and 5G in its capability record (fields 13 and 15,
// read with atoi); it supports the page unless both are 0.
const char* CheckCellularSupport(int capability4g, int capability5g);

// The page's apply rules on what the user chose and typed (lengths in bytes;
// the APN field holds 31, user name and password 63). The texts travel
// unescaped, so each must be one the query can carry.
const char* CheckCellularInput(int32_t authType, int32_t runMode, std::string_view apn, std::string_view user,
                               std::string_view password);

const char* ValidateCellularPage(const CellularAttr& rec, const PageContext& context);

}   // namespace ky::cgi
