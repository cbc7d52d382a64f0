#pragma once
// Shapes of the emulated camera's command table (data in CgiTable.cpp).
// Templates: "{}" is replaced by the selector's token ("aeswitch_{}" with
// -chn=11 gives "aeswitch_1"). A key's reply name is its template; its state
// key is the command's state prefix (also templated) followed by the reply
// name, so families whose reply names collide ("x_1" of the OSD and of the
// cover regions, "week0" of three schedules) keep separate state.
#include <string>
#include <string_view>
#include <vector>

namespace emu::table {

// How a set parameter's (percent-decoded) value is checked and stored.
enum class Kind {
    Int,       // optional '-' and 1..10 digits, within 32 bits
    Text,      // at most 127 bytes, no control characters
    Word,      // one of `arg` ("on|off"), case-insensitive, stored as listed
    OnOff01,   // "on"/"off"/"1"/"0", stored as "1"/"0"
    Ipv4,      // dotted quad, each part 0..255
    Week,      // 48 half-hour flags, each 'P' or 'N'
    Time,      // "YYYY.MM.DD.hh.mm.ss" with month/day/hour/minute/second ranges
};

struct Param {
    std::string_view name;   // without the leading '-'
    Kind kind;
    std::string_view key;        // reply-name template of the key written
    std::string_view arg = {};   // Word: the allowed words, '|'-separated
};

struct SelectorValue {
    std::string_view value;   // as sent: "11", "md", "type"
    std::string_view token;   // substituted for "{}"
};

// A parameter that picks which instance a command addresses (-chn, -region,
// -ename, -aname). Gets use `defaultValue` when it is absent, or answer every
// instance in order when `getAll`; sets must name it.
struct Selector {
    std::string_view name;
    std::vector<SelectorValue> values;
    std::string_view defaultValue = {};
    bool getAll = false;
};

// Behaviour beyond storing and answering keys.
enum class Special {
    None,
    ServerTime,   // get: "time" from the emulated clock
    VencSize,     // get: width/height from the video mode
    WifiScan,     // get: the scan list (count and indexed keys)
    WifiCheck,    // test a Wi-Fi setting against the scan list
    SdFormat,     // wait emu.sd_delay_ms, card emptied, "Succeed"
    SdStop,       // wait emu.sd_delay_ms, card out, "Succeed"
    CleanLog,     // empties emu.syslog
    ImageSet,     // -default=on restores the image keys and answers them
    SetTime,      // -time moves the emulated clock
    UserAttr,     // changes emu.user / emu.password
};

struct Command {
    std::string_view name = {};
    bool isSet = false;
    std::vector<std::string_view> keys = {};   // get: reply-name templates, in order
    std::vector<Param> params = {};            // set: accepted parameters
    std::string_view statePrefix = {};         // template, see above
    const Selector* selector = nullptr;
    Special special = Special::None;
    bool escapeValues = false;   // camera-name escaping of \ " ` in replies
};

struct Default {
    std::string_view key;   // state-key template
    std::string_view value;
    std::string_view tokens = {};   // '|'-separated tokens for "{}", or none
};

const std::vector<Command>& Commands();
const Command* FindCommand(std::string_view name);
const std::vector<Default>& Defaults();

// Replaces every "{}" in `tmpl` with `token`.
std::string Expand(std::string_view tmpl, std::string_view token);

// Picture size of one stream (1 first, 2 second) in a video mode; unknown
// modes are 1280x720 + 640x352. `pal` picks the 50 Hz sizes.
void VideoModeSize(int mode, bool pal, int stream, int* width, int* height);

// The table as a short Markdown document (docs/emulator-commands.md).
std::string CommandTableMarkdown();

}   // namespace emu::table
