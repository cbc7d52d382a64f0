// The emulated camera's SDK service: the input is a request head and body as
// a client sends them. Whatever is asked, the answer is a plan the server can
// carry out; a talk body is fed in pieces of the size given by the last byte.
#include "fuzz/FuzzSupport.h"
#include "tools/kycam-emulator/HttpParse.h"
#include "tools/kycam-emulator/SdkService.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view in = FuzzText(data, size);
    emu::HeadError err;
    const size_t end = emu::FindHeadEnd(in, &err);
    emu::RequestHead head;
    if (end == 0 || emu::ParseRequestHead(in.substr(0, end), &head) != emu::HeadError::None) return 0;
    if (!emu::SdkService::Owns(head.path)) return 0;
    // A long-poll is held up to a second: only immediate polls are run.
    const auto q = emu::ParseQuery(head.query);
    if (head.path == "/sdk/events" && emu::QueryValue(q, "wait").value_or("0") != "0") return 0;
    emu::CameraState state;
    emu::SdkService service(state);
    emu::Action a = service.Handle(head, [] {});
    if (a.kind == emu::Action::Kind::Async) a = emu::Action::Reply(a.work());
    if (a.kind == emu::Action::Kind::ReadBody) {
        const std::string_view body = in.substr(end);
        const size_t piece = size ? data[size - 1] % 64 + 1 : 1;
        for (size_t i = 0; i < body.size(); i += piece) a.sink->Feed(body.substr(i, piece));
        a = a.sink->Finish(body.size() == a.bodyLength);
    }
    if (a.kind == emu::Action::Kind::Reply) {
        FUZZ_CHECK(a.reply.bytes.rfind("HTTP/1.1 ", 0) == 0 || a.reply.silent);
        if (a.reply.afterSent) a.reply.afterSent();
    }
    return 0;
}
