#pragma once
// Plain parameter records, one per camera command family. Fields are 32-bit
// signed integers and fixed-width zero-terminated byte arrays, in wire order.
#include "core/cgi/rec/SystemRecords.h"
#include "core/cgi/rec/NetworkRecords.h"
#include "core/cgi/rec/WirelessRecords.h"
#include "core/cgi/rec/DdnsRecords.h"
#include "core/cgi/rec/OnvifRecords.h"
#include "core/cgi/rec/CellularRecords.h"
#include "core/cgi/rec/CloudRecords.h"
#include "core/cgi/rec/AudioOsdRecords.h"
#include "core/cgi/rec/PtzRecords.h"
#include "core/cgi/rec/VideoRecords.h"
#include "core/cgi/rec/ImageRecords.h"
#include "core/cgi/rec/TimeRecords.h"
#include "core/cgi/rec/RegionsRecords.h"
#include "core/cgi/rec/AlarmRecords.h"
#include "core/cgi/rec/MaintenanceRecords.h"
#include "core/cgi/rec/ScheduleRecords.h"
#include "core/cgi/rec/UserRecords.h"

// Commands that carry no record take a NoRecord (may be null).
struct NoRecord {};
