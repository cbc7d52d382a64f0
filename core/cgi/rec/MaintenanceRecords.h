#pragma once
// Lens type ("motor range") of the maintenance page.
#include <cstdint>

struct MotorRangeAttr {
    int32_t lenstype;   // a value of the lens-type table, see LensTypeText
};
