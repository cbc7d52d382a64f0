#include "core/backup/ConfigBackup.h"

#include <charconv>
#include <vector>

#include "core/services/Utf8.h"

namespace ky::backup {
namespace {

using cgi::FieldInfo;
using cgi::FieldType;
using cgi::PageDesc;

bool ParseIndex(const std::string& s, int& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// A page's commands against one camera.
class Pages {
public:
    explicit Pages(const Camera& c) : camera_(c), target_{c.host.c_str(), c.port, c.user.c_str(), c.password.c_str()} {}

    cgi::PageContext Context() const { return {&target_, camera_.timeoutMs}; }

    // Every get command of the page into rec; the first failure wins.
    cgi::Failure Read(const PageDesc& page, void* rec, int stream) const {
        cgi::PageOptions options = camera_.page;
        options.stream = stream;
        if (page.preset) page.preset(rec, options);
        for (const cgi::CommandDesc* c : page.gets)
            if (auto f = Run(*c, rec); f != cgi::Failure::None) return f;
        return cgi::Failure::None;
    }
    cgi::Failure Write(const PageDesc& page, void* rec) const {
        for (const cgi::CommandDesc* c : page.sets)
            if (auto f = Run(*c, rec); f != cgi::Failure::None) return f;
        return cgi::Failure::None;
    }

private:
    cgi::Failure Run(const cgi::CommandDesc& cmd, void* rec) const {
        cgi::Failure why = cgi::Failure::None;
        cgi::RunCommand(cmd, target_, rec, camera_.timeoutMs, &why);
        return why;
    }

    const Camera& camera_;
    cgi::Target target_;
};

// One SDK login for a read or write of the areas.
class Login {
public:
    explicit Login(const Camera& c) {
        static const int init = KY_SDK_Init();
        (void)init;
        handle_ = KY_SDK_LoginExt(c.host.c_str(), c.user.c_str(), c.password.c_str(), c.port, 5000, &error_);
    }
    ~Login() {
        if (handle_) KY_SDK_Logout(handle_);
    }
    Login(const Login&) = delete;
    Login& operator=(const Login&) = delete;
    KY_HANDLE Handle() const { return handle_; }
    Reach Failed(const Camera& c, std::string* why) const {
        *why = "login to " + c.host + ":" + std::to_string(c.port) + " failed" +
               (error_ == 2 ? " (user name or password)" : "");
        return error_ == 1 ? Reach::NoConnection : Reach::Refused;
    }

private:
    KY_HANDLE handle_ = 0;
    int error_ = 0;
};

// The field of a (const or not) area by name; null for an unknown name.
template <class Area>
auto MdField(Area& a, const std::string& name) -> decltype(&a.x) {
    if (name == "enable") return &a.enable;
    if (name == "sensitivity") return &a.sensitivity;
    if (name == "x") return &a.x;
    if (name == "y") return &a.y;
    if (name == "w") return &a.w;
    if (name == "h") return &a.h;
    return nullptr;
}

Json MdAreasToJson(const MdAreas& areas) {
    Json list = Json::array();
    for (const MdArea& a : areas) {
        Json j = {{"area", a.area}};
        for (const char* f : kMdAreaFields) j[f] = MdAreaField(a, f);
        list.push_back(j);
    }
    return list;
}

// Applies the document's areas to `areas` (as read from the camera).
void AssignMdAreas(const Json& list, MdAreas& areas) {
    if (!list.is_array()) throw DocumentError{"\"md-area\" must be an array"};
    for (const Json& j : list) {
        if (!j.is_object() || !j.contains("area") || !j["area"].is_number_integer() || j["area"].get<int64_t>() < 1 ||
            j["area"].get<int64_t>() > 4)
            throw DocumentError{"each md-area entry needs an \"area\" 1..4"};
        MdArea& a = areas[static_cast<size_t>(j["area"].get<int64_t>() - 1)];
        for (const auto& [name, value] : j.items()) {
            if (name == "area") continue;
            if (!value.is_number_integer()) throw DocumentError{"md-area " + name + " must be a whole number"};
            if (const char* refused = SetMdAreaField(a, name, value.get<int64_t>()))
                throw DocumentError{std::string("md-area: ") + refused};
        }
    }
}

std::string BackupKey(const PageDesc& page, int stream) {
    return stream == 0 ? std::string(page.name) : std::string(page.name) + "@" + std::to_string(stream);
}

std::pair<const PageDesc*, int> FromBackupKey(const std::string& key) {
    const auto at = key.find('@');
    const PageDesc* page = cgi::FindPage(key.substr(0, at));
    if (page == nullptr) throw DocumentError{"unknown page '" + key.substr(0, at) + "'"};
    int stream = 0;
    if (at != std::string::npos && (!ParseIndex(key.substr(at + 1), stream) || stream < 0 || stream >= page->streams))
        throw DocumentError{"bad stream in page name '" + key + "'"};
    return {page, stream};
}

}   // namespace

const char* FailureText(cgi::Failure f) {
    switch (f) {
        case cgi::Failure::Connect: return "could not connect";
        case cgi::Failure::Arguments: return "request could not be built";
        case cgi::Failure::Exchange: return "no valid reply";
        case cgi::Failure::Refused: return "the camera refused the request";
        case cgi::Failure::Broken: return "the reply was cut off or malformed";
        default: return "ok";
    }
}

Json RecordToJson(const cgi::RecordInfo& r, const void* rec) {
    Json j = Json::object();
    for (const FieldInfo& f : r.fields) {
        auto one = [&](uint32_t e) -> Json {
            const std::string t = cgi::FieldToText(f, rec, e);
            if (f.type == FieldType::Int) return std::stoi(t);
            return Utf8Repair(t);
        };
        if (f.count == 1) {
            j[f.name] = one(0);
        } else {
            Json a = Json::array();
            for (uint32_t e = 0; e < f.count; ++e) a.push_back(one(e));
            j[f.name] = a;
        }
    }
    return j;
}

void AssignField(const PageDesc& page, void* rec, const std::string& lhs, const std::string& value) {
    std::string name = lhs;
    uint32_t element = 0;
    bool indexed = false;
    if (const auto open = lhs.find('['); open != std::string::npos && lhs.back() == ']') {
        int idx = 0;
        if (!ParseIndex(lhs.substr(open + 1, lhs.size() - open - 2), idx) || idx < 0)
            throw DocumentError{"bad index in field '" + lhs + "'"};
        name = lhs.substr(0, open);
        element = static_cast<uint32_t>(idx);
        indexed = true;
    }
    const FieldInfo* f = page.record->Find(name);
    if (f == nullptr) throw DocumentError{"page '" + std::string(page.name) + "' has no field '" + name + "'"};
    if (f->readOnly) throw DocumentError{"field '" + name + "' is read-only"};
    if (f->count > 1 && !indexed) throw DocumentError{"field '" + name + "' is a list: use " + name + "[INDEX]"};
    // A text shown repaired (the camera's bytes are no UTF-8) and given back
    // unchanged keeps the camera's own bytes.
    if (f->type == FieldType::Text && element < f->count) {
        const std::string now = cgi::FieldToText(*f, rec, element);
        if (now != value && Utf8Repair(now) == value) return;
    }
    std::string why;
    if (!cgi::FieldFromText(*f, rec, value, &why, element)) throw DocumentError{"field '" + lhs + "': " + why};
}

void AssignJson(const PageDesc& page, void* rec, const Json& obj, bool skipReadOnly) {
    if (!obj.is_object()) throw DocumentError{"expected a JSON object of fields"};
    for (const auto& item : obj.items()) {
        const std::string& key = item.key();
        const Json& v = item.value();
        const FieldInfo* f = page.record->Find(key);
        if (f != nullptr && f->readOnly && skipReadOnly) continue;
        auto text = [&](const Json& x) -> std::string {
            if (x.is_string()) return x.get<std::string>();
            if (x.is_number_integer() || x.is_boolean()) return x.is_boolean() ? (x.get<bool>() ? "1" : "0") : x.dump();
            throw DocumentError{"field '" + key + "': value must be a string or a whole number"};
        };
        if (v.is_array()) {
            for (size_t i = 0; i < v.size(); ++i)
                AssignField(page, rec, key + "[" + std::to_string(i) + "]", text(v[i]));
        } else {
            AssignField(page, rec, key, text(v));
        }
    }
}

const char* SetMdAreaField(MdArea& area, const std::string& name, int64_t value) {
    int32_t* field = MdField(area, name);
    if (!field) return "md-area fields are enable, sensitivity, x, y, w and h";
    if (name == "enable" && value != 0 && value != 1) return "enable must be 0 or 1";
    if (name == "sensitivity" && (value < 1 || value > 100)) return "sensitivity must be 1 to 100";
    if (value < 0 || value > 65535) return "x, y, w and h must be 0 to 65535";
    *field = static_cast<int32_t>(value);
    return nullptr;
}

int32_t MdAreaField(const MdArea& area, const std::string& name) {
    const int32_t* field = MdField(area, name);
    return field ? *field : 0;
}

Reach ReadMdAreas(const Camera& camera, MdAreas& areas, std::string* why) {
    Login login(camera);
    if (login.Handle() == 0) return login.Failed(camera, why);
    for (int i = 0; i < 4; ++i) {
        areas[i] = MdArea{};
        areas[i].area = i + 1;
        if (KY_SDK_GetConfig(login.Handle(), KY_CFG_MDAREA, &areas[i], sizeof areas[i]) != 0) {
            *why = "the camera did not report motion-detection area " + std::to_string(i + 1);
            return Reach::Refused;
        }
    }
    return Reach::Ok;
}

Reach WriteMdAreas(const Camera& camera, std::span<const MdArea> areas, std::string* why) {
    Login login(camera);
    if (login.Handle() == 0) return login.Failed(camera, why);
    for (const MdArea& a : areas) {
        if (KY_SDK_SetConfig(login.Handle(), KY_CFG_MDAREA, &a, sizeof a) != 0) {
            *why = "the camera refused motion-detection area " + std::to_string(a.area);
            return Reach::Refused;
        }
    }
    return Reach::Ok;
}

BackupResult Backup(const Camera& camera, const Progress& progress) {
    BackupResult result;
    size_t total = 1;   // the areas
    for (const PageDesc* page : cgi::AllPages()) total += static_cast<size_t>(page->streams);
    size_t done = 0;
    auto step = [&](std::string name, std::string text) {
        const bool ok = text == "ok";
        result.steps.push_back({std::move(name), std::move(text), ok});
        if (progress) progress(++done, total);
    };
    Json doc = Json::object();
    doc["camera"] = camera.host + ":" + std::to_string(camera.port);
    Json pages = Json::object();
    const Pages client(camera);
    for (const PageDesc* page : cgi::AllPages()) {
        for (int stream = 0; stream < page->streams; ++stream) {
            RecordBuffer rec(page->record->size);
            const cgi::Failure f = client.Read(*page, rec.data(), stream);
            if (f == cgi::Failure::Connect) {
                result.noConnection = true;
                return result;
            }
            const std::string key = BackupKey(*page, stream);
            if (f == cgi::Failure::None) pages[key] = RecordToJson(*page->record, rec.data());
            step(key, FailureText(f));
        }
    }
    doc["pages"] = pages;
    MdAreas areas{};
    std::string why;
    if (ReadMdAreas(camera, areas, &why) == Reach::Ok) {
        doc["md-area"] = MdAreasToJson(areas);
        step("md-area", "ok");
    } else {
        step("md-area", why);
    }
    result.document = doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    return result;
}

Json CheckDocument(const std::string& text) {
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const std::exception& e) {
        throw DocumentError{e.what()};
    }
    if (!doc.is_object() || !doc.contains("pages") || !doc["pages"].is_object())
        throw DocumentError{"no \"pages\" object"};
    for (const auto& [name, fields] : doc["pages"].items()) {
        const auto [page, stream] = FromBackupKey(name);
        RecordBuffer probe(page->record->size);
        try {
            AssignJson(*page, probe.data(), fields, true);
        } catch (const DocumentError& e) {
            throw DocumentError{name + ": " + e.what()};
        }
    }
    if (doc.contains("md-area")) {
        MdAreas probe{};
        AssignMdAreas(doc["md-area"], probe);
    }
    return doc;
}

RestoreResult Restore(const Camera& camera, const Json& doc, const Progress& progress) {
    RestoreResult result;
    std::vector<std::pair<std::string, const Json*>> writable;
    for (const auto& [name, fields] : doc["pages"].items())
        if (!FromBackupKey(name).first->sets.empty()) writable.emplace_back(name, &fields);
    const bool withAreas = doc.contains("md-area");
    const size_t total = writable.size() + (withAreas ? 1 : 0);
    size_t done = 0;
    auto step = [&](std::string name, std::string text) {
        const bool ok = text == "ok";
        result.steps.push_back({std::move(name), std::move(text), ok});
        if (progress) progress(++done, total);
    };
    const Pages client(camera);
    for (const auto& [name, fields] : writable) {
        const auto [page, stream] = FromBackupKey(name);
        RecordBuffer rec(page->record->size);
        cgi::Failure f = client.Read(*page, rec.data(), stream);
        const char* invalid = nullptr;
        if (f == cgi::Failure::None) {
            AssignJson(*page, rec.data(), *fields, true);
            invalid = page->validate ? page->validate(rec.data(), client.Context()) : nullptr;
            if (!invalid) f = client.Write(*page, rec.data());
        }
        if (f == cgi::Failure::Connect) {
            result.noConnection = true;
            return result;
        }
        step(name, invalid ? invalid : FailureText(f));
    }
    if (withAreas) {
        MdAreas areas{};
        std::string why;
        Reach reach = ReadMdAreas(camera, areas, &why);
        if (reach == Reach::Ok) {
            AssignMdAreas(doc["md-area"], areas);
            reach = WriteMdAreas(camera, areas, &why);
        }
        step("md-area", reach == Reach::Ok ? "ok" : why);
    }
    return result;
}

std::string StepLines(const std::vector<Step>& steps) {
    std::string lines;
    for (const Step& s : steps) lines += s.name + ": " + s.result + "\n";
    return lines;
}

}   // namespace ky::backup
