// A request object that writes down every member call web_request makes, and passes each on to
// a real object when it has one (otherwise it answers with the canned reply below).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/http_object.h"

class RecordingObject final : public HttpRequestObject {
public:
    explicit RecordingObject(std::unique_ptr<HttpRequestObject> real = nullptr) : real_(std::move(real)) {}

    std::vector<std::string> calls;
    // Where the calls are copied too, for an object web_request makes and releases itself.
    std::vector<std::string>* copy_to = nullptr;
    // Canned reply when there is no real object.
    std::string reply_body, reply_headers;
    int reply_status = 0;

    bool SetTimeouts(int a, int b, int c, int d) override {
        note("SetTimeouts(" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
             std::to_string(d) + ")");
        return !real_ || real_->SetTimeouts(a, b, c, d);
    }
    bool SetProxy(int setting, std::string_view server) override {
        note("SetProxy(" + std::to_string(setting) + "," + std::string(server) + ")");
        return !real_ || real_->SetProxy(setting, server);
    }
    bool SetCredentials(std::string_view user, std::string_view password, int flag) override {
        note("SetCredentials(" + std::string(user) + "," + std::string(password) + "," + std::to_string(flag) + ")");
        return !real_ || real_->SetCredentials(user, password, flag);
    }
    bool Open(std::string_view method, std::string_view url, bool async) override {
        note("Open(" + std::string(method) + "," + std::string(url) + "," + (async ? "true" : "false") + ")");
        return !real_ || real_->Open(method, url, async);
    }
    bool Option(int index, int value) override {
        note("Option(" + std::to_string(index) + "," + std::to_string(value) + ")");
        return !real_ || real_->Option(index, value);
    }
    bool SetRequestHeader(std::string_view name, std::string_view value) override {
        bool ok = !real_ || real_->SetRequestHeader(name, value);
        note("SetRequestHeader(" + std::string(name) + "," + std::string(value) + ")" + (ok ? "" : " refused"));
        return ok;
    }
    bool Send(std::string_view body, bool is_bytes) override {
        note(std::string("Send(") + (is_bytes ? "bytes:" : "text:") + std::string(body) + ")");
        return !real_ || real_->Send(body, is_bytes);
    }
    std::string ResponseBody() override {
        note("ResponseBody");
        return real_ ? real_->ResponseBody() : reply_body;
    }
    std::string GetAllResponseHeaders() override {
        note("GetAllResponseHeaders");
        return real_ ? real_->GetAllResponseHeaders() : reply_headers;
    }
    int Status() override {
        note("Status");
        return real_ ? real_->Status() : reply_status;
    }

private:
    void note(std::string call) {
        if (copy_to != nullptr) copy_to->push_back(call);
        calls.push_back(std::move(call));
    }
    std::unique_ptr<HttpRequestObject> real_;
};
