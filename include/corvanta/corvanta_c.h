/* corvanta for C and for hosts that call C (C#, Delphi, Python ctypes, ...).
 *
 * A thin layer over the C++ library: the same estimate, the same figures and the same report JSON as
 * corvanta::Estimate and corvanta::ReportJson.  Everything the library hands out is freed by the matching
 * call (corvanta_result_free, corvanta_plot_free); strings are NUL-terminated UTF-8 (status lines and the
 * report are ASCII).  No C++ exception crosses this interface: a failure is a result whose `error` says
 * why, or NULL when even that could not be allocated.  Calls on several threads may run at once.
 */
#ifndef CORVANTA_CORVANTA_C_H
#define CORVANTA_CORVANTA_C_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Models (corvanta_options.model). */
#define CORVANTA_MODEL_XR7 0
#define CORVANTA_MODEL_K730 1

/* How one estimate runs.  Fill it with corvanta_options_init first, so fields added later keep their
 * defaults.  A NULL options pointer means the defaults. */
typedef struct corvanta_options {
    int model;         /* CORVANTA_MODEL_XR7 (default) or CORVANTA_MODEL_K730 */
    int threaded;      /* 0: the planner-first schedule (default); 1: the servo on a tick thread */
    int explain;       /* nonzero: the report JSON also holds "breakdown" (where the job time goes) */
    int no_skip;       /* nonzero: run every tick one by one (same figures, slower) */
    const char* debug; /* comma-separated debug categories to set ("-Name" clears one), or NULL */
} corvanta_options;

/* The outcome of one estimate.  Read-only for the caller; freed with corvanta_result_free. */
typedef struct corvanta_result {
    const char* error;         /* NULL when the estimate ran; else why not (e.g. an unknown debug
                                   category), and every other field is 0 or empty */
    int ok;                    /* 1 when the first status line is "CVQX_OK" */
    uint32_t ms;               /* job time in milliseconds */
    int32_t ticks;             /* job time in servo ticks of 0.4 ms */
    size_t status_count;       /* number of status lines: 5 on success, 2 on failure */
    const char* const* status; /* the status lines, without their line ends */
    const char* status_file;   /* the bytes of Corvanta.sts: each line followed by 0D 0A 0D */
    const char* report_json;   /* the report as JSON text (as written by --report) */
    const char* console;       /* what the machine printed on its console */
    const char* failure;       /* the console line of a failed job, or "" */
} corvanta_result;

/* A plot (HP-GL, HP-GL/2) turned into command-file text.  Freed with corvanta_plot_free. */
typedef struct corvanta_plot {
    const char* error;    /* NULL, or why the conversion could not be made (out of memory) */
    const char* commands; /* command-file text, one record a line */
    const char* notes;    /* what was ignored or approximated, one line each ("hpgl: ..."), or "" */
    int leaves_bed;       /* 1 when the drawing leaves the machine's bed */
    int truncated;        /* 1 when the conversion stopped at its record or move limit */
    uint64_t records;     /* records in `commands` */
} corvanta_plot;

/* The library's version, "3.10.1", and the same version as the status file writes it, "03.10-01". */
const char* corvanta_version(void);
const char* corvanta_status_version(void);

/* Sets the defaults: XR7, planner first, no explanation, skip-ahead, no debug categories. */
void corvanta_options_init(corvanta_options* options);

/* Estimates the job in `commands` (the text of a Corvanta.cmd, `length` bytes; it need not end in NUL).
 * Returns NULL only when memory runs out. */
corvanta_result* corvanta_estimate(const char* commands, size_t length, const corvanta_options* options);
void corvanta_result_free(corvanta_result* result);

/* Turns `length` bytes of plot into command-file text.  Returns NULL only when memory runs out. */
corvanta_plot* corvanta_convert_plot(const char* plot, size_t length);
void corvanta_plot_free(corvanta_plot* plot);

#ifdef __cplusplus
}
#endif

#endif /* CORVANTA_CORVANTA_C_H */
