// The emulated camera's CGI commands: what each get answers, what each set
// accepts and stores, and the values of a fresh camera.
//
// Reply lines are `var key="text";\r\n`, or `var key=number;\r\n` when the
// value is a signed decimal integer. The scan list's indexed keys, which the
// tool finds by "wessid[%d]=" without "var ", are written with the prefix
// like every other line (`var wessid[1]="Office";`): the bracketed index
// keeps index 1 and 11 apart.
//
// Choices where the camera's documented behaviour leaves room:
// - getserverinfo answers identity, versions, service states and the SD-card
//   keys; networktype sits in getnetattr, devtype in getdevtype, stream_num in
//   getstreamnum (the tool reads all four as one group).
// - setnetattr takes -dhcp=on|off and -ipaddr and answers them as dhcpflag
//   ("on"/"off") and ip.
// - getmdalarm -aname=type answers md_alarm_type; the other alarm names
//   answer md_<name>_switch (snap, record, relay, preset, sound). Without
//   -aname it answers all six.
// - getrelayattr answers relay_time, written by setrelayattr -time.
// - setlightattr takes on/off, but the light state is read back as a number,
//   so the camera answers light_enable as 1 or 0.
// - The snapshot timer is known both as getsnaptimerattr/setsnaptimerattr
//   and as the ...ex names; both are the same command. Its set parameters
//   -as_interval/-as_enable are answered as as_snap_interval/as_snap_enable;
//   -as_type must be "snap".
// - getscheduleex without -ename answers the motion-detection schedule.
// - getaencattr/-chn 11, 12, 13 answer key index 1, 2, 3; getoverlayattr
//   without -region answers region 0; getcover answers regions 1 to 4.
// - getvencattr (the .cgi and the param.cgi command) derives width/height
//   from the current video mode and video standard.
// - getoverlayattr escapes \ " and ` with a backslash (the camera-name rule).
// - chkwirelessattr stores nothing of the Wi-Fi settings: it answers the
//   tested wf_ssid and sets chkres to 1 when that name is in the scan list.
// - setuserattr must name the current user in -at_username; the new name and
//   password must not be empty. They become emu.user / emu.password.
// - getservertime answers a running clock (emu.clock_offset_s seconds ahead
//   of UTC) unless the state holds a fixed "time"; setservertime -time moves
//   whichever of the two is in use. -timezone is answered as timeZone.
// - A request naming the command in emu.fail_cmd (e.g. setservertime) is
//   answered with an [Error] line and changes nothing.
// - sdfrmt fails when no card is in (sdstatus "out"); sdstop takes the card
//   out. Both wait emu.sd_delay_ms first.
// - Sets check the form of every value (numbers, on/off words, addresses,
//   week strings, times), not ranges: the tool's own checks stay observable.
#include "tools/kycam-emulator/CgiTable.h"

#include <sstream>

namespace emu::table {
namespace {

Param I(std::string_view name, std::string_view key = {}) { return {name, Kind::Int, key.empty() ? name : key}; }
Param T(std::string_view name, std::string_view key = {}) { return {name, Kind::Text, key.empty() ? name : key}; }
Param W(std::string_view name, std::string_view words, std::string_view key = {}) {
    return {name, Kind::Word, key.empty() ? name : key, words};
}
Param B(std::string_view name, std::string_view key = {}) { return {name, Kind::OnOff01, key.empty() ? name : key}; }
Param A(std::string_view name, std::string_view key) { return {name, Kind::Ipv4, key}; }
// A parameter that is checked but stored by the command's own behaviour.
Param X(std::string_view name, Kind kind, std::string_view words = {}) { return {name, kind, {}, words}; }

const Selector kAencChn{"chn", {{"11", "1"}, {"12", "2"}, {"13", "3"}}, "11"};
const Selector kVencChn{"chn", {{"11", "1"}, {"12", "2"}}, "11"};
const Selector kOsdRegion{"region", {{"0", "0"}, {"1", "1"}}, "0"};
const Selector kCoverRegion{"region", {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}}, {}, true};
const Selector kSchedule{"ename", {{"md", "md"}, {"snap", "snap"}, {"plan", "plan"}}, "md"};
const Selector kAlarm{"aname",
                      {{"type", "alarm_type"},
                       {"snap", "snap_switch"},
                       {"record", "record_switch"},
                       {"relay", "relay_switch"},
                       {"preset", "preset_switch"},
                       {"sound", "sound_switch"}},
                      {},
                      true};
const Selector kSnapType{"as_type", {{"snap", ""}}};
const Selector kLogName{"name", {{"sys", ""}}};

const std::vector<std::string_view> kImageKeys = {
    "display_mode", "brightness", "saturation",    "sharpness", "contrast",   "hue",        "wdr",  "wdrvalue",
    "night",        "shutter",    "flash_shutter", "flip",      "mirror",     "gc",         "ae",   "targety",
    "noise",        "gamma",      "aemode",        "imgmode",   "ratioslope", "histoffset", "defag"};

const std::vector<std::string_view> kVencKeys = {"bps_{}",        "fps_{}",   "gop_{}",   "brmode_{}",
                                                 "imagegrade_{}", "width_{}", "height_{}"};
const std::vector<Param> kVencParams = {I("bps", "bps_{}"), I("fps", "fps_{}"), I("gop", "gop_{}"),
                                        I("brmode", "brmode_{}"), I("imagegrade", "imagegrade_{}")};

const std::vector<std::string_view> kWeekKeys = {"week0", "week1", "week2", "week3", "week4", "week5", "week6"};
std::vector<Param> WeekParams() {
    std::vector<Param> p;
    for (auto k : kWeekKeys) p.push_back({k, Kind::Week, k});
    return p;
}

std::vector<Command> BuildCommands() {
    using K = Kind;
    using S = Special;
    const auto onoff = "on|off";
    return {
        // --- device information, SD card, log
        {.name = "getserverinfo",
         .keys = {"model", "hardVersion", "softVersion", "webVersion", "rs485Version", "name", "startdate",
                  "upnpstatus", "facddnsstatus", "th3ddnsstatus", "sdstatus", "sdfreespace", "sdtotalspace"}},
        {.name = "getdevtype", .keys = {"devtype"}},
        {.name = "getstreamnum", .keys = {"stream_num"}},
        {.name = "sdfrmt", .isSet = true, .special = S::SdFormat},
        {.name = "sdstop", .isSet = true, .special = S::SdStop},
        {.name = "cleanlog", .isSet = true, .selector = &kLogName, .special = S::CleanLog},

        // --- network
        {.name = "getnetattr",
         .keys = {"ip", "netmask", "gateway", "macaddress", "dhcpflag", "dnsstat", "fdnsip", "sdnsip", "networktype"}},
        {.name = "gethttpport", .keys = {"httpport"}},
        {.name = "getrtspport", .keys = {"rtspport"}},
        {.name = "getrtspauth", .keys = {"rtsp_aenable"}},
        {.name = "getrtmpattr", .keys = {"rtmpport"}},
        {.name = "setnetattr",
         .isSet = true,
         .params = {W("dhcp", onoff, "dhcpflag"), A("ipaddr", "ip"), A("netmask", "netmask"), A("gateway", "gateway"),
                    I("dnsstat"), T("fdnsip"), T("sdnsip")}},
        {.name = "sethttpport", .isSet = true, .params = {I("httpport")}},
        {.name = "setrtspport", .isSet = true, .params = {I("rtspport")}},
        {.name = "setrtspauth", .isSet = true, .params = {I("rtsp_aenable")}},
        {.name = "setrtmpattr", .isSet = true, .params = {I("rtmpport")}},

        // --- wireless
        {.name = "getwirelessattr", .keys = {"wf_enable", "wf_ssid", "wf_auth", "wf_key", "wf_enc", "wf_mode"}},
        {.name = "setwirelessattr",
         .isSet = true,
         .params = {I("wf_enable"), T("wf_ssid"), I("wf_auth"), T("wf_key"), I("wf_enc"), I("wf_mode")}},
        {.name = "chkwirelessattr",
         .isSet = true,
         .params = {T("wf_ssid"), I("wf_auth"), T("wf_key"), I("wf_enc"), I("wf_mode")},
         .statePrefix = "emu.chk.",
         .special = S::WifiCheck},
        {.name = "getchkwireless", .keys = {"chkres"}},
        {.name = "searchwireless", .special = S::WifiScan},

        // --- DDNS, UPnP, internet address
        {.name = "get3thddnsattr", .keys = {"d3th_enable", "d3th_service", "d3th_uname", "d3th_passwd", "d3th_domain"}},
        {.name = "getupnpattr", .keys = {"upm_enable"}},
        {.name = "getourddnsattr",
         .keys = {"our_enable", "our_server", "our_port", "our_uname", "our_passwd", "our_domain", "our_interval"}},
        {.name = "set3thddnsattr",
         .isSet = true,
         .params = {I("d3th_enable"), I("d3th_service"), T("d3th_uname"), T("d3th_passwd"), T("d3th_domain")}},
        {.name = "setupnpattr", .isSet = true, .params = {I("upm_enable")}},
        {.name = "setourddnsattr",
         .isSet = true,
         .params = {I("our_enable"), I("our_port"), T("our_uname"), T("our_passwd"), T("our_server"), T("our_domain"),
                    I("our_interval")}},
        {.name = "getinterip", .keys = {"interip"}},

        // --- ONVIF, GB28181
        {.name = "getonvifattr",
         .keys = {"ov_enable", "ov_port", "ov_authflag", "ov_forbitset", "ov_subchn", "ov_snapchn", "ov_nvctype"}},
        {.name = "setonvifattr",
         .isSet = true,
         .params = {I("ov_enable"), I("ov_port"), I("ov_authflag"), I("ov_forbitset"), I("ov_subchn"), I("ov_snapchn"),
                    I("ov_nvctype")}},
        {.name = "getgb28181attr",
         .keys = {"gb_enable", "gb_svrid", "gb_svrip", "gb_svrport", "gb_devid", "gb_devport", "gb_devpwd",
                  "gb_alarmid", "gb_heartcycle", "gb_heartcount", "gb_regtime"}},
        {.name = "setgb28181attr",
         .isSet = true,
         .params = {I("gb_enable"), T("gb_svrid"), T("gb_svrip"), I("gb_svrport"), T("gb_devid"), I("gb_devport"),
                    T("gb_devpwd"), T("gb_alarmid"), I("gb_heartcycle"), I("gb_heartcount"), I("gb_regtime")}},

        // --- cellular
        {.name = "get4gattr",
         .keys = {"g4_runmode", "g4_simcard", "g4_status", "g4_quality", "g4_authtype", "g4_ver", "g4_mcc", "g4_mnc",
                  "g4_carrier", "g4_apn", "g4_username", "g4_password", "g4_imei", "g4_iccid"}},
        {.name = "set4gattr",
         .isSet = true,
         .params = {I("g4_runmode"), T("g4_carrier"), T("g4_apn"), I("g4_authtype"), T("g4_username"),
                    T("g4_password")}},

        // --- P2P, cloud, Tmall
        {.name = "getkyp2pattr", .keys = {"kyp2p_enable", "kyp2p_mode", "kyp2p_uid"}},
        {.name = "setkyp2pattr", .isSet = true, .params = {I("kyp2p_enable")}},
        {.name = "getxqp2pattr", .keys = {"xqp2p_enable", "xqp2p_mode", "xqp2p_uid"}},
        {.name = "setxqp2pattr", .isSet = true, .params = {I("xqp2p_enable")}},
        {.name = "getcloudenable", .keys = {"cloud_enable"}},
        {.name = "setcloudenable", .isSet = true, .params = {I("cloud_enable")}},
        {.name = "gettmallattr", .keys = {"tmall_flag", "tmall_enable"}},
        {.name = "settmallattr", .isSet = true, .params = {I("tmall_enable")}},

        // --- audio, OSD
        {.name = "getaencattr", .keys = {"aeswitch_{}", "aeformat_{}"}, .selector = &kAencChn},
        {.name = "setaencattr",
         .isSet = true,
         .params = {I("aeswitch", "aeswitch_{}"), W("aeformat", "g711a|g711u|g726", "aeformat_{}")},
         .selector = &kAencChn},
        {.name = "getaudioinvolume", .keys = {"volume", "aec", "denoise", "volin_type"}},
        {.name = "setaudioinvolume", .isSet = true, .params = {I("volume"), I("volin_type"), I("aec"), I("denoise")}},
        {.name = "getaudiooutvolume", .keys = {"ao_volume"}},
        {.name = "setaudiooutvolume", .isSet = true, .params = {I("volume", "ao_volume")}},
        {.name = "getoverlayattr",
         .keys = {"x_{}", "y_{}", "w_{}", "h_{}", "show_{}", "place_{}", "name_{}"},
         .statePrefix = "overlay.",
         .selector = &kOsdRegion,
         .escapeValues = true},
        {.name = "setoverlayattr",
         .isSet = true,
         .params = {I("show", "show_{}"), I("place", "place_{}"), T("name", "name_{}"), I("x", "x_{}"), I("y", "y_{}"),
                    I("w", "w_{}"), I("h", "h_{}")},
         .statePrefix = "overlay.",
         .selector = &kOsdRegion},

        // --- PTZ, RS-485, lens
        {.name = "getmotorattr",
         .keys = {"panscan", "tiltscan", "panspeed", "tiltspeed", "movehome", "ptzalarmmask", "alarmpresetindex"}},
        {.name = "setmotorattr",
         .isSet = true,
         .params = {I("tiltscan"), I("tiltspeed"), I("panscan"), I("panspeed"), W("movehome", onoff), T("ptzalarmmask"),
                    I("alarmpresetindex")}},
        {.name = "getsmartrackattr", .keys = {"smartrack_enable", "smartrack_flag", "smartrack_mode"}},
        {.name = "setsmartrackattr", .isSet = true, .params = {I("smartrack_enable"), I("smartrack_mode")}},
        {.name = "getlightattr", .keys = {"light_enable"}},
        {.name = "setlightattr", .isSet = true, .params = {B("light_enable")}},
        {.name = "getptzcomattr", .keys = {"protocal", "address", "speed", "baud", "databit", "stopbit", "check"}},
        {.name = "setptzcomattr",
         .isSet = true,
         .params = {I("protocal"), I("address"), I("speed"), I("baud"), I("databit"), I("stopbit"), I("check")}},
        {.name = "getmotorrange", .keys = {"lenstype"}},

        // --- video encoding
        {.name = "getvideoattr", .keys = {"videomode", "vinorm", "profile", "maxchn"}},
        {.name = "setvideoattr", .isSet = true, .params = {I("profile"), W("vinorm", "P|N"), I("videomode")}},
        {.name = "getvencattr", .keys = kVencKeys, .selector = &kVencChn, .special = S::VencSize},
        {.name = "setvencattr", .isSet = true, .params = kVencParams, .selector = &kVencChn},

        // --- image
        {.name = "getimageattr", .keys = kImageKeys},
        {.name = "getircutattr", .keys = {"saradc_switch_value"}},
        {.name = "getinfrared", .keys = {"infraredstat"}},
        {.name = "getlampattrex", .keys = {"lamp_mode"}},
        {.name = "setimageattr",
         .isSet = true,
         .params = {I("brightness"), I("saturation"), I("sharpness"), I("contrast"), I("hue"), I("targety"),
                    W("flip", onoff), W("mirror", onoff), W("wdr", onoff), W("night", onoff), I("imgmode"),
                    I("image_type", "display_mode"), X("default", K::Word, "on")},
         .special = S::ImageSet},
        {.name = "setircutattr", .isSet = true, .params = {I("saradc_switch_value")}},
        {.name = "setinfrared", .isSet = true, .params = {W("infraredstat", "auto|open|close")}},
        {.name = "setlampattrex", .isSet = true, .params = {I("lamp_mode")}},

        // --- time
        {.name = "getntpattr", .keys = {"ntpenable", "ntpserver", "ntpinterval"}},
        {.name = "setntpattr", .isSet = true, .params = {I("ntpenable"), T("ntpserver"), I("ntpinterval")}},
        {.name = "getservertime", .keys = {"time", "timeZone", "dstmode"}, .special = S::ServerTime},
        {.name = "setservertime",
         .isSet = true,
         .params = {X("time", K::Time), T("timezone", "timeZone"), W("dstmode", onoff)},
         .special = S::SetTime},

        // --- cover regions
        {.name = "getcover",
         .keys = {"show_{}", "color_{}", "x_{}", "y_{}", "w_{}", "h_{}"},
         .statePrefix = "cover.",
         .selector = &kCoverRegion},
        {.name = "setcover",
         .isSet = true,
         .params = {I("show", "show_{}"), T("color", "color_{}"), I("x", "x_{}"), I("y", "y_{}"), I("w", "w_{}"),
                    I("h", "h_{}")},
         .statePrefix = "cover.",
         .selector = &kCoverRegion},

        // --- alarms and linkage
        {.name = "getmdalarm", .keys = {"md_{}"}, .selector = &kAlarm},
        {.name = "setmdalarm", .isSet = true, .params = {W("switch", onoff, "md_{}")}, .selector = &kAlarm},
        {.name = "getsmdattr", .keys = {"smd_enable"}},
        {.name = "setsmdattr", .isSet = true, .params = {I("smd_enable")}},
        {.name = "getsmdex", .keys = {"smd_rect", "smd_gthresh"}},
        {.name = "setsmdex", .isSet = true, .params = {I("smd_rect"), I("smd_gthresh")}},
        {.name = "getaudioalarmattr", .keys = {"aa_enable", "aa_value"}},
        {.name = "setaudioalarmattr", .isSet = true, .params = {I("aa_enable"), I("aa_value")}},
        {.name = "getrelayattr", .keys = {"relay_time"}},
        {.name = "setrelayattr", .isSet = true, .params = {I("time", "relay_time")}},
        {.name = "getalarmsnapattr", .keys = {"snap_count"}},
        {.name = "setalarmsnapattr", .isSet = true, .params = {I("snap_count")}},
        {.name = "getalarmsoundattr", .keys = {"sound_type", "sound_time"}},
        {.name = "setalarmsoundattr", .isSet = true, .params = {I("sound_type"), I("sound_time")}},
        {.name = "getscheduleex", .keys = kWeekKeys, .statePrefix = "{}.", .selector = &kSchedule},
        {.name = "setscheduleex", .isSet = true, .params = WeekParams(), .statePrefix = "{}.", .selector = &kSchedule},

        // --- scheduled tasks
        {.name = "gettimerreboot", .keys = {"sr_enable", "sr_day", "sr_clock", "sr_hour"}},
        {.name = "settimerreboot", .isSet = true, .params = {I("sr_enable"), I("sr_day"), I("sr_hour")}},
        {.name = "getsnaptimerattrex", .keys = {"as_snap_interval", "as_snap_enable"}},
        {.name = "getsnaptimerattr", .keys = {"as_snap_interval", "as_snap_enable"}},
        {.name = "setsnaptimerattrex",
         .isSet = true,
         .params = {I("as_interval", "as_snap_interval"), I("as_enable", "as_snap_enable")},
         .selector = &kSnapType},
        {.name = "setsnaptimerattr",
         .isSet = true,
         .params = {I("as_interval", "as_snap_interval"), I("as_enable", "as_snap_enable")},
         .selector = &kSnapType},
        {.name = "getplanrecattr", .keys = {"planrec_enable", "planrec_chn", "planrec_time"}},
        {.name = "setplanrecattr", .isSet = true, .params = {I("planrec_enable"), I("planrec_chn"), I("planrec_time")}},

        // --- camera user
        {.name = "setuserattr",
         .isSet = true,
         .params = {X("at_username", K::Text), X("at_newname", K::Text), X("at_password", K::Text)},
         .special = S::UserAttr},
    };
}

#define KY_WEEK_N "NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN"
#define KY_WEEK_P "PPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPP"

// A fresh camera. Identity and addresses are meant to be overridden by the
// emulator's start-up (bind address, serial) where they matter.
const std::vector<Default> kDefaults = {
    // identity and versions
    {"name", "KY7200-EMU-000001"},
    {"devtype", "KY7200"},
    {"model", "KY7200"},
    {"hardVersion", "V1.0"},
    {"softVersion", "V7.2.0.20240115"},
    {"webVersion", "V3.1.8"},
    {"rs485Version", "V1.0.3"},
    {"startdate", "2024-01-15 08:00:00"},
    {"stream_num", "0"},
    {"upnpstatus", "off"},
    {"facddnsstatus", "off"},
    {"th3ddnsstatus", "off"},
    {"sdstatus", "Ready"},
    {"sdfreespace", "12000"},
    {"sdtotalspace", "15000"},
    // network
    {"ip", "192.168.1.88"},
    {"netmask", "255.255.255.0"},
    {"gateway", "192.168.1.1"},
    {"macaddress", "00:12:34:56:78:9A"},
    {"dhcpflag", "off"},
    {"dnsstat", "0"},
    {"fdnsip", "8.8.8.8"},
    {"sdnsip", "8.8.4.4"},
    {"networktype", "lan"},
    {"httpport", "80"},
    {"rtspport", "554"},
    {"rtmpport", "1935"},
    {"rtsp_aenable", "1"},
    // wireless and scan list
    {"wf_enable", "0"},
    {"wf_ssid", ""},
    {"wf_auth", "3"},
    {"wf_key", ""},
    {"wf_enc", "1"},
    {"wf_mode", "0"},
    {"chkres", "0"},
    {"waccess_points", "3"},
    {"wessid[0]", "HomeNet"},
    {"wrssi[0]", "-45"},
    {"wauth[0]", "WPA2-PSK"},
    {"wenc[0]", "AES"},
    {"wchannel[0]", "6"},
    {"wnet[0]", "Infra"},
    {"wessid[1]", "Office Guest"},
    {"wrssi[1]", "-67"},
    {"wauth[1]", "WPA-PSK"},
    {"wenc[1]", "TKIP"},
    {"wchannel[1]", "11"},
    {"wnet[1]", "Infra"},
    {"wessid[2]", "Caf\xC3\xA9-Lager"},
    {"wrssi[2]", "-80"},
    {"wauth[2]", "None"},
    {"wenc[2]", "AES"},
    {"wchannel[2]", "1"},
    {"wnet[2]", "Infra"},
    // DDNS, UPnP
    {"d3th_enable", "0"},
    {"d3th_service", "0"},
    {"d3th_uname", ""},
    {"d3th_passwd", ""},
    {"d3th_domain", ""},
    {"upm_enable", "0"},
    {"our_enable", "0"},
    {"our_server", "ddns.example.net"},
    {"our_port", "80"},
    {"our_uname", ""},
    {"our_passwd", ""},
    {"our_domain", ""},
    {"our_interval", "60"},
    {"interip", "203.0.113.25"},
    // ONVIF, GB28181
    {"ov_enable", "1"},
    {"ov_port", "8080"},
    {"ov_authflag", "1"},
    {"ov_forbitset", "0"},
    {"ov_subchn", "12"},
    {"ov_snapchn", "11"},
    {"ov_nvctype", "0"},
    {"gb_enable", "0"},
    {"gb_svrid", "34020000002000000001"},
    {"gb_svrip", "192.168.1.100"},
    {"gb_svrport", "5060"},
    {"gb_devid", "34020000001320000001"},
    {"gb_devport", "5060"},
    {"gb_devpwd", "12345678"},
    {"gb_alarmid", "34020000001340000001"},
    {"gb_heartcycle", "60"},
    {"gb_heartcount", "3"},
    {"gb_regtime", "3600"},
    // cellular
    {"g4_runmode", "0"},
    {"g4_simcard", "1"},
    {"g4_status", "0"},
    {"g4_quality", "24"},
    {"g4_authtype", "0"},
    {"g4_ver", "EC200A-CN-V1.0"},
    {"g4_mcc", "460"},
    {"g4_mnc", "00"},
    {"g4_carrier", "CHINA MOBILE"},
    {"g4_apn", ""},
    {"g4_username", ""},
    {"g4_password", ""},
    {"g4_imei", "861234567890123"},
    {"g4_iccid", "89860012345678901234"},
    // P2P, cloud, Tmall
    {"kyp2p_enable", "1"},
    {"kyp2p_mode", "0"},
    {"kyp2p_uid", "KYEMU-000001-ABCDE"},
    {"xqp2p_enable", "1"},
    {"xqp2p_mode", "0"},
    {"xqp2p_uid", "XQEMU-000001-ABCDE"},
    {"cloud_enable", "0"},
    {"tmall_flag", "1"},
    {"tmall_enable", "0"},
    // audio
    {"aeswitch_1", "1"},
    {"aeformat_1", "g711a"},
    {"aeswitch_2", "1"},
    {"aeformat_2", "g711a"},
    {"aeswitch_3", "0"},
    {"aeformat_3", "g711a"},
    {"volume", "80"},
    {"aec", "0"},
    {"denoise", "0"},
    {"volin_type", "1"},
    {"ao_volume", "90"},
    // OSD: region 0 time stamp, region 1 camera name
    {"overlay.x_0", "10"},
    {"overlay.y_0", "10"},
    {"overlay.w_0", "400"},
    {"overlay.h_0", "40"},
    {"overlay.show_0", "1"},
    {"overlay.place_0", "0"},
    {"overlay.name_0", ""},
    {"overlay.x_1", "900"},
    {"overlay.y_1", "660"},
    {"overlay.w_1", "300"},
    {"overlay.h_1", "40"},
    {"overlay.show_1", "1"},
    {"overlay.place_1", "3"},
    {"overlay.name_1", "IP Camera"},
    // PTZ, RS-485, lens
    {"panscan", "1"},
    {"tiltscan", "1"},
    {"panspeed", "0"},
    {"tiltspeed", "0"},
    {"movehome", "on"},
    {"ptzalarmmask", "off"},
    {"alarmpresetindex", "1"},
    {"smartrack_enable", "0"},
    {"smartrack_flag", "1"},
    {"smartrack_mode", "0"},
    {"light_enable", "1"},
    {"protocal", "0"},
    {"address", "1"},
    {"speed", "32"},
    {"baud", "9600"},
    {"databit", "8"},
    {"stopbit", "1"},
    {"check", "0"},
    {"lenstype", "0"},
    // video: mode 41 is 1920x1080 + 640x352
    {"videomode", "41"},
    {"vinorm", "P"},
    {"profile", "1"},
    {"maxchn", "2"},
    {"bps_1", "4096"},
    {"fps_1", "25"},
    {"gop_1", "50"},
    {"brmode_1", "0"},
    {"imagegrade_1", "1"},
    {"bps_2", "1024"},
    {"fps_2", "25"},
    {"gop_2", "50"},
    {"brmode_2", "1"},
    {"imagegrade_2", "1"},
    // image
    {"display_mode", "1"},
    {"brightness", "50"},
    {"saturation", "128"},
    {"sharpness", "50"},
    {"contrast", "50"},
    {"hue", "50"},
    {"wdr", "off"},
    {"wdrvalue", "0"},
    {"night", "off"},
    {"shutter", "0"},
    {"flash_shutter", "0"},
    {"flip", "off"},
    {"mirror", "off"},
    {"gc", "0"},
    {"ae", "1"},
    {"targety", "128"},
    {"noise", "0"},
    {"gamma", "1"},
    {"aemode", "0"},
    {"imgmode", "0"},
    {"ratioslope", "0"},
    {"histoffset", "0"},
    {"defag", "0"},
    {"saradc_switch_value", "512"},
    {"infraredstat", "auto"},
    {"lamp_mode", "0"},
    // time
    {"ntpenable", "1"},
    {"ntpserver", "pool.ntp.org"},
    {"ntpinterval", "1"},
    {"timeZone", "Asia/Hong_Kong"},
    {"dstmode", "off"},
    // cover regions 1..4
    {"cover.show_{}", "0", "1|2|3|4"},
    {"cover.color_{}", "000000", "1|2|3|4"},
    {"cover.x_{}", "0", "1|2|3|4"},
    {"cover.y_{}", "0", "1|2|3|4"},
    {"cover.w_{}", "0", "1|2|3|4"},
    {"cover.h_{}", "0", "1|2|3|4"},
    // alarms
    {"md_alarm_type", "off"},
    {"md_snap_switch", "off"},
    {"md_record_switch", "off"},
    {"md_relay_switch", "off"},
    {"md_preset_switch", "off"},
    {"md_sound_switch", "off"},
    {"smd_enable", "0"},
    {"smd_rect", "0"},
    {"smd_gthresh", "50"},
    {"aa_enable", "0"},
    {"aa_value", "50"},
    {"relay_time", "5"},
    {"snap_count", "1"},
    {"sound_type", "0"},
    {"sound_time", "10"},
    {"md.week{}", KY_WEEK_P, "0|1|2|3|4|5|6"},
    {"snap.week{}", KY_WEEK_N, "0|1|2|3|4|5|6"},
    {"plan.week{}", KY_WEEK_P, "0|1|2|3|4|5|6"},
    // scheduled tasks
    {"sr_enable", "0"},
    {"sr_day", "7"},
    {"sr_clock", "0"},
    {"sr_hour", "3"},
    {"as_snap_interval", "60"},
    {"as_snap_enable", "0"},
    {"planrec_enable", "0"},
    {"planrec_chn", "11"},
    {"planrec_time", "600"},
    // the emulator's own settings
    {"emu.user", "admin"},
    {"emu.password", "tovel"},
    {"emu.sd_delay_ms", "0"},
    {"emu.clock_offset_s", "28800"},
    {"emu.syslog",
     "2024-01-15 08:00:00 system start\n"
     "2024-01-15 08:00:03 network up, ip 192.168.1.88\n"
     "2024-01-15 08:00:05 sd card ready\n"},
};

#undef KY_WEEK_N
#undef KY_WEEK_P

}   // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = BuildCommands();
    return commands;
}

const Command* FindCommand(std::string_view name) {
    for (const auto& c : Commands())
        if (c.name == name) return &c;
    return nullptr;
}

const std::vector<Default>& Defaults() { return kDefaults; }

namespace {

struct Size {
    int w, h;
};
// Resolution index -> size; indices 3, 4 and 5 differ between 50 and 60 Hz.
const Size kResolution[] = {{640, 480},  {320, 240},   {160, 112},   {704, 576},  {352, 288},   {176, 144},
                            {1280, 720}, {640, 352},   {320, 176},   {1280, 960}, {1920, 1080}, {1536, 1536},
                            {768, 768},  {800, 448},   {2304, 1296}, {1152, 648}, {2560, 1440}, {2560, 1920},
                            {800, 600},  {3840, 2160}, {640, 360},   {2880, 1620}};
const Size kResolution60[] = {{704, 480}, {352, 240}, {176, 120}};   // indices 3..5

struct Mode {
    int mode, first, second;
};
const Mode kVideoModes[] = {
    {17, 0, 1},    {18, 0, 1},   {19, 0, 2},    {20, 1, 1},    {21, 1, 1},    {22, 1, 2},   {24, 2, 1},
    {25, 2, 2},    {32, 6, 8},   {33, 7, 7},    {34, 7, 8},    {35, 6, 3},    {36, 6, 4},   {40, 10, 10},
    {41, 10, 7},   {42, 10, 8},  {43, 7, 7},    {44, 7, 8},    {45, 10, 3},   {46, 10, 4},  {47, 10, 1},
    {48, 10, 6},   {49, 10, 20}, {51, 9, 0},    {52, 9, 1},    {53, 0, 0},    {54, 0, 1},   {55, 9, 3},
    {56, 9, 4},    {61, 11, 12}, {62, 12, 12},  {63, 14, 13},  {64, 14, 7},   {65, 10, 13}, {66, 10, 7},
    {67, 14, 6},   {68, 14, 20}, {81, 16, 13},  {82, 16, 7},   {83, 16, 10},  {84, 16, 20}, {85, 16, 6},
    {101, 17, 18}, {102, 17, 0}, {111, 21, 13}, {112, 19, 10}, {121, 19, 10}, {122, 19, 6}, {123, 19, 7}};

}   // namespace

void VideoModeSize(int mode, bool pal, int stream, int* width, int* height) {
    int index = stream == 1 ? 6 : 7;
    for (const auto& m : kVideoModes)
        if (m.mode == mode) index = stream == 1 ? m.first : m.second;
    Size s = (!pal && index >= 3 && index <= 5) ? kResolution60[index - 3] : kResolution[index];
    *width = s.w;
    *height = s.h;
}

std::string Expand(std::string_view tmpl, std::string_view token) {
    std::string out;
    out.reserve(tmpl.size() + token.size());
    for (size_t i = 0; i < tmpl.size(); ++i) {
        if (tmpl[i] == '{' && i + 1 < tmpl.size() && tmpl[i + 1] == '}') {
            out += token;
            ++i;
        } else {
            out += tmpl[i];
        }
    }
    return out;
}

std::string CommandTableMarkdown() {
    std::ostringstream md;
    md << "# Emulated camera commands\n\n"
          "What `kycam-emulator` answers on `/cgi-bin/ky7200/param.cgi` (and "
          "`/web/cgi-bin/...`). `{}` stands for the selector's index; state keys "
          "carry the prefix shown. Generated from `tools/kycam-emulator/CgiTable.cpp` "
          "(`emu::table::CommandTableMarkdown`).\n\n"
          "- Replies: one `var key=\"text\";\\r\\n` line per key (`var key=123;` for "
          "integers); scan-list keys too (`var wessid[1]=\"...\";`). Sets add "
          "`[Succeed]set ok.`; sdfrmt/sdstop answer `var result=\"Succeed\";`.\n"
          "- Several `cmd=` form one group, run in order. An unknown command or "
          "parameter, a missing selector, or a value of the wrong form (number, "
          "on/off word, address, 48 P/N flags, time text, text with control "
          "characters or over 127 bytes) fails the whole group with `[Error] ...` "
          "(HTTP 200) and changes nothing.\n"
          "- Values are percent-decoded (`+` is a blank; `%` without two hex digits "
          "stays). A key missing from the state is left out of the reply.\n"
          "- Emulator keys: `emu.user`/`emu.password` (changed by setuserattr), "
          "`emu.sd_delay_ms`, `emu.syslog`, `emu.clock_offset_s` (or a fixed `time`), `emu.fail_cmd` (a command "
          "name the camera refuses).\n\n"
          "| Command | Selector | Get: reply keys / Set: `-param` → key |\n"
          "|---|---|---|\n";
    for (const auto& c : Commands()) {
        md << "| " << c.name << " | ";
        if (c.selector) {
            md << '-' << c.selector->name << '=';
            for (size_t i = 0; i < c.selector->values.size(); ++i)
                md << (i ? "\\|" : "") << c.selector->values[i].value;
        }
        md << " | ";
        if (!c.statePrefix.empty()) md << "(state `" << c.statePrefix << "`) ";
        bool first = true;
        for (auto k : c.keys) {
            md << (first ? "" : ", ") << k;
            first = false;
        }
        for (const auto& p : c.params) {
            md << (first ? "" : ", ") << '-' << p.name;
            if (!p.key.empty() && p.key != p.name) md << "→" << p.key;
            first = false;
        }
        switch (c.special) {
            case Special::ServerTime: md << " (time runs)"; break;
            case Special::VencSize: md << " (width/height from the video mode)"; break;
            case Special::WifiScan:
                md << "waccess_points, wessid[i], wrssi[i], wauth[i], wenc[i], wchannel[i], wnet[i]";
                break;
            case Special::WifiCheck: md << " → answers wf_ssid, sets chkres"; break;
            case Special::SdFormat: md << "answers Succeed after emu.sd_delay_ms"; break;
            case Special::SdStop: md << "answers Succeed after emu.sd_delay_ms; card out"; break;
            case Special::CleanLog: md << "empties emu.syslog"; break;
            case Special::ImageSet: md << " (-default=on restores and answers the image keys)"; break;
            case Special::SetTime: md << " (-time moves the clock)"; break;
            case Special::UserAttr: md << " → emu.user, emu.password"; break;
            case Special::None: break;
        }
        md << " |\n";
    }
    md << "\n`/cgi-bin/ky7200/getvencattr.cgi?-chn=11|12` answers as getvencattr.\n";
    return md.str();
}

}   // namespace emu::table
