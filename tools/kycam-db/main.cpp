// kycam-db: creates db.dat and manages its tool users. The tool itself never
// writes USERINFO; installation scripts call this command instead.
#include "core/services/AppDir.h"
#include "core/services/Version.h"
#include "core/store/LocalStore.h"
#include "core/store/StoreAdmin.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The login dialog accepts passwords of 8 to 31 characters (UTF-16 units, as
// the dialog's text box counts them); others could never log in.
constexpr size_t kMinPassword = 8;
constexpr size_t kMaxPassword = 31;

const char kUsage[] =
    "Usage:\n"
    "  kycam-db create [--db PATH] [--def-user U] [--def-password P] [--def-stream 0|1]\n"
    "      Create a new database with one row of default camera credentials\n"
    "      (default admin / admin / 0). An existing file is never overwritten.\n"
    "  kycam-db user [--db PATH] NAME PASSWORD\n"
    "      Add a tool user or replace its password (8 to 31 characters).\n"
    "      A PASSWORD of \"-\" is read from the first line of standard input.\n"
    "  kycam-db show [--db PATH]\n"
    "      Show the default credentials and the tool user names (never passwords).\n"
    "  kycam-db --help | --version\n"
    "\n"
    "PATH defaults to the tool's db.dat: beside this program in a build tree,\n"
    "$XDG_DATA_HOME/kycameratool/db.dat when installed (user and show first copy\n"
    "the installed template there when it is missing). \"--\" ends the options,\n"
    "so that a NAME or PASSWORD may begin with \"-\".\n"
    "Exit status: 0 done, 1 failed, 2 usage error.\n";

int UsageError(const std::string& text) {
    std::cerr << "kycam-db: " << text << "\n" << kUsage;
    return kExitUsage;
}

int Failure(const std::string& text) {
    std::cerr << "kycam-db: " << text << "\n";
    return kExitFailure;
}

// Characters as the login dialog counts them: UTF-16 code units.
size_t Utf16Units(const std::string& s) {
    size_t units = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) == 0x80) continue;   // continuation byte
        units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

struct Args {
    std::string db;
    std::vector<std::string> positional;
    std::string defUser = "admin";
    std::string defPassword = "admin";
    std::string defStream = "0";
};

// Options may come anywhere after the command; "--" ends them. Both
// "--opt VALUE" and "--opt=VALUE" are accepted.
bool ParseArgs(const std::vector<std::string>& argv, bool createOptions, Args& args, std::string& problem) {
    bool optionsEnded = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            if (!optionsEnded && a.size() > 1 && a[0] == '-') {
                problem = "unknown option " + a;
                return false;
            }
            args.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a, value;
        bool hasValue = false;
        size_t eq = a.find('=');
        if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            hasValue = true;
        }
        std::string* target = nullptr;
        if (name == "--db")
            target = &args.db;
        else if (createOptions && name == "--def-user")
            target = &args.defUser;
        else if (createOptions && name == "--def-password")
            target = &args.defPassword;
        else if (createOptions && name == "--def-stream")
            target = &args.defStream;
        if (!target) {
            problem = "unknown option " + name;
            return false;
        }
        if (!hasValue) {
            if (i + 1 >= argv.size()) {
                problem = name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        *target = value;
    }
    return true;
}

int RunCreate(const Args& args) {
    if (!args.positional.empty()) return UsageError("create takes no arguments besides options");
    if (args.defStream != "0" && args.defStream != "1") return UsageError("--def-stream must be 0 or 1");
    std::string error;
    if (CreateDatabase(args.db, args.defUser, args.defPassword, args.defStream == "1" ? 1 : 0, &error) != 0)
        return Failure(error);
    std::cout << "created " << args.db << "\n";
    return kExitOk;
}

int RunUser(const Args& args) {
    if (args.positional.size() != 2) return UsageError("user needs NAME and PASSWORD");
    const std::string& name = args.positional[0];
    std::string password = args.positional[1];
    if (name.empty()) return UsageError("the user name is empty");
    if (password == "-") {
        if (!std::getline(std::cin, password)) return Failure("no password on standard input");
        if (!password.empty() && password.back() == '\r') password.pop_back();
    }
    const size_t length = Utf16Units(password);
    if (length < kMinPassword || length > kMaxPassword) return UsageError("the password must have 8 to 31 characters");
    std::string error;
    if (SetToolUser(args.db, name, password, &error) != 0) return Failure(error);
    std::cout << "user " << name << " stored in " << args.db << "\n";
    return kExitOk;
}

int RunShow(const Args& args) {
    if (!args.positional.empty()) return UsageError("show takes no arguments besides options");
    StoreSummary summary;
    std::string error;
    if (ReadStoreSummary(args.db, summary, &error) != 0) return Failure(error);
    std::cout << "database: " << args.db << "\n";
    if (summary.defaultRows == 0) {
        std::cout << "defaults: none (the tool uses admin / built-in password / stream 0)\n";
    } else {
        std::cout << "defaults: user \"" << summary.defUser << "\", password "
                  << (summary.defPasswordEmpty ? "empty" : "set") << ", stream \"" << summary.defStream << "\"";
        if (summary.defaultRows > 1) std::cout << " (first of " << summary.defaultRows << " rows)";
        std::cout << "\n";
    }
    std::cout << "users: " << summary.users.size() << "\n";
    for (const std::string& u : summary.users) std::cout << "  " << u << "\n";
    return kExitOk;
}

}   // namespace

int main(int argc, char** argv) {
    std::vector<std::string> rest(argv + (argc > 1 ? 2 : argc), argv + argc);
    if (argc < 2) return UsageError("no command");
    InitAppDir();
    const std::string command = argv[1];
    if (command == "--version") {
        std::cout << "kycam-db " << KyVersion() << "\n";
        return kExitOk;
    }
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return kExitOk;
    }
    for (const std::string& a : rest) {
        if (a == "--") break;
        if (a == "--help") {
            std::cout << kUsage;
            return kExitOk;
        }
    }

    Args args;
    std::string problem;
    if (command != "create" && command != "user" && command != "show") return UsageError("unknown command " + command);
    if (!ParseArgs(rest, command == "create", args, problem)) return UsageError(problem);
    if (args.db.empty()) {
        // The tool's own file: create needs only its folder, the others start
        // from the template as the tool does.
        if (!PrepareUserFiles(CurrentAppLayout(), command != "create"))
            return Failure("cannot prepare " + CurrentAppLayout().data);
        args.db = JoinPath(CurrentAppLayout().data, "db.dat");
    }
    if (command == "create") return RunCreate(args);
    if (command == "user") return RunUser(args);
    return RunShow(args);
}
