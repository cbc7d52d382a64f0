#pragma once
#include <cstdint>

struct P2pAttr {
    int32_t family;   // 1: the maker's own P2P commands, 0: the other family
    int32_t enable;
    int32_t mode;
    char uid[32];
};

struct CloudAttr {
    int32_t reserved;
    int32_t cloud_enable;
};

struct TmallAttr {
    int32_t tmall_flag;   // 0: the camera does not support it
    int32_t tmall_enable;
};
