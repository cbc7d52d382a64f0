#pragma once
// Plain parameter records, one per camera command family. Fields are 32-bit
// signed integers and fixed-width zero-terminated byte arrays, in wire order.
#include "cgi/rec/SystemRecords.h"
#include "cgi/rec/NetworkRecords.h"
#include "cgi/rec/WirelessRecords.h"
#include "cgi/rec/DdnsRecords.h"
#include "cgi/rec/OnvifRecords.h"
#include "cgi/rec/CellularRecords.h"
#include "cgi/rec/CloudRecords.h"
#include "cgi/rec/AudioOsdRecords.h"
#include "cgi/rec/PtzRecords.h"
#include "cgi/rec/VideoRecords.h"
#include "cgi/rec/ImageRecords.h"
#include "cgi/rec/TimeRecords.h"
#include "cgi/rec/RegionsRecords.h"
#include "cgi/rec/AlarmRecords.h"
#include "cgi/rec/MaintenanceRecords.h"
#include "cgi/rec/ScheduleRecords.h"
#include "cgi/rec/UserRecords.h"

// Commands that carry no record take a NoRecord (may be null).
struct NoRecord {};
