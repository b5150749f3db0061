/* The C interface, from C: the reference jobs give their reference figures and console text through it,
 * the status file bytes and report agree with the figures, and bad calls give an error, not a crash. */
#include <corvanta/corvanta_c.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond, ...)                                      \
    do {                                                      \
        if (!(cond)) {                                        \
            ++failures;                                       \
            printf("%s:%d: %s: ", __FILE__, __LINE__, #cond); \
            printf(__VA_ARGS__);                              \
            printf("\n");                                     \
        }                                                     \
    } while (0)

/* The whole file, NUL-terminated; *size gets its length.  NULL when it cannot be read. */
static char* ReadAll(const char* dir, const char* name, size_t* size) {
    char path[1024];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    char* text = NULL;
    size_t n = 0, cap = 0;
    for (;;) {
        if (n + 4096 + 1 > cap) {
            cap = 2 * cap + 8192;
            char* grown = realloc(text, cap);
            if (!grown) break;
            text = grown;
        }
        const size_t got = fread(text + n, 1, 4096, f);
        n += got;
        if (got == 0) break;
    }
    fclose(f);
    if (text) text[n] = '\0';
    if (size) *size = n;
    return text;
}

/* The integer after "key": in a JSON text, or -1. */
static long JsonInt(const char* json, const char* key) {
    char pattern[64];
    snprintf(pattern, sizeof pattern, "\"%s\": ", key);
    const char* at = strstr(json, pattern);
    return at ? strtol(at + strlen(pattern), NULL, 10) : -1;
}

static void ReferenceJobs(const char* golden) {
    static const char* const jobs[] = {"single_move", "square", "circle", "raster_small"};
    static const struct {
        int model;
        const char* name;
    } models[] = {{CORVANTA_MODEL_XR7, "xr7"}, {CORVANTA_MODEL_K730, "k730"}};
    for (size_t j = 0; j < sizeof jobs / sizeof jobs[0]; ++j) {
        for (size_t m = 0; m < 2; ++m) {
            char name[128];
            size_t length = 0;
            snprintf(name, sizeof name, "%s.cmd", jobs[j]);
            char* commands = ReadAll(golden, name, &length);
            snprintf(name, sizeof name, "%s.%s.json", jobs[j], models[m].name);
            char* expected = ReadAll(golden, name, NULL);
            snprintf(name, sizeof name, "%s.%s.console.txt", jobs[j], models[m].name);
            char* console = ReadAll(golden, name, NULL);
            CHECK(commands && expected && console, "reference files of %s", jobs[j]);
            if (!commands || !expected || !console) continue;

            corvanta_options options;
            corvanta_options_init(&options);
            options.model = models[m].model;
            corvanta_result* r = corvanta_estimate(commands, length, &options);
            CHECK(r && !r->error, "%s %s: %s", jobs[j], models[m].name, r && r->error ? r->error : "NULL");
            if (r && !r->error) {
                CHECK(r->ok == 1 && r->ms == (unsigned long)JsonInt(expected, "ms") &&
                          r->ticks == JsonInt(expected, "ticks"),
                      "%s %s: ok %d ms %u ticks %d", jobs[j], models[m].name, r->ok, (unsigned)r->ms, r->ticks);
                CHECK(strcmp(r->console, console) == 0, "%s %s: console differs", jobs[j], models[m].name);
                CHECK(JsonInt(r->report_json, "JobEndTick") == JsonInt(expected, "JobEndTick"), "%s", jobs[j]);
            }
            corvanta_result_free(r);
            free(commands);
            free(expected);
            free(console);
        }
    }
}

static void StatusLinesAndFile(void) {
    const char job[] = "CorvantaCmdVer 1\nexecute_penselect 1\npd_default 4000 0\n";
    corvanta_result* r = corvanta_estimate(job, strlen(job), NULL);
    CHECK(r && !r->error && r->status_count == 5, "five status lines");
    if (!r || r->error || r->status_count != 5) {
        corvanta_result_free(r);
        return;
    }
    char ms[32];
    snprintf(ms, sizeof ms, "%u", (unsigned)r->ms);
    CHECK(strcmp(r->status[0], "CVQX_OK") == 0 && strcmp(r->status[1], "XR7 03.10-01") == 0 &&
              strcmp(r->status[2], ms) == 0 && strncmp(r->status[3], "APP Run Time ", 13) == 0,
          "status lines %s / %s / %s", r->status[0], r->status[1], r->status[2]);
    char file[512] = "";
    for (size_t i = 0; i < r->status_count; ++i) {
        strcat(file, r->status[i]);
        strcat(file, "\r\n\r");
    }
    CHECK(strcmp(r->status_file, file) == 0, "status file bytes");
    CHECK(JsonInt(r->report_json, "ms") == (long)r->ms && strstr(r->report_json, "\"endedAt\": null"), "report: %s",
          r->report_json);
    CHECK(strcmp(r->failure, "") == 0, "no failure line");
    corvanta_result_free(r);

    /* A failure status is a result like any other: ok 0, two lines, the console line. */
    const char bad[] = "execute_penselect 17\n";
    r = corvanta_estimate(bad, strlen(bad), NULL);
    CHECK(r && !r->error && r->ok == 0 && r->status_count == 2 && strcmp(r->status[1], "PenParamError") == 0 &&
              r->failure[0] != '\0',
          "pen 17 fails with PenParamError");
    corvanta_result_free(r);
}

static void BadCallsGiveErrors(void) {
    corvanta_options options;
    corvanta_options_init(&options);
    options.debug = "ShowJobTime,NoSuchCategory";
    corvanta_result* r = corvanta_estimate("", 0, &options);
    CHECK(r && r->error && strstr(r->error, "NoSuchCategory") && r->status_count == 0 && r->status_file &&
              r->report_json && r->console,
          "unknown debug category: %s", r && r->error ? r->error : "no error");
    corvanta_result_free(r);
    options.debug = NULL;
    options.model = 7;
    r = corvanta_estimate("", 0, &options);
    CHECK(r && r->error, "unknown model");
    corvanta_result_free(r);
    r = corvanta_estimate(NULL, 5, NULL);
    CHECK(r && r->error, "NULL text with a length");
    corvanta_result_free(r);
    r = corvanta_estimate(NULL, 0, NULL);
    CHECK(r && !r->error && r->ok == 1 && r->ms == 0, "NULL empty text is an empty job");
    corvanta_result_free(r);
    corvanta_result_free(NULL);
    corvanta_plot_free(NULL);
}

static void PlotToCommands(void) {
    const char plot[] = "IN;SP1;PU0,0;PD4000,0;ZZ1;";
    corvanta_plot* p = corvanta_convert_plot(plot, strlen(plot));
    CHECK(p && !p->error && strncmp(p->commands, "CorvantaCmdVer 1", 16) == 0 &&
              strstr(p->commands, "pd_default 4000 0") && strstr(p->notes, "ZZ") && !p->leaves_bed && p->records >= 3,
          "plot: %s / %s", p ? p->commands : "NULL", p ? p->notes : "");
    if (p && !p->error) {
        corvanta_result* r = corvanta_estimate(p->commands, strlen(p->commands), NULL);
        CHECK(r && r->ok && r->ms > 0, "the plot's commands estimate");
        corvanta_result_free(r);
    }
    corvanta_plot_free(p);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        printf("usage: capi_test GOLDEN_REFERENCE_DIR\n");
        return 2;
    }
    CHECK(strcmp(corvanta_status_version(), "03.10-01") == 0 && strlen(corvanta_version()) >= 5, "versions");
    ReferenceJobs(argv[1]);
    StatusLinesAndFile();
    BadCallsGiveErrors();
    PlotToCommands();
    if (failures) printf("%d checks failed\n", failures);
    return failures ? 1 : 0;
}
