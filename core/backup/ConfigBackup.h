#pragma once
// A camera's whole configuration as one JSON document, written by a backup
// and taken back by a restore (kycamctl backup/restore and the device
// information page):
//
//   {"camera": "HOST:PORT",
//    "pages": {"net": {FIELD: VALUE...}, "venc": {...}, "venc@1": {...}, ...},
//    "md-area": [{"area": 1, "enable": 1, "sensitivity": 50, "x": 0, ...}, ...]}
//
// Per-stream pages are named PAGE (stream 0) and PAGE@1. A restore checks
// the whole document before it sends anything, then writes page by page
// (read, merge the document's fields, validate, write).
#include <nlohmann/json.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/sdk/KySdk.h"

namespace ky::backup {

using Json = nlohmann::ordered_json;

// A field, page or document that cannot be taken; what() says which and why.
struct DocumentError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Camera {
    std::string host;
    uint16_t port = 80;
    std::string user;
    std::string password;
    int timeoutMs = 3000;
    cgi::PageOptions page;
};

// A zero-filled record buffer of a page's size, aligned for its integers.
struct RecordBuffer {
    explicit RecordBuffer(size_t size) : words((size + 3) / 4 + 1, 0) {}
    void* data() { return words.data(); }
    std::vector<int32_t> words;
};

// How far an exchange got.
enum class Reach { Ok, NoConnection, Refused };

// What a failed page exchange says ("ok" for None).
const char* FailureText(cgi::Failure f);

// A record as one JSON object of its fields (lists as arrays, texts repaired
// to UTF-8).
Json RecordToJson(const cgi::RecordInfo& r, const void* rec);
// One "name" or "name[i]" assignment from text; throws DocumentError.
void AssignField(const cgi::PageDesc& page, void* rec, const std::string& lhs, const std::string& value);
// Every field of obj (strings or whole numbers); read-only ones are skipped
// when skipReadOnly, else refused. Throws DocumentError.
void AssignJson(const cgi::PageDesc& page, void* rec, const Json& obj, bool skipReadOnly);

// The four motion-detection areas, through one SDK login; *why says what
// failed.
using MdAreas = std::array<MdArea, 4>;
Reach ReadMdAreas(const Camera& camera, MdAreas& areas, std::string* why);
// Writes the areas (each names itself); the first refused one ends it.
Reach WriteMdAreas(const Camera& camera, std::span<const MdArea> areas, std::string* why);
// Sets one field of an area by name within what the camera takes; the
// reason when the name or value is refused.
const char* SetMdAreaField(MdArea& area, const std::string& name, int64_t value);
// The fields by name, in the order printed.
constexpr const char* kMdAreaFields[] = {"enable", "sensitivity", "x", "y", "w", "h"};
int32_t MdAreaField(const MdArea& area, const std::string& name);

// One page of a backup or restore ("venc@1", "md-area") and its result:
// "ok" or why not.
struct Step {
    std::string name;
    std::string result;
    bool ok = false;
};

// Called on the working thread after each step with the steps done and the
// steps there are.
using Progress = std::function<void(size_t done, size_t total)>;

struct BackupResult {
    bool noConnection = false;   // nothing could be read: no document
    std::string document;        // the JSON text, ending in a line end
    std::vector<Step> steps;
};
// Reads every page (both streams of per-stream pages) and the areas.
BackupResult Backup(const Camera& camera, const Progress& progress = {});

// The document in text, with every page and area checked as a restore would
// take it; throws DocumentError before anything is sent.
Json CheckDocument(const std::string& text);

struct RestoreResult {
    bool noConnection = false;   // the camera could not be reached: stopped there
    std::vector<Step> steps;     // one per writable page, then "md-area"
};
// Writes a checked document back.
RestoreResult Restore(const Camera& camera, const Json& doc, const Progress& progress = {});

// "name: result" lines.
std::string StepLines(const std::vector<Step>& steps);

}   // namespace ky::backup
