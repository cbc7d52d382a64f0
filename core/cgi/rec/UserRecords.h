#pragma once
// Camera user account.

struct UserAttr {
    char newname[64];    // the new user name
    char username[64];   // the user name of the current login
    char password[64];   // the new password
};
