#pragma once
// DDNS (the maker's own and an outside provider's), UPnP and the internet address.
#include <cstdint>

struct DdnsAttr {
    int32_t d3th_enable;
    int32_t d3th_service;   // provider index 0-3, -1 none chosen
    char d3th_uname[64];
    char d3th_passwd[64];
    char d3th_domain[64];
    int32_t upm_enable;
    int32_t our_enable;
    int32_t our_port;
    int32_t our_interval;   // reported, never sent
    char our_server[64];
    char our_uname[64];
    char our_passwd[64];
    char our_domain[64];   // never reported, sent as held
};

struct InternetIpAttr {
    char interip[32];
};
