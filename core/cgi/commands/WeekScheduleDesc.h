#pragma once
// The weekly schedule as it travels: read with the indexed key "var week%d="
// (days 0 to 6) and written as "&-week%d=%s" after the command that carries
// it. Shared by every record that embeds WeekDays as `week`.
#include <array>

#include "core/cgi/CommandEngine.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// The write's tail, days 0 to 6 in order.
#define KY_WEEK_QUERY "&-week0=%s&-week1=%s&-week2=%s&-week3=%s&-week4=%s&-week5=%s&-week6=%s"

// The read key; a day longer than 48 characters is cut by the field width.
constexpr KeySpec WeekKey(int weekField) { return {"var week%d=", weekField, Conv::Text, nullptr, true, 0}; }

// head's arguments followed by one per day for KY_WEEK_QUERY.
template <size_t N>
constexpr std::array<ArgSpec, N + kWeekDays> WithWeekArgs(int weekField, std::array<ArgSpec, N> head = {}) {
    std::array<ArgSpec, N + kWeekDays> all{};
    for (size_t i = 0; i < N; ++i) all[i] = head[i];
    for (int d = 0; d < kWeekDays; ++d) all[N + static_cast<size_t>(d)] = {weekField, Enc::Raw, d};
    return all;
}

// Sends nothing unless every day holds only 'P' and 'N': the days go into the
// query unencoded. Usable as the prepare hook of any schedule write.
template <class Rec>
int PlainWeekOnly(const CommandDesc&, void* rec) {
    for (const auto& day : static_cast<const Rec*>(rec)->week)
        for (char c : day) {
            if (c == '\0') break;
            if (c != 'P' && c != 'N') return -1;
        }
    return 0;
}

}   // namespace ky::cgi
