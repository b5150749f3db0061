#include "server/server.h"

#include <httplib.h>
#include <pthread.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "server/assets.h"
#include "server/upload.h"

namespace corvanta::server {
namespace {

using Json = nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kJson = "application/json";

struct ServeOptions {
    int port = 8080;
    std::string bind = "127.0.0.1";
    std::string settingsPath;
    size_t maxUploadMb = 64;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    double timeLimitS = 60;
    double queueWaitS = 10;
};

// At most `slots` estimates run at once, each on a thread of its own.  A
// request waits a while for a slot; an estimate past the time limit is
// answered as such, and its thread keeps the slot until it really ends, so
// abandoned work never piles up beyond the slots.
class EstimateGate {
public:
    EstimateGate(unsigned slots, double queueWaitS, double timeLimitS)
        : state_(std::make_shared<State>()), queueWait_(ToDuration(queueWaitS)), timeLimit_(ToDuration(timeLimitS)) {
        state_->free = slots;
    }

    UploadAnswer Run(std::function<UploadAnswer()> work) const {
        {
            std::unique_lock<std::mutex> lock(state_->m);
            if (!state_->cv.wait_for(lock, queueWait_, [&] { return state_->free > 0; }))
                return Busy("the server is busy with other estimates; try again in a moment");
            --state_->free;
        }
        auto task = std::make_shared<std::packaged_task<UploadAnswer()>>(std::move(work));
        std::future<UploadAnswer> answer = task->get_future();
        std::thread([task, state = state_] {
            (*task)();
            const std::lock_guard<std::mutex> lock(state->m);
            ++state->free;
            state->cv.notify_all();
        }).detach();
        if (answer.wait_for(timeLimit_) != std::future_status::ready)
            return Busy("the estimate took longer than the server's time limit of " +
                        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeLimit_).count()) +
                        " s; run it with the command line instead");
        return answer.get();
    }

    // Waits until every estimate has ended, at most `wait`; false when one still runs.
    bool Drain(unsigned slots, std::chrono::milliseconds wait) const {
        std::unique_lock<std::mutex> lock(state_->m);
        return state_->cv.wait_for(lock, wait, [&] { return state_->free >= slots; });
    }

private:
    struct State {
        std::mutex m;
        std::condition_variable cv;
        unsigned free = 0;
    };
    static std::chrono::milliseconds ToDuration(double s) {
        return std::chrono::milliseconds(static_cast<int64_t>(std::clamp(s, 0.0, 86400.0) * 1000));
    }
    static UploadAnswer Busy(std::string why) {
        UploadAnswer a;
        a.httpStatus = 503;
        a.error = std::move(why);
        return a;
    }
    std::shared_ptr<State> state_;
    std::chrono::milliseconds queueWait_, timeLimit_;
};

// JSON text of an error message; bytes of a request that are not UTF-8 become U+FFFD.
std::string ErrorJson(const std::string& why) {
    return Json{{"error", why}}.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

void SendError(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(ErrorJson(why), kJson);
}

std::optional<Model> ParseModel(std::string name, Model fallback) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.empty()) return fallback;
    if (name == "XR7") return Model::XR7;
    if (name == "K730") return Model::K730;
    return std::nullopt;
}

const char* ContentType(const std::string& path) {
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (path.ends_with(".css")) return "text/css; charset=utf-8";
    if (path.ends_with(".svg")) return "image/svg+xml";
    return "application/octet-stream";
}

// A request's body as it came: the bytes, or the parts of a form.  Read by
// the server's own receiver, so every content type is taken as it is (no
// query text parsed out of a body) and the size limit holds for chunked
// bodies too.
struct Body {
    std::string bytes;
    std::vector<httplib::MultipartFormData> parts;
    const httplib::MultipartFormData* Part(const std::string& name) const {
        for (const httplib::MultipartFormData& p : parts)
            if (p.name == name) return &p;
        return nullptr;
    }
};

// Reads the body; false and the status (400 or 413) when it cannot be read.
bool ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, size_t maxBytes, Body& body,
              int& status) {
    size_t total = 0;
    bool tooLarge = false;
    const auto count = [&](size_t n) {
        total += n;
        tooLarge = tooLarge || total > maxBytes;
        return !tooLarge;
    };
    bool ok = false;
    if (req.is_multipart_form_data()) {
        ok = reader(
            [&](const httplib::MultipartFormData& part) {
                body.parts.push_back(part);
                return body.parts.size() <= 1024;
            },
            [&](const char* data, size_t n) {
                if (!count(n) || body.parts.empty()) return false;
                body.parts.back().content.append(data, n);
                return true;
            });
    } else {
        ok = reader([&](const char* data, size_t n) {
            if (!count(n)) return false;
            body.bytes.append(data, n);
            return true;
        });
    }
    // A declared length above the limit is refused before the receiver sees a byte.
    const unsigned long long declared = std::strtoull(req.get_header_value("Content-Length").c_str(), nullptr, 10);
    status = tooLarge || declared > maxBytes ? 413 : 400;
    return ok && !tooLarge;
}

// One running server: its options, its default settings and its gate.
class Service {
public:
    Service(const ServeOptions& o, Model model, Json settings)
        : opt_(o), model_(model), settings_(std::move(settings)), gate_(o.jobs, o.queueWaitS, o.timeLimitS) {}
    void Install(httplib::Server& svr);
    bool Drain() const { return gate_.Drain(opt_.jobs, std::chrono::seconds(5)); }

private:
    // The settings of a request: the server's, then the request's over them, then `rate`.
    bool RequestSettings(const httplib::Request& req, const Body& body, std::string& settings, std::string& why) const;
    bool RequestModel(const httplib::Request& req, Model& model, std::string& why) const;
    UploadAnswer Estimate(std::string bytes, const std::string& kind, const std::string& settings, Model model) const;
    void PostEstimate(const httplib::Request& req, httplib::Response& res, const Body& body) const;
    void PostQuote(const httplib::Request& req, httplib::Response& res, const Body& body) const;

    ServeOptions opt_;
    Model model_;
    Json settings_;
    EstimateGate gate_;
};

bool Service::RequestSettings(const httplib::Request& req, const Body& body, std::string& settings,
                              std::string& why) const {
    Json merged = settings_;
    std::string text = req.get_param_value("settings");
    if (const httplib::MultipartFormData* part = body.Part("settings")) text = part->content;
    if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
        const Json own = Json::parse(text, nullptr, false);
        if (own.is_discarded() || !own.is_object()) {
            why = "the settings are not a JSON object";
            return false;
        }
        merged.merge_patch(own);
    }
    if (req.has_param("rate")) {
        const std::string rate = req.get_param_value("rate");
        double value = 0;
        std::istringstream in(rate);
        if (!(in >> value) || !in.eof()) {
            why = "rate \"" + rate + "\" is not a number";
            return false;
        }
        merged["cost"]["ratePerHour"] = value;
    }
    settings = merged.dump();
    return true;
}

bool Service::RequestModel(const httplib::Request& req, Model& model, std::string& why) const {
    const std::optional<Model> m = ParseModel(req.get_param_value("model"), model_);
    if (!m) {
        why = "unknown model \"" + req.get_param_value("model") + "\": use XR7 or K730";
        return false;
    }
    model = *m;
    return true;
}

UploadAnswer Service::Estimate(std::string bytes, const std::string& kind, const std::string& settings,
                               Model model) const {
    // The work owns its input: it may outlive the request past the time limit.
    return gate_.Run([bytes = std::move(bytes), kind, settings, model] {
        Upload up;
        up.bytes = bytes;
        up.kind = kind;
        up.settingsJson = settings;
        up.model = model;
        return EstimateUpload(up);
    });
}

void Service::PostEstimate(const httplib::Request& req, httplib::Response& res, const Body& body) const {
    std::string settings, why;
    Model model{};
    if (!RequestSettings(req, body, settings, why) || !RequestModel(req, model, why)) return SendError(res, 400, why);
    std::string name = req.get_param_value("name");
    std::string bytes = body.bytes;
    if (req.is_multipart_form_data()) {
        const httplib::MultipartFormData* f = body.Part("file");
        if (f == nullptr) return SendError(res, 400, "the form has no part named \"file\"");
        bytes = f->content;
        if (name.empty()) name = f->filename;
    }
    const UploadAnswer a = Estimate(std::move(bytes), req.get_param_value("kind"), settings, model);
    res.status = a.httpStatus;
    if (!a.result) return SendError(res, a.httpStatus, a.error);
    res.set_content(AnswerJson(a, name.empty() ? "upload" : name), kJson);
}

void Service::PostQuote(const httplib::Request& req, httplib::Response& res, const Body& body) const {
    std::string settings, why;
    Model model{};
    if (!RequestSettings(req, body, settings, why) || !RequestModel(req, model, why)) return SendError(res, 400, why);
    if (!req.is_multipart_form_data()) return SendError(res, 400, "send the files as multipart/form-data parts");
    quote::CostSettings cost;
    design::Settings designSettings;
    if (!ParseSettings(settings, cost, designSettings, why)) return SendError(res, 400, why);
    std::vector<quote::Row> rows;
    for (const httplib::MultipartFormData& f : body.parts) {
        if (f.name != "file") continue;
        const std::string input = f.filename.empty() ? "file " + std::to_string(rows.size() + 1) : f.filename;
        const UploadAnswer a = Estimate(f.content, req.get_param_value("kind"), settings, model);
        if (a.httpStatus == 200)
            rows.push_back(quote::RowFromResult(input, a.kind, *a.result, 1, cost));
        else
            rows.push_back(quote::FailedRow(input, a.kind, model, a.error));
    }
    if (rows.empty()) return SendError(res, 400, "the form has no parts named \"file\"");
    res.set_content(quote::Render(rows, quote::Format::Json, cost), kJson);
}

void Service::Install(httplib::Server& svr) {
    svr.set_default_headers({
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob: data:; connect-src 'self'; "
         "base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    });
    svr.set_payload_max_length(opt_.maxUploadMb * 1024 * 1024);
    // Address reuse after a restart, but no port sharing: a second server on
    // the same port is refused instead of splitting the connections.
    svr.set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    for (const Asset* a = Assets(); a->path != nullptr; ++a) {
        const std::string path = a->path;
        const std::string body(reinterpret_cast<const char*>(a->bytes), a->size);
        const auto serve = [path, body](const httplib::Request&, httplib::Response& res) {
            res.set_content(body, ContentType(path));
        };
        svr.Get(path, serve);
        if (path == "/index.html") svr.Get("/", serve);
    }
    svr.Get("/api/health",
            [](const httplib::Request&, httplib::Response& res) { res.set_content("{\"status\":\"ok\"}\n", kJson); });
    const auto withBody = [this](auto post) {
        return [this, post](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            Body body;
            int status = 400;
            if (!ReadBody(req, reader, opt_.maxUploadMb * 1024 * 1024, body, status))
                return SendError(res, status,
                                 status == 413 ? "the upload is larger than the server accepts (--max-upload)"
                                               : "the request body could not be read");
            (this->*post)(req, res, body);
        };
    };
    svr.Post("/api/estimate", withBody(&Service::PostEstimate));
    svr.Post("/api/quote", withBody(&Service::PostQuote));
    // Every other answer of 400 and above says what went wrong as JSON.
    svr.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty()) return;
        const std::string why = res.status == 404   ? "no such page: " + req.path
                                : res.status == 413 ? "the upload is larger than the server accepts (--max-upload)"
                                : res.status == 405 ? "method not allowed"
                                                    : "bad request";
        res.set_content(ErrorJson(why), kJson);
    });
    svr.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string why = "internal error";
        try {
            if (ep) std::rethrow_exception(ep);
        } catch (const std::exception& e) {
            why += std::string(": ") + e.what();
        } catch (...) {
        }
        SendError(res, 500, why);
    });
}

bool ReadSettingsFile(const std::string& path, Json& settings, std::string& why) {
    if (path.empty()) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot read the settings file \"" + path + "\"";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    settings = Json::parse(text.str(), nullptr, false);
    quote::CostSettings cost;
    if (settings.is_discarded() || !settings.is_object()) {
        why = "the settings file \"" + path + "\" is not a JSON object";
        return false;
    }
    design::Settings designSettings;
    if (!ParseSettings(text.str(), cost, designSettings, why)) {
        why = "the settings file \"" + path + "\": " + why;
        return false;
    }
    return true;
}

int ParseServeLine(int argc, char** argv, ServeOptions& o) {
    CLI::App cli("Serves the estimator's page and its JSON API on a local address.", "corvanta serve");
    cli.add_option("--port", o.port, "port to listen on; 0 picks a free one (the printed address names it)")
        ->check(CLI::Range(0, 65535));
    cli.add_option("--bind", o.bind, "address to listen on (default 127.0.0.1: this computer only)");
    cli.add_option("--settings", o.settingsPath, "JSON settings every request starts from")->type_name("FILE");
    cli.add_option("--max-upload", o.maxUploadMb, "largest request body in MB (default 64)")
        ->check(CLI::Range(1, 4096));
    cli.add_option("--jobs", o.jobs, "estimates run at once (default: the number of cores)")->check(CLI::Range(1, 256));
    cli.add_option("--time-limit", o.timeLimitS, "seconds an estimate may take before it is answered with 503")
        ->check(CLI::Range(0.1, 86400.0));
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(cli.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& e) {
        std::string what = e.what();
        std::replace(what.begin(), what.end(), '\n', ' ');
        std::fprintf(stderr, "corvanta serve: %s (try --help)\n", what.c_str());
        return 2;
    }
    return -1;
}

std::string UrlHost(const std::string& bind) { return bind.find(':') != std::string::npos ? "[" + bind + "]" : bind; }

}  // namespace

int Serve(int argc, char** argv, Model model) {
    ServeOptions o;
    if (const int rc = ParseServeLine(argc, argv, o); rc >= 0) return rc;
    Json settings = Json::object();
    std::string why;
    if (!ReadSettingsFile(o.settingsPath, settings, why)) {
        std::fprintf(stderr, "corvanta serve: %s\n", why.c_str());
        return 2;
    }

    // SIGINT and SIGTERM are taken by one thread that stops the server; every
    // other thread, the server's included, has them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::Server svr;
    Service service(o, model, std::move(settings));
    service.Install(svr);
    const int port = o.port == 0 ? svr.bind_to_any_port(o.bind) : (svr.bind_to_port(o.bind, o.port) ? o.port : -1);
    if (port <= 0) {
        std::fprintf(stderr,
                     "corvanta serve: cannot listen on %s port %d (in use, or not an address of this computer)\n",
                     o.bind.c_str(), o.port);
        return 1;
    }
    std::atomic<bool> stopping{false}, ended{false};
    std::thread watcher([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        stopping = true;
        // A signal may come before the server has started listening: wait
        // for it to run (stopping twice is not allowed).
        while (!ended && !svr.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended) svr.stop();
    });
    std::printf("corvanta %s: serving the page on http://%s:%d/ (Ctrl-C stops)\n", ModelTag(model),
                UrlHost(o.bind).c_str(), port);
    std::fflush(stdout);
    const bool listened = svr.listen_after_bind();
    ended = true;
    if (!stopping) kill(getpid(), SIGTERM);  // wakes the watcher: every thread has the signal blocked
    watcher.join();
    if (!service.Drain()) {
        std::fprintf(stderr, "corvanta serve: stopped with an estimate still running\n");
        std::fflush(stdout);
        std::_Exit(listened || stopping ? 0 : 1);
    }
    std::fprintf(stderr, "corvanta serve: stopped\n");
    return listened || stopping ? 0 : 1;
}

}  // namespace corvanta::server
