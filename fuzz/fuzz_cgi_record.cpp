// Reply-to-record conversion: the input is "REQUEST\nREPLY", REQUEST picking
// the command whose request text is its longest prefix, REPLY held as the
// transport holds it. The record has exactly its size and every text field
// stays terminated within its width.
#include <cstring>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "fuzz/FuzzSupport.h"

using namespace ky::cgi;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in = FuzzText(data, size);
    const std::string_view request = in.substr(0, in.find('\n'));
    const CommandDesc* cmd = nullptr;
    size_t best = 0;
    for (const CommandDesc* c : AllCommands()) {
        if (!c->record || c->keys.empty() || !c->request) continue;
        const std::string_view r = std::string_view(c->request).substr(0, std::string_view(c->request).find('%'));
        if (r.size() > best && request.rfind(r, 0) == 0) cmd = c, best = r.size();
    }
    if (cmd == nullptr || request.size() == in.size()) return 0;
    std::vector<char> reply(cmd->exchangeSize, '\0');
    std::memcpy(reply.data(), data + request.size() + 1, std::min<size_t>(size - request.size() - 1, reply.size() - 1));
    std::vector<char> rec(cmd->record->size, '\0');
    (void)CCgiClient().CheckReply(reply.data());
    ParseReply(*cmd, reply.data(), cmd->exchangeSize, rec.data());
    for (const FieldInfo& f : cmd->record->fields)
        for (uint32_t e = 0; e < f.count; ++e) {
            if (f.type == FieldType::Text) FUZZ_CHECK(rec[f.offset + e * f.size + f.size - 1] == '\0');
            (void)FieldToText(f, rec.data(), e);
        }
    return 0;
}
