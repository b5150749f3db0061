// The web server as a client meets it: the real program started with
// `serve --port 0` in a temporary directory, spoken to over HTTP.  Estimates
// equal the command line's; bad uploads get a 4xx that says why; limits hold;
// many clients at once get right answers; nothing a client sends stops it.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "support/test_support.h"

using namespace corvanta_test;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kExamples = CORVANTA_EXAMPLES_DIR;
const char* const kExampleNames[] = {"circle", "engrave_photo", "lettering", "mixed", "pen_change", "rectangle"};

std::string Example(const std::string& name) { return ReadFile(kExamples + "/" + name + "/Corvanta.cmd"); }

// `corvanta serve --port 0 ARGS...` in a temporary directory; stopped with
// SIGTERM when the object dies.
class ServerProcess {
public:
    explicit ServerProcess(const std::vector<std::string>& extra = {}) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            if (chdir(dir_.path.c_str()) != 0) _exit(127);
            std::vector<std::string> args = {CORVANTA_XR7_BIN, "serve", "--port", "0"};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char ch = 0;
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0 && read(out[0], &ch, 1) == 1) line += ch;
        close(out[0]);
        std::smatch m;
        if (std::regex_search(line, m, std::regex("http://127\\.0\\.0\\.1:([0-9]+)/"))) port_ = std::stoi(m[1]);
        address_line_ = line;
    }
    ~ServerProcess() { Stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // SIGTERM and the exit status (-1 when it did not exit by itself within 20 s).
    int Stop() {
        if (pid_ <= 0) return exit_;
        kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = 0;
                return exit_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = 0;
        return exit_ = -1;
    }
    int port() const { return port_; }
    const std::string& addressLine() const { return address_line_; }
    httplib::Client Client() const {
        httplib::Client c("127.0.0.1", port_);
        c.set_read_timeout(60);
        return c;
    }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0, exit_ = -1;
    std::string address_line_;
};

// The report of the command line for a command file.
Json CommandLineReport(const std::string& cmd, const std::string& binary = CORVANTA_XR7_BIN) {
    TempDir job;
    WriteFile(job / "Corvanta.cmd", cmd);
    const RunResult r = RunProgram(binary, {"--quiet", "--report", "r.json", job.path.string()}, job.path);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return Json::parse(ReadFile(job / "r.json"));
}

// The file as the body, with the content type `curl --data-binary` sends: the
// body is still taken as it is, whatever its size.
httplib::Result PostEstimate(httplib::Client& c, const std::string& body, const std::string& query = "") {
    return c.Post(("/api/estimate" + query).c_str(), body, "application/x-www-form-urlencoded");
}

// A raw connection: sends the bytes, returns what came back before the server closed or 2 s passed.
std::string RawExchange(int port, const std::string& bytes) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string got;
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        (void)send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        shutdown(s, SHUT_WR);
        pollfd p{s, POLLIN, 0};
        char buf[4096];
        ssize_t n = 0;
        while (poll(&p, 1, 2000) > 0 && (n = recv(s, buf, sizeof buf, 0)) > 0) got.append(buf, static_cast<size_t>(n));
    }
    close(s);
    return got;
}

class ServerApi : public testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new ServerProcess(); }
    static void TearDownTestSuite() {
        EXPECT_EQ(server_->Stop(), 0) << "the server did not stop cleanly on SIGTERM";
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override { ASSERT_GT(server_->port(), 0) << "no address printed: " << server_->addressLine(); }
    static ServerProcess* server_;
};
ServerProcess* ServerApi::server_ = nullptr;

}  // namespace

TEST_F(ServerApi, HealthAndSecurityHeadersOnEveryAnswer) {
    httplib::Client c = server_->Client();
    const auto health = c.Get("/api/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(Json::parse(health->body), Json({{"status", "ok"}}));
    struct Case {
        std::string path;
        int status;
        std::string type;
    };
    for (const Case& k : {Case{"/", 200, "text/html"}, Case{"/app.js", 200, "text/javascript"},
                          Case{"/style.css", 200, "text/css"}, Case{"/api/health", 200, "application/json"},
                          Case{"/nothing", 404, "application/json"}, Case{"/../etc/passwd", 404, ""},
                          Case{"/app.js/../../README.md", 404, ""}, Case{"/%FF%FE", 404, "application/json"}}) {
        const auto r = c.Get(k.path.c_str());
        ASSERT_TRUE(r) << k.path;
        EXPECT_EQ(r->status, k.status) << k.path;
        EXPECT_EQ(r->get_header_value("Content-Type").rfind(k.type, 0), 0u) << k.path;
        EXPECT_EQ(r->get_header_value("X-Content-Type-Options"), "nosniff") << k.path;
        const std::string csp = r->get_header_value("Content-Security-Policy");
        EXPECT_NE(csp.find("script-src 'self'"), std::string::npos) << k.path;
        EXPECT_EQ(csp.find("unsafe-inline"), std::string::npos) << k.path;
    }
    // The page itself holds no inline script or style.
    const std::string page = c.Get("/")->body;
    EXPECT_EQ(std::regex_search(page, std::regex("<script(?![^>]*src=)|<style|style=")), false);
}

TEST_F(ServerApi, EstimatesEqualTheCommandLine) {
    httplib::Client c = server_->Client();
    for (const char* name : kExampleNames) {
        const Json cli = CommandLineReport(Example(name));
        const auto r = PostEstimate(c, Example(name), "?name=Corvanta.cmd");
        ASSERT_TRUE(r) << name;
        ASSERT_EQ(r->status, 200) << name << ": " << r->body;
        const Json api = Json::parse(r->body);
        for (const char* key : {"ms", "ticks", "PlanCnt", "VectCnt", "breakdown", "endedAt", "model"})
            EXPECT_EQ(api[key], cli[key]) << name << " " << key;
        EXPECT_EQ(api["status"][2], cli["status"][2]) << name;
        EXPECT_EQ(api["kind"], "cmd");
        EXPECT_EQ(api["svg"].get<std::string>().rfind("<?xml", 0), 0u) << name;
        EXPECT_EQ(api["progressCsv"].get<std::string>().rfind("record,keyword,start_ms,end_ms\n", 0), 0u) << name;
        EXPECT_FALSE(api["timeline"].empty()) << name;
    }
    // The other model by query parameter, and a file sent as a form part.
    const Json k730 = CommandLineReport(Example("mixed"), CORVANTA_K730_BIN);
    httplib::MultipartFormDataItems form = {{"file", Example("mixed"), "job.cmd", "text/plain"}};
    const auto r = c.Post("/api/estimate?model=k730", form);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << r->body;
    EXPECT_EQ(Json::parse(r->body)["ms"], k730["ms"]);
    EXPECT_EQ(Json::parse(r->body)["model"], "K730");
}

// Each way an upload can be wrong gets its own 4xx and a message in words.
TEST_F(ServerApi, BadUploadsGetA4xxThatSaysWhy) {
    httplib::Client c = server_->Client();
    const std::string cmd = Example("rectangle");
    std::string binary(300, '\0');
    binary.replace(0, 16, "CorvantaCmdVer 1");
    struct Case {
        const char* what;
        std::string body, query;
        int status;
        const char* words;
    };
    const Case cases[] = {
        {"empty", "", "", 422, "empty"},
        {"garbage", "\x01\x02 what is this?", "", 415, "not recognised"},
        {"random text", "hello world, not a job", "", 415, "not recognised"},
        {"a broken photo", "\x89PNG\r\n\x1a\n....", "", 422, "cannot read"},
        {"a broken drawing", "<svg xmlns='http://www.w3.org/2000/svg'><g></svg>", "", 422, "cannot read"},
        {"no kind at all", "hello world\n", "", 415, "not recognised"},
        {"cut off in a record", cmd.substr(0, cmd.rfind(' ')), "", 422, "cut off"},
        {"cut off after a keyword", "CorvantaCmdVer 1\npd_default", "", 422, "cut off"},
        {"NUL bytes", binary, "?kind=cmd", 422, "binary"},
        {"not records", "<svg/>", "?kind=cmd", 422, "not a command file"},
        {"a typo", "CorvantaCmdVer 1\npd_defualt 100 0\npd_default 100 0\n", "", 422, "record 2"},
        {"a typo not in UTF-8", "CorvantaCmdVer 1\npd_\xff\xfe 100 0\npd_default 100 0\n", "", 422, "record 2"},
        {"refused by the machine", "CorvantaCmdVer 2\n", "", 422, "refuse"},
        {"unknown kind", cmd, "?kind=dxf", 400, "unknown kind"},
        {"unknown model", cmd, "?model=Z9", 400, "unknown model"},
        {"settings not JSON", cmd, "?settings=%7Bnope", 400, "settings"},
        {"settings cost not a number", cmd, "?settings=%7B%22cost%22%3A%7B%22ratePerHour%22%3A%22x%22%7D%7D", 400,
         "ratePerHour"},
        {"rate not a number", cmd, "?rate=ten", 400, "rate"},
    };
    for (const Case& k : cases) {
        const auto r = PostEstimate(c, k.body, k.query);
        ASSERT_TRUE(r) << k.what;
        EXPECT_EQ(r->status, k.status) << k.what << ": " << r->body;
        const Json j = Json::parse(r->body, nullptr, false);
        ASSERT_TRUE(j.is_object()) << k.what;
        EXPECT_NE(j.value("error", "").find(k.words), std::string::npos) << k.what << ": " << r->body;
    }
}

TEST_F(ServerApi, QuoteOfSeveralFilesWithATotal) {
    httplib::Client c = server_->Client();
    httplib::MultipartFormDataItems form = {
        {"file", Example("rectangle"), "rectangle.cmd", "text/plain"},
        {"file", "no job here", "notes.txt", "text/plain"},
        {"file", Example("circle"), "circle.cmd", "text/plain"},
        {"settings", R"({"cost":{"ratePerHour":60}})", "", "application/json"},
    };
    const auto r = c.Post("/api/quote", form);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << r->body;
    const Json q = Json::parse(r->body);
    ASSERT_EQ(q["rows"].size(), 3u);
    EXPECT_EQ(q["rows"][0]["input"], "rectangle.cmd");
    EXPECT_EQ(q["rows"][0]["ms"], CommandLineReport(Example("rectangle"))["ms"]);
    EXPECT_FALSE(q["rows"][1]["ok"].get<bool>());
    EXPECT_NE(q["rows"][1]["status"].get<std::string>().find("not recognised"), std::string::npos);
    EXPECT_EQ(q["total"]["ms"], q["rows"][0]["ms"].get<uint32_t>() + q["rows"][2]["ms"].get<uint32_t>());
    EXPECT_TRUE(q["total"]["cost"].is_number());
    const auto none = c.Post("/api/quote", "x", "text/plain");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 400);
}

TEST_F(ServerApi, ManyClientsAtOnceAllGetTheRightAnswer) {
    std::map<std::string, Json> expected;
    for (const char* name : kExampleNames) expected[name] = CommandLineReport(Example(name))["ms"];
    std::atomic<int> right{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t)
        clients.emplace_back([&, t] {
            httplib::Client c = server_->Client();
            for (int i = 0; i < 25; ++i) {
                const char* name = kExampleNames[(t + i) % std::size(kExampleNames)];
                const auto r = PostEstimate(c, Example(name));
                if (r && r->status == 200 && Json::parse(r->body)["ms"] == expected[name]) ++right;
            }
        });
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(right.load(), 8 * 25);
    httplib::Client c = server_->Client();
    const auto health = c.Get("/api/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

// Malformed requests end their own connection, never the server.
TEST_F(ServerApi, MalformedRequestsDoNotStopTheServer) {
    const std::string broken[] = {
        "GARBAGE\r\n\r\n",
        std::string(20000, 'A'),
        "POST /api/estimate HTTP/1.1\r\nHost: x\r\nContent-Length: 5000\r\n\r\nCorvantaCmdVer 1\n",
        "POST /api/estimate HTTP/1.1\r\nHost: x\r\nContent-Length: -5\r\n\r\n",
        "POST /api/estimate HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n",
        "POST /api/quote HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=b\r\n"
        "Content-Length: 30\r\n\r\n--b\r\nContent-Disposition: bad\r\n",
        "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: x\r\n\r\n",
        "GET / HTTP/1.1\r\n" + std::string(10000, 'X') + ": y\r\n\r\n",
    };
    for (const std::string& bytes : broken) {
        const std::string answer = RawExchange(server_->port(), bytes);
        if (!answer.empty()) {
            EXPECT_EQ(answer.rfind("HTTP/1.1 4", 0), 0u) << answer.substr(0, 80);
        }
    }
    httplib::Client c = server_->Client();
    const auto health = c.Get("/api/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

TEST(ServerLimits, UploadsAboveTheLimitGet413) {
    ServerProcess server({"--max-upload", "1"});
    ASSERT_GT(server.port(), 0) << server.addressLine();
    httplib::Client c = server.Client();
    const std::string cmd = Example("circle");
    std::string big;
    while (big.size() <= 1024 * 1024) big += cmd;
    const auto r = PostEstimate(c, big);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 413);
    EXPECT_NE(r->body.find("larger"), std::string::npos);
    const auto small = PostEstimate(c, cmd);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->status, 200);
    EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimits, AnEstimatePastTheTimeLimitGets503AndTheServerGoesOn) {
    ServerProcess server({"--time-limit", "0.1", "--jobs", "1"});
    ASSERT_GT(server.port(), 0) << server.addressLine();
    std::string cmd = "CorvantaCmdVer 1\nexecute_penselect 1\n";
    for (int i = 0; i < 150000; ++i) cmd += i % 2 ? "pd_default 400 -300\n" : "pd_default -400 300\n";
    httplib::Client c = server.Client();
    const auto r = PostEstimate(c, cmd);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 503);
    EXPECT_NE(r->body.find("time limit"), std::string::npos);
    const auto health = c.Get("/api/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(server.Stop(), 0);
}

TEST(ServerLimits, BadCommandLinesAndBusyPorts) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"serve", "--port", "70000"},
                                               {"serve", "--max-upload", "0"},
                                               {"serve", "--bogus"},
                                               {"serve", "--settings", (dir / "missing.json").string()}}) {
        const RunResult r = RunProgram(CORVANTA_XR7_BIN, args, dir.path);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_NE(r.err.find("corvanta serve:"), std::string::npos) << r.err;
    }
    ServerProcess server;
    ASSERT_GT(server.port(), 0);
    const RunResult busy = RunProgram(CORVANTA_XR7_BIN, {"serve", "--port", std::to_string(server.port())}, dir.path);
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_NE(busy.err.find("cannot listen"), std::string::npos) << busy.err;
}
